#include "widgets/QMessageboxDlg.h"

#include "app/LangTable.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QMovie>
#include <QPainter>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace {

QMessageboxDlg::ExecHook& execHook()
{
    static QMessageboxDlg::ExecHook hook;
    return hook;
}

const char* const kProgressStyle =
    "QProgressBar{color:rgb(0,0,0);border-radius: 5px;text-align:center;background: rgb(245, 245, 245);}"
    "QProgressBar::chunk {border-radius: 5px;background: rgb(233, 115, 69);}";

} // namespace

QMessageboxDlg::QMessageboxDlg(QWidget* parent)
    : QDialog(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    setAttribute(Qt::WA_TranslucentBackground);
    setWindowModality(Qt::ApplicationModal);
    setFixedSize(520, 220);

    // The painted body is inset by 10 pixels; the layout keeps the children inside it.
    auto* pMainLayout = new QVBoxLayout(this);
    pMainLayout->setContentsMargins(20, 14, 20, 20);
    pMainLayout->setSpacing(8);

    auto* pTitleLayout = new QHBoxLayout;
    pTitleLayout->setContentsMargins(0, 0, 0, 0);
    pTitleLayout->addStretch();
    m_pCloseBtn = new QPushButton(this);
    m_pCloseBtn->setObjectName("CloseBtn");
    m_pCloseBtn->setFixedSize(20, 20);
    m_pCloseBtn->setFocusPolicy(Qt::NoFocus);
    m_pCloseBtn->setToolTip(langText("Close"));
    pTitleLayout->addWidget(m_pCloseBtn);
    pMainLayout->addLayout(pTitleLayout);

    m_pDivideLine = new QLabel(this);
    m_pDivideLine->setObjectName("DivideLine");
    m_pDivideLine->setFixedHeight(2);
    pMainLayout->addWidget(m_pDivideLine);

    auto* pContentLayout = new QHBoxLayout;
    pContentLayout->setContentsMargins(10, 0, 10, 0);
    pContentLayout->setSpacing(10);
    m_pIconLabel = new QLabel(this);
    m_pIconLabel->setObjectName("IconLabel");
    m_pIconLabel->setPixmap(QPixmap(":/Resource/Skin/common_info.png"));
    m_pIconLabel->setAlignment(Qt::AlignCenter);
    m_pTextLabel = new QLabel(this);
    m_pTextLabel->setObjectName("Label_F5_16");
    m_pTextLabel->setWordWrap(true);
    m_pTextLabel->setAlignment(Qt::AlignCenter);
    m_pTextLabel->setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Preferred);
    m_pBusyLabel = new QLabel(this);
    m_pBusyLabel->setObjectName("BusyLabel");
    m_pBusyLabel->setAlignment(Qt::AlignCenter);
    m_pBusyMovie = new QMovie(":/Resource/Skin/loading.gif", QByteArray(), this);
    m_pBusyLabel->setMovie(m_pBusyMovie);
    m_pBusyLabel->hide();
    pContentLayout->addWidget(m_pIconLabel);
    pContentLayout->addWidget(m_pTextLabel, 1);
    pContentLayout->addWidget(m_pBusyLabel);
    pMainLayout->addLayout(pContentLayout, 1);

    m_pProgressBar = new QProgressBar(this);
    m_pProgressBar->setObjectName("ProgressBar");
    m_pProgressBar->setRange(1, 100);
    m_pProgressBar->setStyleSheet(kProgressStyle);
    m_pProgressBar->hide();
    pMainLayout->addWidget(m_pProgressBar);

    auto* pBtnLayout = new QHBoxLayout;
    pBtnLayout->setContentsMargins(0, 0, 0, 0);
    pBtnLayout->setSpacing(20);
    pBtnLayout->addStretch();
    m_pCancelBtn = new QPushButton(langText("Cancel"), this);
    m_pCancelBtn->setObjectName("BtnStyle2");
    m_pCancelBtn->setFixedSize(100, 32);
    m_pOkBtn = new QPushButton(langText("OK"), this);
    m_pOkBtn->setObjectName("BtnStyle1");
    m_pOkBtn->setFixedSize(100, 32);
    m_pOkBtn->setDefault(true);
    pBtnLayout->addWidget(m_pCancelBtn);
    pBtnLayout->addWidget(m_pOkBtn);
    pBtnLayout->addStretch();
    pMainLayout->addLayout(pBtnLayout);

    m_pTimer = new QTimer(this);

    connect(m_pCloseBtn, SIGNAL(clicked()), this, SLOT(setWndCloseSlots()));
    connect(m_pCancelBtn, SIGNAL(clicked()), this, SLOT(setWndCloseSlots()));
    connect(m_pOkBtn, SIGNAL(clicked()), this, SLOT(setOkBtnSlots()));
    connect(m_pTimer, SIGNAL(timeout()), this, SLOT(onTimeoutSlot()));
}

QMessageboxDlg::~QMessageboxDlg() = default;

void QMessageboxDlg::setExecHookForTests(ExecHook hook) { execHook() = std::move(hook); }

int QMessageboxDlg::exec()
{
    if (execHook()) {
        const int nResult = execHook()(*this);
        setResult(nResult);
        return nResult;
    }
    return QDialog::exec();
}

int QMessageboxDlg::showMessage(QWidget* pParent, const QString& qStrText)
{
    QMessageboxDlg dlg(pParent);
    dlg.iconLabel()->hide();
    dlg.cancelButton()->hide();
    dlg.setText(qStrText);
    return dlg.exec();
}

bool QMessageboxDlg::askConfirm(QWidget* pParent, const QString& qStrText)
{
    QMessageboxDlg dlg(pParent);
    dlg.iconLabel()->hide();
    dlg.setText(qStrText);
    return dlg.exec() == QDialog::Accepted;
}

void QMessageboxDlg::setText(const QString& qStrText) { m_pTextLabel->setText(qStrText); }

QString QMessageboxDlg::text() const { return m_pTextLabel->text(); }

void QMessageboxDlg::startDlgTimer(int nIntervalMs) { m_pTimer->start(nIntervalMs); }

void QMessageboxDlg::stopDlgTimer() { m_pTimer->stop(); }

void QMessageboxDlg::setWndCloseSlots()
{
    // Rejected also when the dialog was shown without a modal run.
    reject();
}

void QMessageboxDlg::setOkBtnSlots() { accept(); }

void QMessageboxDlg::onTimeoutSlot()
{
    if (m_nMode == 0) {
        close();
        m_pTimer->stop();
        m_pBusyLabel->hide();
    } else if (m_nMode == 1) {
        const int nValue = m_pProgressBar->value();
        if (nValue != m_nProgressTarget)
            m_pProgressBar->setValue(nValue + 1);
        const int nNow = m_pProgressBar->value();
        if (nNow == m_nProgressTarget && nNow >= m_pProgressBar->maximum()) {
            m_bDone = true;
            m_pTimer->stop();
        }
    }
}

void QMessageboxDlg::paintEvent(QPaintEvent* event)
{
    Q_UNUSED(event);
    QPainter painter(this);
    painter.fillRect(rect().adjusted(10, 10, -10, -10), QColor("#787878"));
}

void QMessageboxDlg::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (m_pBusyMovie->isValid())
        m_pBusyMovie->start();
}

void QMessageboxDlg::hideEvent(QHideEvent* event)
{
    m_pBusyMovie->stop();
    QDialog::hideEvent(event);
}
