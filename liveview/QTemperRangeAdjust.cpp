#include "liveview/QTemperRangeAdjust.h"

#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "video/ThermImageContext.h"
#include "widgets/SwitchButton.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QPushButton>
#include <QTransform>
#include <QVBoxLayout>

#include <algorithm>
#include <climits>

namespace {

// A handle's top sits this far above the edge of the bar it marks (half its height).
constexpr int kHandleOffset = QTemperRangeAdjust::kHandleHeight / 2;

QString temperText(float fCelsius)
{
    return QString::number(double(ConfigStore::convertTemper(fCelsius)), 'f', 1)
           + ConfigStore::getTemperUnitText();
}

} // namespace

QTemperRangeAdjust::QTemperRangeAdjust(QWidget* parent) : QWidget(parent)
{
    setObjectName("QTemperRangeAdjust");
    setMouseTracking(true);
    setFixedWidth(60);

    auto* pMainLayout = new QVBoxLayout(this);
    pMainLayout->setContentsMargins(0, 0, 0, 0);

    m_pAutoLabel = new QLabel(langText("Auto"), this);
    m_pAutoLabel->setObjectName("temperRangeAjLabel");
    m_pAutoLabel->setAlignment(Qt::AlignCenter);
    pMainLayout->addWidget(m_pAutoLabel);

    // The widget is only 60 wide, so the switch sits under its caption.
    m_pSwitch = new SwitchButton(this);
    m_pSwitch->setFixedSize(48, 24);
    m_pSwitch->setBgColorOff(QColor("#6C7688"));
    m_pSwitch->setSliderColorOff(Qt::white);
    m_pSwitch->setBgColorOn(QColor("#E67E22"));
    m_pSwitch->setSliderColorOn(Qt::white);
    m_pSwitch->setChecked(true, false);
    pMainLayout->addWidget(m_pSwitch, 0, Qt::AlignHCenter);
    connect(m_pSwitch, &SwitchButton::checkedChanged, this, &QTemperRangeAdjust::setTemperRangeAjSwitchSlots);

    m_pMaxLabel = new QLabel(this);
    m_pMaxLabel->setObjectName("maxTemperLabel");
    m_pMaxLabel->setFixedWidth(60);
    m_pMaxLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pMainLayout->addWidget(m_pMaxLabel);

    m_pSlideWidget = new QWidget(this);
    m_pSlideWidget->setObjectName("slideWidget");
    m_pSlideWidget->setFixedWidth(kHandleWidth);
    m_pSlideWidget->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    // Presses on the bar belong to this widget (range drag).
    m_pSlideWidget->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pSlideWidget->installEventFilter(this);
    auto* pSlideLayout = new QHBoxLayout;
    pSlideLayout->setContentsMargins(0, 0, 9, 0);
    pSlideLayout->setAlignment(Qt::AlignRight);
    pSlideLayout->addWidget(m_pSlideWidget);
    pMainLayout->addLayout(pSlideLayout, 1);

    m_pMinLabel = new QLabel(this);
    m_pMinLabel->setObjectName("minTemperLabel");
    m_pMinLabel->setFixedWidth(60);
    m_pMinLabel->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
    pMainLayout->addWidget(m_pMinLabel);

    // Created last so they stack above the bar; placed by hand, not by the layout.
    for (QPushButton** ppBtn : {&m_pTopBtn, &m_pBottomBtn}) {
        *ppBtn = new QPushButton(this);
        (*ppBtn)->setObjectName("SliderBtn");
        (*ppBtn)->setFixedSize(kHandleWidth, kHandleHeight);
        (*ppBtn)->installEventFilter(this);
        (*ppBtn)->hide();
    }

    setPartsVisible(false);
}

void QTemperRangeAdjust::setPartsVisible(bool bVisible)
{
    m_pAutoLabel->setVisible(bVisible);
    m_pSwitch->setVisible(bVisible);
    m_pMaxLabel->setVisible(bVisible);
    m_pSlideWidget->setVisible(bVisible);
    m_pMinLabel->setVisible(bVisible);
    m_bShown = bVisible;
    update();
}

QSize QTemperRangeAdjust::sizeHint() const
{
    return QSize(width(), QWidget::sizeHint().height() + kPreferredBarHeight);
}

QRect QTemperRangeAdjust::slideRect() const
{
    return m_pSlideWidget->geometry();
}

bool QTemperRangeAdjust::isAutoRange() const
{
    return m_pSwitch->isChecked();
}

void QTemperRangeAdjust::placeHandles()
{
    const QRect rcSlide = slideRect();
    m_pTopBtn->move(rcSlide.x(), rcSlide.y() - kHandleOffset);
    m_pBottomBtn->move(rcSlide.x(), rcSlide.y() + rcSlide.height() - kHandleOffset);
    m_rcRange = rcSlide;
    m_rcSlide = rcSlide;
    update();
}

float QTemperRangeAdjust::temperAt(int nHandleY) const
{
    const QRect rcSlide = slideRect();
    return m_fSceneMax
           - float(nHandleY - rcSlide.y() + kHandleOffset) * (m_fSceneMax - m_fSceneMin) / float(rcSlide.height());
}

