#include "maintenance/QUpdate.h"

#include "app/AppFlags.h"
#include "app/LangTable.h"
#include "device/UsbCameraLink.h"
#include "maintenance/UpdateExec.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QSelLineEdit.h"

#include <QFileDialog>
#include <QFormLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QUpdate::FileDialogHook& fileDialogHook()
{
    static QUpdate::FileDialogHook hook;
    return hook;
}

// Some status texts have no entry in the shipped tables; they show the key's own words.
QString textOrKey(const char* pszKey)
{
    const QString text = langText(QString::fromUtf8(pszKey));
    return text.isEmpty() ? QString::fromUtf8(pszKey) : text;
}

const char* const kSelectorStyle = "QWidget{background-color: transparent;}";
const char* const kEditStyle = "QLineEdit{background-color: #333333;border-radius:2px;border:1px solid #555555;}";
const char* const kSelBtnStyle =
    "QPushButton{image: url(:/Resource/Skin/sel_path.png);background-color: #333333;border-radius: 0px 2px 2px "
    "0px;border:1px solid #555555;}QPushButton:hover{border:1px solid #E67E22;}";
const char* const kProgressStyle =
    "QProgressBar{\theight:30px;text-align:center;font-size:14px;color:white;border-radius:3px;background: "
    "#1D5573;}QProgressBar::chunk {border-radius: 3px;background: "
    "qlineargradient(spread:pad,x1:0,y1:0,x2:1,y2:0,stop:0 #01FAFF,stop:1  #26B4FF);}";

} // namespace

void QUpdate::setFileDialogHookForTests(FileDialogHook hook) { fileDialogHook() = std::move(hook); }

QUpdate::QUpdate(QWidget* parent) : QWidget(parent)
{
    setObjectName("SettingsDlg");
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    resize(428, 544);

    auto* pMainLayout = new QVBoxLayout(this);
    pMainLayout->setContentsMargins(0, 0, 0, 0);
    pMainLayout->setSpacing(0);

    m_pTitleWidget = new QWidget(this);
    m_pTitleWidget->setFixedHeight(50);
    m_pTitleWidget->hide();
    pMainLayout->addWidget(m_pTitleWidget);

    auto* pContent = new QWidget(this);
    auto* pForm = new QFormLayout(pContent);
    pForm->setContentsMargins(40, 0, 0, 0);
    pForm->setSpacing(6);

    m_pUpdateLabel = new QLabel(pContent);
    m_pUpdateLabel->setObjectName("UpdateLabel");
    pForm->addRow(m_pUpdateLabel);

    m_pFilePathLabel = new QLabel(langText("UpdateFilePath"), pContent);
    m_pFilePathLabel->setObjectName("Label_FF_85");
    m_pFileSel = new QSelLineEdit(pContent);
    m_pFileSel->setObjectName("UpdateFileSel");
    m_pFileSel->setFixedSize(442, 32);
    m_pFileSel->setStyleSheet(kSelectorStyle);
    m_pFileSel->setLineEditStyle(kEditStyle);
    m_pFileSel->setSelBtnStyle(kSelBtnStyle);
    pForm->addRow(m_pFilePathLabel, m_pFileSel);

    pForm->setItem(2, QFormLayout::SpanningRole, new QSpacerItem(20, 20, QSizePolicy::Minimum, QSizePolicy::Fixed));

    m_pProgressLabel = new QLabel(langText("UpdateProgress"), pContent);
    m_pProgressLabel->setObjectName("Label_FF_85");
    m_pProgressBar = new QProgressBar(pContent);
    m_pProgressBar->setObjectName("UpdateProgressBar");
    m_pProgressBar->setValue(0);
    m_pProgressBar->setAlignment(Qt::AlignCenter);
    m_pProgressBar->setStyleSheet(kProgressStyle);
    pForm->addRow(m_pProgressLabel, m_pProgressBar);

    m_pStatusLabel = new QLabel(pContent);
    m_pStatusLabel->setObjectName("ProgressStatusLabel");
    pForm->addRow(QString(), m_pStatusLabel);

    m_pUpdateBtn = new QPushButton(langText("Update"), pContent);
    m_pUpdateBtn->setObjectName("BtnStyle1");
    m_pUpdateBtn->setFixedSize(160, 32);
    pForm->addRow(QString(), m_pUpdateBtn);

    pMainLayout->addWidget(pContent);
    pMainLayout->addStretch(1);

    m_pCtrlWidget = new QWidget(this);
    m_pCtrlWidget->setObjectName("ctrlWidget");
    m_pCtrlWidget->setFixedHeight(64);
    auto* pCtrlLayout = new QVBoxLayout(m_pCtrlWidget);
    pCtrlLayout->setContentsMargins(0, 0, 0, 0);
    m_pDivideLine = new QLabel(m_pCtrlWidget);
    m_pDivideLine->setObjectName("divideLine_2");
    m_pDivideLine->setFixedHeight(1);
    pCtrlLayout->addWidget(m_pDivideLine);
    pCtrlLayout->addStretch(1);
    pMainLayout->addWidget(m_pCtrlWidget);

    m_pWorker = new UpdateExec();
    m_pWorker->moveToThread(&m_thread);
    connect(&m_thread, SIGNAL(finished()), m_pWorker, SLOT(deleteLater()));
    connect(m_pUpdateBtn, SIGNAL(clicked()), this, SLOT(setUpdateBtnSlots()));
    connect(this, SIGNAL(sendUpgradeExec(QString)), m_pWorker, SLOT(setUpdateSlots(QString)));
    connect(m_pWorker, SIGNAL(Task_SetProgress(int, int)), this, SLOT(Task_GetProgress(int, int)));
    connect(m_pWorker, SIGNAL(Send_Upgrade_Ret(bool, int)), this, SLOT(Task_Upgrade_Ret(bool, int)));
    connect(m_pFileSel, SIGNAL(sendSelBtnClickedSignals()), this, SLOT(setUpdateFilePathSelSlots()));
    m_thread.start(QThread::InheritPriority);
}

