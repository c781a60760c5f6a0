#include "widgets/QLoadingMsgDlg.h"

#include "app/LangTable.h"

#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QVBoxLayout>

QLoadingMsgDlg::QLoadingMsgDlg(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(490, 230);

    auto* pLayout = new QVBoxLayout(this);
    pLayout->setContentsMargins(20, 20, 20, 20);
    pLayout->setSpacing(6);
    pLayout->addStretch();
    m_pMovieLabel = new QLabel(this);
    m_pMovieLabel->setAlignment(Qt::AlignCenter);
    m_pMovie = new QMovie(":/Resource/Skin/loading.gif", QByteArray(), this);
    m_pMovieLabel->setMovie(m_pMovie);
    pLayout->addWidget(m_pMovieLabel, 0, Qt::AlignCenter);
    m_pTextLabel = new QLabel(langText("Please Wait"), this);
    m_pTextLabel->setObjectName("Label_FF_85");
    m_pTextLabel->setAlignment(Qt::AlignCenter);
    pLayout->addWidget(m_pTextLabel);
    pLayout->addStretch();
}

void QLoadingMsgDlg::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.fillRect(rect().adjusted(20, 20, -20, -20), QColor("#2B2B2B"));
}

// The animation runs only while the dialog is on screen.
void QLoadingMsgDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_pMovie->isValid())
        m_pMovie->start();
}

void QLoadingMsgDlg::hideEvent(QHideEvent* event)
{
    m_pMovie->stop();
    QDialog::hideEvent(event);
}
