#include "maintenance/QSettingsDlg.h"
#include "alarms/QAlarmRulesPage.h"

#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/MainWindow.h"
#include "device/UsbCameraLink.h"
#include "liveview/QVideoPreviewModuleWidget.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QSelLineEdit.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QApplication>
#include <QButtonGroup>
#include <QComboBox>
#include <QDebug>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QListView>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QUrl>
#include <QVBoxLayout>

namespace {

QSettingsDlg::DirDialogHook& dirDialogHook()
{
    static QSettingsDlg::DirDialogHook hook;
    return hook;
}

QSettingsDlg::RestartHook& restartHook()
{
    static QSettingsDlg::RestartHook hook;
    return hook;
}

const char* const kSelectorStyle = "QWidget{background-color: transparent;}";
const char* const kEditStyle = "QLineEdit{background-color: #333333;border-radius:2px;border:1px solid #555555;}";
const char* const kSelBtnStyle =
    "QPushButton{image: url(:/Resource/Skin/sel_path.png);background-color: #333333;border-radius: 0px 2px 2px "
    "0px;border:1px solid #555555;}QPushButton:hover{border:1px solid #E67E22;}";

QLabel* makeLabel(const char* pszKey, const char* pszObjectName, QWidget* pParent)
{
    auto* pLabel = new QLabel(langText(pszKey), pParent);
    pLabel->setObjectName(pszObjectName);
    return pLabel;
}

QPushButton* makeButton(const char* pszKey, const char* pszObjectName, QWidget* pParent)
{
    auto* pBtn = new QPushButton(langText(pszKey), pParent);
    pBtn->setObjectName(pszObjectName);
    pBtn->setFixedSize(160, 32);
    return pBtn;
}

} // namespace

void QSettingsDlg::setDirDialogHookForTests(DirDialogHook hook) { dirDialogHook() = std::move(hook); }
void QSettingsDlg::setRestartHookForTests(RestartHook hook) { restartHook() = std::move(hook); }

