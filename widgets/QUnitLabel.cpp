#include "widgets/QUnitLabel.h"

#include <QHBoxLayout>
#include <QLabel>

QUnitLabel::QUnitLabel(QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(50, 30);
    setAttribute(Qt::WA_TransparentForMouseEvents);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    m_pValueLabel = new QLabel(this);
    m_pUnitLabel = new QLabel(this);
    m_pValueLabel->setStyleSheet("QLabel {font-size: 13px;}");
    m_pUnitLabel->setStyleSheet("QLabel {font-size: 13px;}");
    pLayout->addWidget(m_pValueLabel);
    pLayout->addWidget(m_pUnitLabel);
}

void QUnitLabel::setValueText(const QString& qStrText) { m_pValueLabel->setText(qStrText); }
void QUnitLabel::setUnitText(const QString& qStrText) { m_pUnitLabel->setText(qStrText); }
QString QUnitLabel::valueText() const { return m_pValueLabel->text(); }
QString QUnitLabel::unitText() const { return m_pUnitLabel->text(); }
