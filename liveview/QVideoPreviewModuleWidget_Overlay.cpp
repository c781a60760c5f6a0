// The page's overlay over the picture: where it sits, and which of its pixels reach the screen.
#include "liveview/QVideoPreviewModuleWidget.h"

#include "liveview/LiveViewGeometry.h"
#include "liveview/QChamferedLabel.h"
#include "liveview/QMeasureLayer.h"
#include "liveview/QVideoWndWidget.h"
#include "maintenance/PtExItem.h"
#include "maintenance/QSceneViewCtrl.h"
#include "video/QVideoPlay.h"
#include "widgets/QUnitLabel.h"

#include <QBitmap>
#include <QFontMetrics>
#include <QGraphicsView>
#include <QImage>
#include <QLabel>
#include <QTimer>

void QVideoPreviewModuleWidget::placeOverlay()
{
    QLabel* pLabel = m_pVideoWnd->videoLabel();
    const QPoint corner = pLabel->mapToGlobal(QPoint(0, 0));
    int W = m_pVideoPlay->frameWidth();
    int H = m_pVideoPlay->frameHeight();
    if (m_nDirection == 1 || m_nDirection == 3)
        std::swap(W, H);
    const QRect fit = LiveViewGeometry::fitPicture(W, H, pLabel->size());
    if (fit.isEmpty())
        return;
    const QRect target(corner + fit.topLeft(), fit.size());
    if (m_pOverlay->geometry() != target) {
        m_pOverlay->setGeometry(target);
        updateOverlayMask();
    }
}

void QVideoPreviewModuleWidget::placeHoverLabels()
{
    if (m_bHaveTopHoverPos)
        setHoverLabelPos(m_pTopHoverLabel, m_ptTopHoverPos);
    if (m_bHaveBottomHoverPos)
        setHoverLabelPos(m_pBottomHoverLabel, m_ptBottomHoverPos);
}

void QVideoPreviewModuleWidget::updateOverlayMask()
{
    // Without a compositing window manager a translucent window is drawn opaque and would
    // hide the picture: the mask keeps exactly the painted pixels of the logo and the marker.
    if (!m_pOverlay)
        return;
    QRegion region;
    QVector<QRegion> pieces;   // the painted pixels of each marker, item and label
    static const QRegion logoRegion = [] {
        const QImage logo(":/Resource/Skin/LOGO_CN.png");
        if (logo.isNull())
            return QRegion();
        return QRegion(QBitmap::fromImage(logo.createAlphaMask(Qt::ThresholdAlphaDither))).translated(10, 10);
    }();
    region += logoRegion;

    QGraphicsView* pView = m_pOverlay->view();
    QWidget* pViewport = pView->viewport();
    // Where the view really draws the scene (frame, alignment), in overlay coordinates.
    const QPoint origin = pViewport->mapTo(m_pOverlay, QPoint(0, 0));
    // The mask is cut from the view's own drawing, so both agree to the pixel whatever the
    // fonts, resolution or antialiasing.
    auto addPainted = [&](QRect area) {
        area &= m_pOverlay->rect() & QRect(origin, pViewport->size());
        if (area.isEmpty())
            return;
        QImage image = pViewport->grab(area.translated(-origin)).toImage();
        if (image.size() != area.size())
            image = image.scaled(area.size());
        const QRegion piece =
            QRegion(QBitmap::fromImage(image.createAlphaMask(Qt::ThresholdAlphaDither))).translated(area.topLeft());
        pieces.append(piece);
        region += piece;
    };
    PtExItem* pMarker = m_pOverlay->marker();
    if (pMarker && pMarker->isVisible() && pMarker->showFlag()) {
        // The cross and the label reach well outside the item's bounding rectangle.
        const QPoint at = origin + pView->mapFromScene(QPointF(pMarker->pointX(), pMarker->pointY()));
        QRect area(at - QPoint(6, 6), QSize(13, 13));
        QFont font("Arial", 10);
        font.setWeight(63);
        QRect text = QFontMetrics(font, pViewport).boundingRect(pMarker->labelText());
        text.translate(at + pMarker->computeLabelPos().toPoint());
        area |= text.adjusted(-6, -6, 6, 6);
        addPainted(area);
    }
    if (m_pMeasureLayer) {
        for (const QRect& area : m_pMeasureLayer->paintedAreas())
            addPainted(pView->mapFromScene(QRectF(area)).boundingRect().translated(origin));
    }
    if (region.isEmpty())
        region = QRect(0, 0, 1, 1);

    // Where the overlay gives up area (the marker's old place), the picture window below keeps
    // the overlay's last pixels until the picture is drawn there again. So a change that gives
    // up area comes in two steps: first only what stays exactly as it was is kept and the
    // engine draws its last picture again; the new drawing shows once that is done. Otherwise
    // the old marker and the new one would be on screen together.
    const QRegion current = m_pOverlay->mask();
    const bool bGivesUpArea = !(current - region).isEmpty();
    m_pendingMask = region;
    m_pendingPieces = pieces;
    if ((bGivesUpArea || m_nRedrawsPending > 0) && m_pOverlay->isVisible() && m_pVideoPlay) {
        QRegion kept = logoRegion;
        QVector<QRegion> keptPieces;
        for (const QRegion& piece : pieces) {
            if (m_shownPieces.contains(piece)) {
                kept += piece;
                keptPieces.append(piece);
            }
        }
        kept &= current;
        m_shownPieces = keptPieces;
        showOverlayMask(kept.isEmpty() ? QRegion(0, 0, 1, 1) : kept);
        ++m_nRedrawsPending;
        QMetaObject::invokeMethod(m_pVideoPlay, "redrawLastFrameSlot", Qt::QueuedConnection);
        // Should the engine never answer, the overlay does not stay half hidden.
        m_pRevealTimer->start();
        return;
    }
    m_shownPieces = pieces;
    showOverlayMask(region);
}

void QVideoPreviewModuleWidget::lastFrameRedrawnSlot()
{
    // Only the answer to the last redraw asked for means the picture is drawn over everything
    // the overlay gave up by then.
    if (m_nRedrawsPending > 0 && --m_nRedrawsPending == 0)
        revealOverlay();
}

void QVideoPreviewModuleWidget::revealOverlay()
{
    m_nRedrawsPending = 0;
    m_pRevealTimer->stop();
    m_shownPieces = m_pendingPieces;
    showOverlayMask(m_pendingMask);
}

void QVideoPreviewModuleWidget::showOverlayMask(const QRegion& region)
{
    m_pOverlay->setMask(region);
    // Paint right after the new mask: the X server shows what the window holds there, and a
    // paint done before the change is clipped by the old mask, so the newly exposed pixels would
    // stay black until the view's own update comes round.
    if (m_pOverlay->isVisible() && m_pOverlay->view())
        m_pOverlay->view()->viewport()->repaint();
}
