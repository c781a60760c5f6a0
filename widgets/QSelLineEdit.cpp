#include "widgets/QSelLineEdit.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>

QSelLineEdit::QSelLineEdit(QWidget* parent)
    : QWidget(parent)
{
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->setSpacing(0);
    m_pLineEdit = new QLineEdit(this);
    m_pLineEdit->setTextMargins(10, 2, 8, 2);
    m_pLineEdit->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Expanding);
    m_pSelBtn = new QPushButton(this);
    m_pSelBtn->setObjectName("SelBtn");
    m_pSelBtn->setCursor(Qt::PointingHandCursor);
    m_pSelBtn->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
    pLayout->addWidget(m_pLineEdit);
    pLayout->addWidget(m_pSelBtn);
    connect(m_pSelBtn, SIGNAL(clicked()), this, SLOT(setSelectPathSlots()));
}

QString QSelLineEdit::text() const { return m_pLineEdit->text(); }

void QSelLineEdit::setText(const QString& qStrText)
{
    m_pLineEdit->setText(qStrText);
    // Long paths show their beginning, which names the drive and top folders.
    m_pLineEdit->setCursorPosition(0);
}

void QSelLineEdit::setLineEditStyle(const QString& qStrStyle) { m_pLineEdit->setStyleSheet(qStrStyle); }

void QSelLineEdit::setSelBtnStyle(const QString& qStrStyle) { m_pSelBtn->setStyleSheet(qStrStyle); }

void QSelLineEdit::setSelectPathSlots() { emit sendSelBtnClickedSignals(); }

void QSelLineEdit::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    // A square button as tall as the field.
    m_pSelBtn->setFixedWidth(height());
}