// A bar without height (not laid out yet) would divide by zero and hand the engine NaN; the
// handles then stand for the scene's ends.
float QTemperRangeAdjust::upperTemper() const
{
    return slideRect().height() > 0 ? temperAt(m_pTopBtn->y()) : m_fSceneMax;
}

float QTemperRangeAdjust::lowerTemper() const
{
    return slideRect().height() > 0 ? temperAt(m_pBottomBtn->y()) : m_fSceneMin;
}

void QTemperRangeAdjust::emitIsoFromHandles()
{
    emit sendIsoTemperSignal(lowerTemper(), upperTemper());
}

void QTemperRangeAdjust::setSceneTemperatures(float fMin, float fMax)
{
    m_pMinLabel->setText(temperText(fMin));
    m_pMaxLabel->setText(temperText(fMax));
    m_fSceneMin = fMin;
    m_fSceneMax = fMax;
    m_bHaveScene = true;
    emitIsoFromHandles();
}

void QTemperRangeAdjust::setTemperRangeAjSwitchSlots(bool bFlags)
{
    m_pTopBtn->setVisible(!bFlags);
    m_pBottomBtn->setVisible(!bFlags);
    ThermImageContext& ctx = ThermImageContext::instance();
    if (bFlags) {
        m_rcRange = slideRect();
        placeHandles();
        // The handles are gone, and with them their floating temperature labels.
        emit sendTopTemperHoverLabelVisibleSignal(false);
        emit sendBottomTemperHoverLabelVisibleSignal(false);
        emit sendIsoTemperSignal(-30.0f, 200.0f);
    } else if (m_bHaveScene) {
        // The window is sent as shown (emissivity applied), like every later handle move; the
        // camera's own extremes here would be taken back through the correction a second time.
        emit sendIsoTemperSignal(m_fSceneMin, m_fSceneMax);
    } else {
        emit sendIsoTemperSignal(ctx.m_fSceneMin.load(), ctx.m_fSceneMax.load());
    }
    ctx.m_bAutoRange = bFlags;
    update();
}

bool QTemperRangeAdjust::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_pSlideWidget) {
        if (event->type() == QEvent::Resize || event->type() == QEvent::Move)
            rescaleToSlide();
        return QWidget::eventFilter(watched, event);
    }
    if (watched != m_pTopBtn && watched != m_pBottomBtn)
        return QWidget::eventFilter(watched, event);

    const bool bTop = (watched == m_pTopBtn);
    QPushButton* pBtn = bTop ? m_pTopBtn : m_pBottomBtn;
    switch (event->type()) {
    case QEvent::MouseButtonPress:
        m_ptLast = pBtn->pos() + static_cast<QMouseEvent*>(event)->pos();
        (bTop ? m_bDragTop : m_bDragBottom) = true;
        break;
    case QEvent::MouseButtonRelease:
        (bTop ? m_bDragTop : m_bDragBottom) = false;
        break;
    case QEvent::Enter:
        if (bTop) {
            emit sendTopTemperHoverLabelPosSignal(pBtn->pos());
            if (!isAutoRange())
                emit sendTopTemperHoverLabelVisibleSignal(true);
        } else {
            emit sendBottomTemperHoverLabelPosSignal(pBtn->pos());
            if (!isAutoRange())
                emit sendBottomTemperHoverLabelVisibleSignal(true);
        }
        break;
    case QEvent::Leave:
        if (bTop)
            emit sendTopTemperHoverLabelVisibleSignal(false);
        else
            emit sendBottomTemperHoverLabelVisibleSignal(false);
        break;
    case QEvent::MouseMove:
        // The pressed button keeps the mouse, so the drag is driven from here; the event
        // ends here so that it does not also reach this widget through propagation.
        handleMove(pBtn->mapTo(this, static_cast<QMouseEvent*>(event)->pos()));
        return true;
    default:
        break;
    }
    return QWidget::eventFilter(watched, event);
}

void QTemperRangeAdjust::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && m_rcRange.contains(event->pos())) {
        setCursor(Qt::ClosedHandCursor);
        m_ptLast = event->pos();
        m_bDragRange = true;
    }
    QWidget::mousePressEvent(event);
}

void QTemperRangeAdjust::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_bDragRange) {
        setCursor(Qt::OpenHandCursor);
        m_bDragRange = false;
    }
    QWidget::mouseReleaseEvent(event);
}

void QTemperRangeAdjust::mouseMoveEvent(QMouseEvent* event)
{
    handleMove(event->pos());
}

