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
#include <QGraphicsView>
#include <QImage>
#include <QLabel>
#include <QPainter>
#include <QStyleOptionGraphicsItem>

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
    // hide the picture: the mask keeps exactly the painted pixels of the logo and the items.
    if (!m_pOverlay)
        return;
    QRegion region;
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
        region += QRegion(QBitmap::fromImage(image.createAlphaMask(Qt::ThresholdAlphaDither))).translated(area.topLeft());
    };
    if (m_pMeasureLayer) {
        for (const QRect& area : m_pMeasureLayer->paintedAreas())
            addPainted(pView->mapFromScene(QRectF(area)).boundingRect().translated(origin));
    }
    if (region.isEmpty())
        region = QRect(0, 0, 1, 1);
    // Where the overlay gives up area, the picture window below keeps the overlay's last pixels
    // until the picture is drawn again: it is asked for at once.
    const bool bGivesUpArea = !(m_pOverlay->mask() - region).isEmpty();
    m_pOverlay->setMask(region);
    // Paint right after the new mask: the X server shows what the window holds there, and a
    // paint done before the change is clipped by the old mask, so the newly exposed pixels would
    // stay black until the view's own update comes round.
    if (m_pOverlay->isVisible() && m_pOverlay->view())
        m_pOverlay->view()->viewport()->repaint();
    if (bGivesUpArea && m_pOverlay->isVisible() && m_pVideoPlay)
        QMetaObject::invokeMethod(m_pVideoPlay, "redrawLastFrameSlot", Qt::QueuedConnection);
    updateMarkerPicture();
}

void QVideoPreviewModuleWidget::updateMarkerPicture()
{
    // The hot and cold spot markers move with the picture, so the renderer lays them over the
    // picture itself: a marker on the separate overlay window would leave its old place on
    // screen until the picture below is drawn again, and two markers would show at once.
    if (!m_pVideoPlay)
        return;
    QImage picture;
    PtExItem* pMarker = m_pOverlay->marker();
    const bool bHot = pMarker && pMarker->isVisible() && pMarker->showFlag();
    if (m_pOverlay->isVisible() && !m_pOverlay->size().isEmpty()) {
        picture = QImage(m_pOverlay->size(), QImage::Format_ARGB32);
        picture.fill(Qt::transparent);
        QPainter painter(&picture);
        const QPoint origin = m_pOverlay->view()->viewport()->mapTo(m_pOverlay, QPoint(0, 0));
        bool bCold = false;
        if (m_pMeasureLayer) {
            painter.save();
            painter.translate(origin);
            bCold = m_pMeasureLayer->paintColdSpot(&painter);
            painter.restore();
        }
        if (bHot) {
            painter.translate(origin + m_pOverlay->view()->mapFromScene(QPointF(pMarker->pointX(), pMarker->pointY())));
            QStyleOptionGraphicsItem option;
            pMarker->paint(&painter, &option, nullptr);
        }
        painter.end();
        // Nothing drawn: no picture to lay over (cheaper for the renderer).
        if (!bHot && !bCold)
            picture = QImage();
    }
    if (picture == m_lastMarkerPicture)
        return;
    m_lastMarkerPicture = picture;
    m_pVideoPlay->setMarkerPicture(picture);
}
