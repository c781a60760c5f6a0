#include "liveview/QVideoWndWidget.h"

#include "liveview/QChamferedLabel.h"

#include <QPainter>
#include <QVBoxLayout>

QVideoWndWidget::QVideoWndWidget(QWidget* parent)
    : QWidget(parent)
{
    setupUi();
    m_pVideoWndLabel->setObjectName("VideoWndLabel");
    m_pVideoWndLabel->setAlignment(Qt::AlignCenter);
    m_pVideoWndLabel->setChamferSize(12);
    m_pVerticalLayout->setContentsMargins(16, 16, 16, 16);
}

void QVideoWndWidget::setupUi()
{
    setObjectName("QVideoWndWidget");
    setWindowTitle("QVideoWndWidget");
    resize(400, 300);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setStyleSheet("QVideoWndWidget {background-color: #000000;}");
    m_pVerticalLayout = new QVBoxLayout(this);
    m_pVerticalLayout->setObjectName("verticalLayout");
    m_pVerticalLayout->setSpacing(6);
    m_pVideoWndLabel = new QChamferedLabel(this);
    m_pVideoWndLabel->setObjectName("videoWndLabel");
    // The render library needs a window of its own to draw into.
    m_pVideoWndLabel->setAttribute(Qt::WA_NativeWindow);
    m_pVideoWndLabel->setText(QString());
    m_pVerticalLayout->addWidget(m_pVideoWndLabel);
}

WId QVideoWndWidget::videoWindowHandle() const { return m_pVideoWndLabel->winId(); }

void QVideoWndWidget::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    paintChamferBackdrop(painter, m_pVideoWndLabel->geometry(), devicePixelRatioF(), 12);
}