void QTemperRangeAdjust::handleMove(const QPoint& pos)
{
    const int dy = pos.y() - m_ptLast.y();
    const QRect rcSlide = slideRect();
    const int sx = rcSlide.x();
    const int sy = rcSlide.y();
    const int hs = rcSlide.height() - 1;
    const int nTopLimit = sy - kHandleOffset;
    const int nBottomLimit = sy - (kHandleOffset - 1) + hs;
    const int t = m_pTopBtn->y();
    const int b = m_pBottomBtn->y();
    const int tNew = t + dy;
    const int bNew = b + dy;

    bool bMoved = true;
    if (m_bDragTop) {
        const int y = (tNew <= b - kHandleGap) ? std::max(tNew, nTopLimit) : b - kHandleGap;
        m_pTopBtn->move(sx, y);
        emit sendTopTemperHoverLabelPosSignal(m_pTopBtn->pos());
    } else if (m_bDragBottom) {
        const int y = (bNew >= t + kHandleGap) ? std::min(bNew, nBottomLimit) : t + kHandleGap;
        m_pBottomBtn->move(sx, y);
        emit sendBottomTemperHoverLabelPosSignal(m_pBottomBtn->pos());
    } else if (m_bDragRange) {
        int yTop = tNew;
        int yBottom = bNew;
        if (tNew < nTopLimit) {
            yTop = nTopLimit;
            yBottom = b;
        } else if (bNew > nBottomLimit) {
            yTop = t;
            yBottom = nBottomLimit;
        }
        m_pTopBtn->move(sx, yTop);
        m_pBottomBtn->move(sx, yBottom);
        emit sendTopTemperHoverLabelPosSignal(m_pTopBtn->pos());
        emit sendBottomTemperHoverLabelPosSignal(m_pBottomBtn->pos());
    } else {
        bMoved = false;
        if (m_rcRange.contains(pos) && !isAutoRange()) {
            setCursor(Qt::OpenHandCursor);
            emit sendTopTemperHoverLabelPosSignal(m_pTopBtn->pos());
            emit sendBottomTemperHoverLabelPosSignal(m_pBottomBtn->pos());
            emit sendTopTemperHoverLabelVisibleSignal(true);
            emit sendBottomTemperHoverLabelVisibleSignal(true);
        } else {
            setCursor(Qt::ArrowCursor);
            emit sendTopTemperHoverLabelVisibleSignal(false);
            emit sendBottomTemperHoverLabelVisibleSignal(false);
        }
    }

    if (bMoved) {
        m_rcRange = QRect(QPoint(sx, m_pTopBtn->y() + kHandleOffset),
                          QPoint(sx + rcSlide.width() - 1, m_pBottomBtn->y() + kHandleOffset - 1));
        emitIsoFromHandles();
        update();
    }
    m_ptLast = pos;
}

void QTemperRangeAdjust::leaveEvent(QEvent* event)
{
    // Hovering the bar shows both floating labels; they must not stay behind when the
    // pointer leaves the scale without crossing the outside of the bar first.
    if (!m_bDragTop && !m_bDragBottom && !m_bDragRange) {
        emit sendTopTemperHoverLabelVisibleSignal(false);
        emit sendBottomTemperHoverLabelVisibleSignal(false);
    }
    QWidget::leaveEvent(event);
}

void QTemperRangeAdjust::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    rescaleToSlide();
}

void QTemperRangeAdjust::rescaleToSlide()
{
    const int nOldHeight = m_rcSlide.bottom() - m_rcSlide.top() + 1;
    const QRect rcSlide = slideRect();
    if (nOldHeight <= 0 || rcSlide == m_rcSlide)
        return;
    const int x = rcSlide.x();
    const int y = rcSlide.y();
    const int h = rcSlide.height();
    // Offsets are taken from the old top of the bar, so the selection keeps its share of the
    // bar even when the bar moves as well as stretches.
    const int nOldTop = m_rcSlide.top();
    const int yTop = y - kHandleOffset + std::max(0, (m_rcRange.top() - nOldTop) * h / nOldHeight);
    const int yBottom = y - kHandleOffset + std::min(h, (m_rcRange.bottom() + 1 - nOldTop) * h / nOldHeight);
    m_pTopBtn->move(x, yTop);
    m_pBottomBtn->move(x, yBottom);
    m_rcRange = QRect(QPoint(x, yTop + kHandleOffset), QPoint(x + rcSlide.width() - 1, yBottom + kHandleOffset - 1));
    m_rcSlide = rcSlide;
    update();
}

void QTemperRangeAdjust::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    if (!m_bShown)
        return;
    QPainter painter(this);
    painter.fillRect(slideRect(), QColor("#2B2B2B"));
    if (!m_pixScale.isNull() && m_rcRange.isValid())
        painter.drawPixmap(m_rcRange, m_pixScale);
}

void QTemperRangeAdjust::setScaleImage(const uint8_t* pData, size_t nLength)
{
    if (!pData || nLength == 0 || nLength > size_t(INT_MAX))
        return;
    QPixmap pix;
    if (!pix.loadFromData(pData, uint(nLength), "BMP"))
        return;
    // Stretched to the widget turned on its side, then turned upright: the first pixel (the
    // lowest grey level) ends at the bottom.
    const QSize target(std::max(1, height()), std::max(1, width()));
    m_pixScale = pix.scaled(target, Qt::IgnoreAspectRatio).transformed(QTransform().rotate(-90));
    update();
}
