#include "widgets/QTimerMessageboxWidget.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QScreen>
#include <QTimer>

QPointer<QWidget> QTimerMessageboxWidget::s_pParent;
QPointer<QTimerMessageboxWidget> QTimerMessageboxWidget::s_pInstance;

namespace {
constexpr int kNoticeWidth = 450;
constexpr int kNoticeHeight = 40;
} // namespace

QTimerMessageboxWidget::QTimerMessageboxWidget(QWidget* parent)
    : QWidget(parent)
{
    setObjectName("TimerMessageboxWidget");
    // Painted through the style so that the stylesheet's rule for the object name applies.
    setAttribute(Qt::WA_StyledBackground);
    if (!parent)
        setWindowFlags(Qt::Tool | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint);
    setFixedSize(kNoticeWidth, kNoticeHeight);

    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(15, 0, 15, 0);
    pLayout->setSpacing(10);
    pLayout->setAlignment(Qt::AlignLeft);
    m_pIconLabel = new QLabel(this);
    m_pTextLabel = new QLabel(this);
    m_pTextLabel->setObjectName("Label_FF_85");
    pLayout->addWidget(m_pIconLabel);
    pLayout->addWidget(m_pTextLabel);
    hide();
}

void QTimerMessageboxWidget::setParentWidget(QWidget* pParent)
{
    s_pParent = pParent;
    if (s_pInstance && s_pInstance->parentWidget() != pParent) {
        delete s_pInstance;
        s_pInstance = nullptr;
    }
}

QWidget* QTimerMessageboxWidget::parentWidgetForNotice() { return s_pParent; }

QTimerMessageboxWidget* QTimerMessageboxWidget::instance()
{
    if (!s_pInstance)
        s_pInstance = new QTimerMessageboxWidget(s_pParent);
    return s_pInstance;
}

void QTimerMessageboxWidget::showNotice(const QString& qStrText, int nType, int nDurationMs)
{
    instance()->showMessage(qStrText, nType, nDurationMs);
}

void QTimerMessageboxWidget::showMessage(const QString& qStrText, int nType, int nDurationMs)
{
    QString qStrIcon;
    switch (nType) {
    case Success: qStrIcon = ":/Resource/Skin/common_sucess.png"; break;
    case Failure: qStrIcon = ":/Resource/Skin/common_fail.png"; break;
    case Information: qStrIcon = ":/Resource/Skin/common_info.png"; break;
    default: break;   // keep the previous icon
    }
    if (!qStrIcon.isEmpty()) {
        m_qStrIconPath = qStrIcon;
        m_pIconLabel->setPixmap(QPixmap(qStrIcon));
    }
    m_pTextLabel->setText(qStrText);

    // The stylesheet may give the label its own font; measure with that one.
    m_pTextLabel->ensurePolished();
    const int nTextWidth = m_pTextLabel->fontMetrics().horizontalAdvance(qStrText);
    const int nWanted = static_cast<int>(1.2 * nTextWidth);
    if (nWanted > width())
        setFixedWidth(nWanted);

    if (QWidget* pParent = parentWidget()) {
        move((pParent->width() - kNoticeWidth) / 2, (pParent->height() - kNoticeHeight) / 2);
    } else if (QScreen* pScreen = QApplication::primaryScreen()) {
        const QRect area = pScreen->availableGeometry();
        move(area.x() + (area.width() - kNoticeWidth) / 2, area.y() + (area.height() - kNoticeHeight) / 2);
    }
    show();
    raise();
    QTimer::singleShot(nDurationMs, this, SLOT(setHideWndTimer()));
}

QString QTimerMessageboxWidget::text() const { return m_pTextLabel->text(); }

void QTimerMessageboxWidget::setHideWndTimer() { hide(); }