QUpdate::~QUpdate()
{
    m_thread.quit();
    m_thread.wait();
}

void QUpdate::setUpdateFilePathSelSlots()
{
    if (m_bUpgrading) {
        QMessageboxDlg::showMessage(this, langText("Device is upgrading."));
        return;
    }
    const QString qStrStart = m_pFileSel->text();
    const QString qStrFile = fileDialogHook()
                                 ? fileDialogHook()(this, qStrStart)
                                 : QFileDialog::getOpenFileName(this, QString(), qStrStart, "Bin File(*.bin)");
    if (!qStrFile.isEmpty())
        m_pFileSel->setText(qStrFile);
}

void QUpdate::setUpdateBtnSlots()
{
    const char* pszRefusal = nullptr;
    if (!UsbCameraLink::instance().bStreaming)
        pszRefusal = "Device is not connect.";
    else if (m_bUpgrading)
        pszRefusal = "Device is upgrading.";
    else if (g_bStandby)
        pszRefusal = "Device is sleeping, please turn off sleep mode";
    else if (g_bRecording)
        pszRefusal = "Device is recording.";
    else if (m_pFileSel->text().isEmpty())
        pszRefusal = "Please select a .bin file to upgrade.";
    if (pszRefusal) {
        QMessageboxDlg::showMessage(this, langText(pszRefusal));
        return;
    }

    m_bImageSent = false;
    emit SendDisableBtnSignal(true);
    emit sendUpgradeExec(m_pFileSel->text());
    m_pProgressBar->setValue(0);
    m_pStatusLabel->setText(langText("Upgrading, please wait..."));
    m_bUpgrading = true;
}

void QUpdate::Task_GetProgress(int offset, int Maxlen)
{
    m_pProgressBar->setRange(0, Maxlen);
    m_pProgressBar->setValue(offset);
    m_bImageSent = m_bImageSent || offset > 0;
}

void QUpdate::Task_Upgrade_Ret(bool bRet, int errCode)
{
    if (bRet && errCode == UpdateExec::CodeWritten) {
        m_pStatusLabel->setText(langText("Writing,please wait...."));
        return;
    }
    if (bRet) {
        m_pStatusLabel->setText(langText("Upgrade success!"));
        emit SendDisableBtnSignal(false);
        m_bUpgrading = false;
        QMessageboxDlg::showMessage(
            this, langText("The upgrade is complete, the device is disconnected, please reconnect"));
        return;
    }

    QString qStrText = langText("Upgrade Fail.");
    switch (errCode) {
    case UpdateExec::CodeOpenFailed: qStrText += textOrKey("File open error.."); break;
    case UpdateExec::CodeVerifyFailed: qStrText += textOrKey("File verification error."); break;
    // A file without an image fails verification; an install the camera never confirmed is a
    // plain failure. Both use texts the language tables already carry.
    case UpdateExec::CodeNoImage: qStrText += langText("File verification error."); break;
    case UpdateExec::CodeNotInstalled: break;
    default: break;
    }
    m_pStatusLabel->setText(qStrText);
    emit SendDisableBtnSignal(false);
    m_bUpgrading = false;
}