QSettingsDlg::QSettingsDlg(QWidget* parent) : QWidget(parent)
{
    setObjectName("SettingsDlg");
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    resize(912, 757);

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
    pForm->setHorizontalSpacing(20);
    pForm->setVerticalSpacing(20);

    m_pUnitSetLabel = makeLabel("UnitSet", "Label_F5_16", pContent);
    pForm->addRow(m_pUnitSetLabel);

    m_pTemperUnitLabel = makeLabel("TemperUnit", "Label_FF_85", pContent);
    m_pTemperUnitCombo = new QComboBox(pContent);
    m_pTemperUnitCombo->setObjectName("temperUnitComboBox");
    m_pTemperUnitCombo->setFixedSize(212, 32);
    m_pTemperUnitCombo->setView(new QListView(m_pTemperUnitCombo));
    m_pTemperUnitCombo->addItem(langText("Centigrade"), 0);
    m_pTemperUnitCombo->addItem(langText("Fahrenheit"), 1);
    m_pTemperUnitCombo->addItem(langText("Kelvin"), 2);
    pForm->addRow(m_pTemperUnitLabel, m_pTemperUnitCombo);

    m_pPathLabel = makeLabel("PathSet", "Label_F5_16", pContent);
    pForm->addRow(m_pPathLabel);

    m_pManualSnapshotPathLabel = makeLabel("Manual Snapshot Path", "Label_FF_85", pContent);
    m_pSnapshotPathSel = createPathSelector();
    m_pOpenSnapPathBtn = makeButton("OpenFolder", "BtnStyle1", pContent);
    auto* pSnapRow = new QHBoxLayout;
    pSnapRow->setSpacing(20);
    pSnapRow->addWidget(m_pSnapshotPathSel);
    pSnapRow->addWidget(m_pOpenSnapPathBtn);
    pSnapRow->addStretch(1);
    pForm->addRow(m_pManualSnapshotPathLabel, pSnapRow);

    m_pManualRecordPathLabel = makeLabel("Manual Record Path", "Label_FF_85", pContent);
    m_pRecordPathSel = createPathSelector();
    m_pOpenRecordPathBtn = makeButton("OpenFolder", "BtnStyle1", pContent);
    auto* pRecordRow = new QHBoxLayout;
    pRecordRow->setSpacing(20);
    pRecordRow->addWidget(m_pRecordPathSel);
    pRecordRow->addWidget(m_pOpenRecordPathBtn);
    pRecordRow->addStretch(1);
    pForm->addRow(m_pManualRecordPathLabel, pRecordRow);

    m_pLanguageLabel = makeLabel("Language", "Label_FF_85", pContent);
    m_pCNRadioButton = new QRadioButton(langText("LanguageCn"), pContent);
    m_pCNRadioButton->setObjectName("CNRadioButton");
    m_pENRadioButton = new QRadioButton(langText("LanguageEn"), pContent);
    m_pENRadioButton->setObjectName("ENRadioButton");
    m_pLanguageGroup = new QButtonGroup(this);
    m_pLanguageGroup->setExclusive(true);
    m_pLanguageGroup->addButton(m_pCNRadioButton, 0);
    m_pLanguageGroup->addButton(m_pENRadioButton, 1);
    auto* pLangRow = new QHBoxLayout;
    pLangRow->setSpacing(20);
    pLangRow->addWidget(m_pCNRadioButton);
    pLangRow->addWidget(m_pENRadioButton);
    pLangRow->addStretch(1);
    pForm->addRow(m_pLanguageLabel, pLangRow);

    pMainLayout->addWidget(pContent);
    // Alarm rules below the general settings; the page saves them with its own button.
    pMainLayout->addWidget(new QAlarmRulesPage(this), 1);

    m_pCtrlWidget = new QWidget(this);
    m_pCtrlWidget->setObjectName("ctrlWidget");
    m_pCtrlWidget->setFixedHeight(64);
    auto* pCtrlLayout = new QVBoxLayout(m_pCtrlWidget);
    pCtrlLayout->setContentsMargins(0, 0, 0, 0);
    pCtrlLayout->setSpacing(0);
    m_pDivideLine = new QLabel(m_pCtrlWidget);
    m_pDivideLine->setObjectName("divideLine_2");
    m_pDivideLine->setFixedHeight(1);
    pCtrlLayout->addWidget(m_pDivideLine);
    auto* pBtnRow = new QHBoxLayout;
    pBtnRow->setContentsMargins(40, 0, 40, 0);
    pBtnRow->setSpacing(20);
    m_pOkBtn = makeButton("OK", "BtnStyle1", m_pCtrlWidget);
    m_pDefaultBtn = makeButton("Default", "BtnStyle2", m_pCtrlWidget);
    pBtnRow->addStretch(1);
    pBtnRow->addWidget(m_pOkBtn);
    pBtnRow->addWidget(m_pDefaultBtn);
    pCtrlLayout->addLayout(pBtnRow, 1);
    pMainLayout->addWidget(m_pCtrlWidget);

    connect(m_pOkBtn, SIGNAL(clicked()), this, SLOT(setOkBtnSlots()));
    connect(m_pDefaultBtn, SIGNAL(clicked()), this, SLOT(setDefaultBtnSlots()));
    connect(m_pSnapshotPathSel, SIGNAL(sendSelBtnClickedSignals()), this, SLOT(setManualSnapshotPathSelSlots()));
    connect(m_pRecordPathSel, SIGNAL(sendSelBtnClickedSignals()), this, SLOT(setManualRecordPathSelSlots()));
    connect(m_pOpenSnapPathBtn, SIGNAL(clicked()), this, SLOT(setOpenSnapPathBtnSlots()));
    connect(m_pOpenRecordPathBtn, SIGNAL(clicked()), this, SLOT(setOpenRecordPathBtnSlots()));

    loadValues();
}

QSelLineEdit* QSettingsDlg::createPathSelector()
{
    auto* pSel = new QSelLineEdit(this);
    pSel->setFixedSize(300, 32);
    pSel->setStyleSheet(kSelectorStyle);
    pSel->setLineEditStyle(kEditStyle);
    pSel->setSelBtnStyle(kSelBtnStyle);
    return pSel;
}

void QSettingsDlg::loadValues()
{
    m_pSnapshotPathSel->setText(ConfigStore::getManualSnapshotPath());
    m_pRecordPathSel->setText(ConfigStore::getManualRecordPath());
    ConfigStore::selectComboByData(m_pTemperUnitCombo, ConfigStore::getTemperUnit());
    const int nLanguage = ConfigStore::getLanguage();
    if (nLanguage == 0)
        m_pCNRadioButton->setChecked(true);
    else if (nLanguage == 1)
        m_pENRadioButton->setChecked(true);
}

bool QSettingsDlg::checkDeviceReady(bool bCheckRecording)
{
    const char* pszRefusal = nullptr;
    if (!UsbCameraLink::instance().bStreaming)
        pszRefusal = "Device is not connect.";
    else if (g_bStandby)
        pszRefusal = "Device is sleeping, please turn off sleep mode";
    else if (bCheckRecording && g_bRecording)
        pszRefusal = "Device is recording.";
    if (!pszRefusal)
        return true;
    QMessageboxDlg::showMessage(this, langText(pszRefusal));
    return false;
}

// The choices apply for this session either way; when Config.ini cannot take them the user
// is told instead of seeing a success, and no language restart is started that could not
// find the new language stored.
bool QSettingsDlg::reportUnsavedSettings()
{
    QSettings* pStore = ConfigStore::config();
    pStore->sync();
    if (pStore->status() == QSettings::NoError)
        return true;
    QTimerMessageboxWidget::showNotice(langText("Save failed"), QTimerMessageboxWidget::Failure, 2000);
    return false;
}

