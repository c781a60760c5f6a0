#include "widgets/QIconTextBtnBase.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMouseEvent>

namespace {

const char* const kTextNormalColor = "#6f6f6f;";
const char* const kTextActiveColor = "#FFFFFF;";

int imageIndex(int nState)
{
    switch (nState) {
    case QIconTextBtnBase::LookNormal: return 0;
    case QIconTextBtnBase::LookHover: return 1;
    case QIconTextBtnBase::LookPressed: return 2;
    case QIconTextBtnBase::LookSelected: return 3;
    default: return -1;
    }
}

} // namespace

QIconTextBtnBase::QIconTextBtnBase(bool bIconFirst, QWidget* parent)
    : QPushButton(parent)
{
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(10, 0, 10, 0);
    pLayout->setSpacing(6);
    m_pIconLabel = new QLabel(this);
    m_pIconLabel->setFixedSize(24, 24);
    m_pTextLabel = new QLabel(this);
    // The labels only decorate; clicks belong to the button.
    m_pIconLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    m_pTextLabel->setAttribute(Qt::WA_TransparentForMouseEvents);
    if (bIconFirst) {
        pLayout->addWidget(m_pIconLabel);
        pLayout->addWidget(m_pTextLabel, 1);
    } else {
        pLayout->addWidget(m_pTextLabel, 1);
        pLayout->addWidget(m_pIconLabel);
    }
    setLookState(LookNormal);
}

void QIconTextBtnBase::setBtnText(const QString& qStrText) { m_pTextLabel->setText(qStrText); }

QString QIconTextBtnBase::btnText() const { return m_pTextLabel->text(); }

void QIconTextBtnBase::setIconImages(const QString& qStrNormal, const QString& qStrHover, const QString& qStrPressed,
                                     const QString& qStrSelected)
{
    m_qStrImages[0] = qStrNormal;
    m_qStrImages[1] = qStrHover;
    m_qStrImages[2] = qStrPressed;
    m_qStrImages[3] = qStrSelected;
    setLookState(m_nLookState);
}

void QIconTextBtnBase::setIconImages(const QString& qStrNormal, const QString& qStrSelected)
{
    setIconImages(qStrNormal, qStrSelected, qStrSelected, qStrSelected);
}

QString QIconTextBtnBase::iconImage(int nState) const
{
    const int nIndex = imageIndex(nState);
    return nIndex < 0 ? QString() : m_qStrImages[nIndex];
}

void QIconTextBtnBase::setSelected(bool bSelected)
{
    m_bSelected = bSelected;
    setLookState(bSelected ? LookSelected : LookNormal);
}

void QIconTextBtnBase::setLookState(int nState)
{
    const int nIndex = imageIndex(nState);
    if (nIndex < 0)
        return;
    m_nLookState = nState;
    const QString& qStrImage = m_qStrImages[nIndex];
    m_pIconLabel->setStyleSheet(qStrImage.isEmpty() ? QString() : "QLabel{image:" + qStrImage + "}");
    m_pTextLabel->setStyleSheet(QString("QLabel{color:") + (nState == LookNormal ? kTextNormalColor : kTextActiveColor)
                                + "}");
}

void QIconTextBtnBase::enterEvent(QEvent* event)
{
    if (isEnabled())
        setLookState(LookHover);
    QPushButton::enterEvent(event);
}

void QIconTextBtnBase::leaveEvent(QEvent* event)
{
    if (isEnabled())
        setLookState(m_bSelected ? LookSelected : LookNormal);
    QPushButton::leaveEvent(event);
}

void QIconTextBtnBase::mousePressEvent(QMouseEvent* event)
{
    setLookState(LookPressed);
    QPushButton::mousePressEvent(event);
}

void QIconTextBtnBase::mouseReleaseEvent(QMouseEvent* event)
{
    setLookState(LookHover);
    QPushButton::mouseReleaseEvent(event);
}
