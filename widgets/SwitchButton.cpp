#include "widgets/SwitchButton.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QPixmap>
#include <QTimer>

SwitchButton::SwitchButton(QWidget* parent)
    : QWidget(parent)
    , m_bgColorOff("#6C7688")
    , m_bgColorOn("#E67E22")
    , m_sliderColorOff(Qt::white)
    , m_sliderColorOn(Qt::white)
    , m_textColorOff(120, 120, 120)
    , m_textColorOn(Qt::white)
{
    m_pTimer = new QTimer(this);
    m_pTimer->setInterval(5);
    connect(m_pTimer, SIGNAL(timeout()), this, SLOT(updateValue()));

    setFont(QFont("Microsoft Yahei", 10));
    setMinimumSize(100, 20);
    recomputeStep();
}

QSize SwitchButton::sizeHint() const { return QSize(100, 20); }

bool SwitchButton::isAnimating() const { return m_pTimer->isActive(); }

void SwitchButton::recomputeStep()
{
    // At least one pixel, so that the animation always reaches its end.
    m_nStep = qMax(1, width() / 10);
}

int SwitchButton::restX(bool bChecked) const
{
    if (!bChecked)
        return 0;
    switch (m_nButtonStyle) {
    case ButtonStyle_Rect: return width() - width() / 2;
    case ButtonStyle_CircleIn: return width() - height();
    case ButtonStyle_CircleOut: return width() + m_nSpace - height();
    default: return m_nEndX;   // the image style draws no knob
    }
}

void SwitchButton::setChecked(bool bChecked, bool bAnimate)
{
    if (m_bChecked == bChecked && !isAnimating() && m_nStartX == restX(bChecked))
        return;
    m_bChecked = bChecked;
    recomputeStep();
    m_nEndX = restX(bChecked);
    if (bAnimate) {
        m_pTimer->start();
    } else {
        m_pTimer->stop();
        m_nStartX = m_nEndX;
        update();
    }
}

void SwitchButton::setButtonStyle(int nStyle)
{
    m_nButtonStyle = nStyle;
    m_pTimer->stop();
    m_nEndX = restX(m_bChecked);
    m_nStartX = m_nEndX;
    update();
}

void SwitchButton::setBgColorOff(const QColor& color) { m_bgColorOff = color; update(); }
void SwitchButton::setBgColorOn(const QColor& color) { m_bgColorOn = color; update(); }
void SwitchButton::setSliderColorOff(const QColor& color) { m_sliderColorOff = color; update(); }
void SwitchButton::setSliderColorOn(const QColor& color) { m_sliderColorOn = color; update(); }
void SwitchButton::setTextColorOff(const QColor& color) { m_textColorOff = color; update(); }
void SwitchButton::setTextColorOn(const QColor& color) { m_textColorOn = color; update(); }
void SwitchButton::setTextOff(const QString& qStrText) { m_qStrTextOff = qStrText; update(); }
void SwitchButton::setTextOn(const QString& qStrText) { m_qStrTextOn = qStrText; update(); }
void SwitchButton::setImageOff(const QString& qStrPath) { m_qStrImageOff = qStrPath; update(); }
void SwitchButton::setImageOn(const QString& qStrPath) { m_qStrImageOn = qStrPath; update(); }
void SwitchButton::setSpace(int nSpace) { m_nSpace = nSpace; update(); }
void SwitchButton::setRectRadius(int nRadius) { m_nRectRadius = nRadius; update(); }

void SwitchButton::mousePressEvent(QMouseEvent* event)
{
    Q_UNUSED(event);
    m_bChecked = !m_bChecked;
    emit checkedChanged(m_bChecked);
    recomputeStep();
    m_nEndX = restX(m_bChecked);
    // The knob continues from wherever it stands, so a second quick click reverses it.
    m_pTimer->start();
}

void SwitchButton::updateValue()
{
    if (m_bChecked) {
        if (m_nStartX < m_nEndX) {
            m_nStartX += m_nStep;
        } else {
            m_nStartX = m_nEndX;
            m_pTimer->stop();
        }
    } else {
        if (m_nStartX > m_nEndX) {
            m_nStartX -= m_nStep;
        } else {
            m_nStartX = m_nEndX;
            m_pTimer->stop();
        }
    }
    update();
}

void SwitchButton::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    recomputeStep();
    m_pTimer->stop();
    m_nEndX = restX(m_bChecked);
    m_nStartX = m_nEndX;
}

void SwitchButton::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHints(QPainter::Antialiasing | QPainter::TextAntialiasing);
    if (m_nButtonStyle == ButtonStyle_Image) {
        drawImage(painter);
        return;
    }
    drawBg(painter);
    drawSlider(painter);
    drawText(painter);
}

void SwitchButton::drawBg(QPainter& painter)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_bChecked ? m_bgColorOn : m_bgColorOff);
    if (m_nButtonStyle == ButtonStyle_Rect) {
        painter.drawRoundedRect(rect(), m_nRectRadius, m_nRectRadius);
    } else if (m_nButtonStyle == ButtonStyle_CircleIn) {
        const int nSide = qMin(width(), height());
        QPainterPath path;
        path.addEllipse(0, 0, nSide, nSide);
        path.addEllipse(width() - nSide, 0, nSide, nSide);
        path.addRect(nSide / 2, 0, width() - nSide, height());
        path.setFillRule(Qt::WindingFill);
        painter.drawPath(path.simplified());
    } else if (m_nButtonStyle == ButtonStyle_CircleOut) {
        const QRect track(m_nSpace, m_nSpace, width() - 2 * m_nSpace, height() - 2 * m_nSpace);
        const int nRadius = track.height() / 2;
        painter.drawRoundedRect(track, nRadius, nRadius);
    }
    painter.restore();
}

void SwitchButton::drawSlider(QPainter& painter)
{
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(m_bChecked ? m_sliderColorOn : m_sliderColorOff);
    if (m_nButtonStyle == ButtonStyle_CircleOut) {
        // The knob overhangs the thin track; keep it inside the widget while it slides.
        const int nSide = height();
        const int nX = qBound(0, m_nStartX, qMax(0, width() - nSide));
        painter.drawEllipse(QRect(nX, 0, nSide, nSide));
    } else {
        const int nSide = qMin(width(), height()) - 2 * m_nSpace;
        painter.drawEllipse(QRect(m_nStartX + m_nSpace, m_nSpace, nSide, nSide));
    }
    painter.restore();
}

void SwitchButton::drawText(QPainter& painter)
{
    painter.save();
    if (m_bChecked) {
        painter.setPen(m_textColorOn);
        painter.drawText(QRect(0, 0, width() / 2, height()), Qt::AlignCenter, m_qStrTextOn);
    } else {
        painter.setPen(m_textColorOff);
        painter.drawText(QRect(width() / 2, 0, width() - width() / 2, height()), Qt::AlignCenter, m_qStrTextOff);
    }
    painter.restore();
}

void SwitchButton::drawImage(QPainter& painter)
{
    const QPixmap pixmap(m_bChecked ? m_qStrImageOn : m_qStrImageOff);
    if (pixmap.isNull())
        return;
    const QSize size = pixmap.size().scaled(this->size(), Qt::KeepAspectRatio).boundedTo(pixmap.size());
    const QRect target(QPoint((width() - size.width()) / 2, (height() - size.height()) / 2), size);
    painter.drawPixmap(target, pixmap);
}
