#include "widgets/QIconTextVBtn.h"

#include <QLabel>
#include <QVBoxLayout>

namespace {
const char* const kTextNormalStyle = "QLabel{color:rgba(255,255,255,0.65);}";
const char* const kTextHighlightStyle = "QLabel{color:#E67E22;}";
} // namespace

QIconTextVBtn::QIconTextVBtn(QWidget* parent)
    : QPushButton(parent)
{
    setFixedSize(36, 36);
    // Without a border rule the platform style draws its own (dark) button panel underneath.
    setStyleSheet("QPushButton{background-color:transparent;border:none;}");

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    m_pIconLabel = new QLabel(this);
    m_pIconLabel->setFixedSize(36, 36);
    m_pTextLabel = new QLabel(this);
    m_pTextLabel->setAlignment(Qt::AlignCenter);
    m_pTextLabel->setStyleSheet(kTextNormalStyle);
    m_pTextLabel->hide();
    pLayout->addWidget(m_pIconLabel, 0, Qt::AlignCenter);
    pLayout->addWidget(m_pTextLabel);
}

void QIconTextVBtn::setImages(const QString& qStrNormal, const QString& qStrHighlight)
{
    m_qStrNormal = qStrNormal;
    m_qStrHighlight = qStrHighlight;
    m_pIconLabel->setStyleSheet("QLabel{border-image:" + m_qStrNormal + ";}");
}

void QIconTextVBtn::setHighlight(bool bHighlight)
{
    m_bHighlight = bHighlight;
    if (bHighlight) {
        m_pTextLabel->setStyleSheet(kTextHighlightStyle);
        m_pIconLabel->setStyleSheet("QLabel{image:" + m_qStrHighlight + ";}");
    } else {
        m_pTextLabel->setStyleSheet(kTextNormalStyle);
        m_pIconLabel->setStyleSheet("QLabel{border-image:" + m_qStrNormal + ";}");
    }
}

void QIconTextVBtn::setBtnText(const QString& qStrText) { m_pTextLabel->setText(qStrText); }

QString QIconTextVBtn::btnText() const { return m_pTextLabel->text(); }

void QIconTextVBtn::enterEvent(QEvent* event)
{
    setHighlight(true);
    QPushButton::enterEvent(event);
}

void QIconTextVBtn::leaveEvent(QEvent* event)
{
    // The disabled button marks the current module and keeps its highlight.
    if (isEnabled())
        setHighlight(false);
    QPushButton::leaveEvent(event);
}