void QSettingsDlg::setOkBtnSlots()
{
    if (!checkDeviceReady(true))
        return;
    ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualSnapshotPath", m_pSnapshotPathSel->text());
    ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualRecordPath", m_pRecordPathSel->text());
    ConfigStore::setValue(ConfigStore::kGeneralGroup, "TemperUnit", m_pTemperUnitCombo->currentData());
    notifyTemperUnitChanged();
    if (!reportUnsavedSettings())
        return;
    const int nLanguage = m_pCNRadioButton->isChecked() ? 0 : (m_pENRadioButton->isChecked() ? 1 : -1);
    if (nLanguage >= 0 && !applyLanguage(nLanguage))
        return;
    QTimerMessageboxWidget::showNotice(langText("Operate succeed"), QTimerMessageboxWidget::Success, 2000);
}

void QSettingsDlg::setDefaultBtnSlots()
{
    if (!checkDeviceReady(false))
        return;
    m_pTemperUnitCombo->setCurrentIndex(0);
    ConfigStore::setValue(ConfigStore::kGeneralGroup, "TemperUnit", m_pTemperUnitCombo->itemData(0));
    notifyTemperUnitChanged();

    // The defaults follow the working directory, which need not be the program's folder.
    const QString qStrSnapshot = QDir::currentPath() + "/Snapshot";
    m_pSnapshotPathSel->setText(qStrSnapshot);
    ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualSnapshotPath", qStrSnapshot);
    const QString qStrRecord = QDir::currentPath() + "/Records";
    m_pRecordPathSel->setText(qStrRecord);
    ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualRecordPath", qStrRecord);
    if (!reportUnsavedSettings())
        return;

    m_pCNRadioButton->setChecked(true);
    m_pENRadioButton->setChecked(false);
    if (!applyLanguage(0))
        return;
    QTimerMessageboxWidget::showNotice(langText("Operate succeed"), QTimerMessageboxWidget::Success, 2000);
}

void QSettingsDlg::setManualSnapshotPathSelSlots() { selectFolder(m_pSnapshotPathSel, "Snapshot Path Too Long"); }

void QSettingsDlg::setManualRecordPathSelSlots() { selectFolder(m_pRecordPathSel, "Record Path Too Long"); }

void QSettingsDlg::selectFolder(QSelLineEdit* pSelector, const char* pszTooLongKey)
{
    const QString qStrStart = pSelector->text();
    const QString qStrDir = dirDialogHook() ? dirDialogHook()(this, qStrStart)
                                            : QFileDialog::getExistingDirectory(this, QString(), qStrStart,
                                                                                QFileDialog::ShowDirsOnly);
    if (qStrDir.isEmpty())
        return;
    if (qStrDir.length() > kMaxPathLength) {
        QTimerMessageboxWidget::showNotice(langText(pszTooLongKey), QTimerMessageboxWidget::Information, 1000);
        return;
    }
    pSelector->setText(qStrDir);
}

void QSettingsDlg::setOpenSnapPathBtnSlots() { openFolder(m_pSnapshotPathSel); }

void QSettingsDlg::setOpenRecordPathBtnSlots() { openFolder(m_pRecordPathSel); }

void QSettingsDlg::openFolder(QSelLineEdit* pSelector)
{
    const QString qStrPath = pSelector->text();
    // A browser that cannot be started is a failure to open as well.
    if (!ConfigStore::ensureDir(qStrPath) || !QDesktopServices::openUrl(QUrl::fromLocalFile(qStrPath)))
        QMessageboxDlg::showMessage(this, langText("Path open failed"));
}

bool QSettingsDlg::applyLanguage(int nLanguage)
{
    if (ConfigStore::getLanguage() == nLanguage)
        return true;
    const int nOldLanguage = ConfigStore::getLanguage();
    ConfigStore::setLanguage(nLanguage);
    // The new instance reads Config.ini at once; it must find the new language there.
    ConfigStore::config()->sync();
    // The new instance starts first: if it cannot, this one keeps running in its language
    // rather than leave the person with no client at all.
    const QString qStrProgram = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    const bool bStarted =
        restartHook() ? restartHook()(qStrProgram) : QProcess::startDetached(qStrProgram, QStringList());
    if (!bStarted) {
        qWarning() << "Language switch: could not start" << qStrProgram;
        ConfigStore::setLanguage(nOldLanguage);
        ConfigStore::config()->sync();
        QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
        return false;
    }
    QMessageboxDlg::showMessage(this, langText("Language switch succeeded.Client will restart automatically."));
    QApplication::closeAllWindows();
    return true;
}

void QSettingsDlg::notifyTemperUnitChanged()
{
    // The live view re-labels its temperatures at once instead of waiting for the next reading.
    if (g_pMainWindow && g_pMainWindow->liveView())
        g_pMainWindow->liveView()->refreshTemperUnit();
}
