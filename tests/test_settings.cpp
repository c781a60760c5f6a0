// The settings module and the settings page: loading, OK and Default with their guards, the
// folder length rule, opening folders, the language switch with its restart, the unit
// reaching the live view, and sub-page switching with its refusals and relays.

#include "support/TestSupport.h"

#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/MainWindow.h"
#include "device/UsbCameraLink.h"
#include "liveview/QVideoPreviewModuleWidget.h"
#include "maintenance/QBadPixelChoose.h"
#include "maintenance/QMeasureParamPage.h"
#include "maintenance/QSettingCtrl.h"
#include "maintenance/QSettingsDlg.h"
#include "maintenance/QUpdate.h"
#include "measure/MeasureSettings.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QSelLineEdit.h"
#include "widgets/QTimerMessageboxWidget.h"
#include "widgets/QUnitLabel.h"

#include <QComboBox>
#include <QDesktopServices>
#include <QDir>
#include <QDoubleSpinBox>
#include <QPushButton>
#include <QRadioButton>
#include <QSettings>
#include <QSignalSpy>
#include <QtTest>
#include <memory>

// Takes the desktop's "open this folder" requests.
class UrlCatcher : public QObject
{
    Q_OBJECT
public:
    QList<QUrl> urls;
public slots:
    void open(const QUrl& url) { urls << url; }
};

namespace {

UsbCameraLink& link() { return UsbCameraLink::instance(); }

QString noticeText() { return QTimerMessageboxWidget::instance()->text(); }

} // namespace

class TestSettings : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<TestSupport::ScopedConfigDir> m_config;
    QStringList m_boxes;          // texts of the modal message boxes, in order
    QStringList m_restarts;       // programs the language switch started
    bool m_bRestartStarts = true; // whether starting them succeeds
    QString m_languageOnDisk;     // "Language" as the new instance would read it
    QString m_oldCwd;

    void storeRaw(const char* key, const QVariant& value)
    {
        ConfigStore::setValue(ConfigStore::kGeneralGroup, key, value);
        ConfigStore::config()->sync();
    }

    QVariant stored(const char* key) { return ConfigStore::value(ConfigStore::kGeneralGroup, key); }

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        loadLanguage(langTable(), 1);
        qRegisterMetaType<int*>("int*");
        qApp->setQuitOnLastWindowClosed(false);
        m_oldCwd = QDir::currentPath();
        QMessageboxDlg::setExecHookForTests([this](QMessageboxDlg& dlg) {
            m_boxes << dlg.text();
            return int(QDialog::Accepted);
        });
        QSettingsDlg::setRestartHookForTests([this](const QString& program) {
            m_restarts << program;
            // Read the file itself: QSettings objects in one process share unsaved changes.
            QFile ini(m_config->iniPath());
            if (ini.open(QIODevice::ReadOnly))
                for (const QByteArray& line : ini.readAll().split('\n'))
                    if (line.trimmed().startsWith("Language="))
                        m_languageOnDisk = QString::fromLatin1(line.trimmed().mid(9));
            return m_bRestartStarts;
        });
    }

    void init()
    {
        m_config.reset(new TestSupport::ScopedConfigDir);
        m_boxes.clear();
        m_restarts.clear();
        m_languageOnDisk.clear();
        link().bStreaming = true;   // guards only read the flag; no command is sent here
        g_bStandby = false;
        g_bRecording = false;
        // The notice is one shared widget: a text an earlier case left must not pass for this one's.
        QTimerMessageboxWidget::instance()->showMessage(QString(), -1, 1);
    }

    void cleanup()
    {
        link().bStreaming = false;
        g_bStandby = false;
        g_bRecording = false;
        QSettingsDlg::setDirDialogHookForTests({});
        QDir::setCurrent(m_oldCwd);
        m_config.reset();
    }

    void cleanupTestCase()
    {
        QMessageboxDlg::setExecHookForTests({});
        QSettingsDlg::setRestartHookForTests({});
    }

    void loadsStoredValues()
    {
        storeRaw("ManualSnapshotPath", "/data/snaps");
        storeRaw("ManualRecordPath", "/data/records");
        storeRaw("TemperUnit", 2);
        storeRaw("Language", 1);
        QSettingsDlg page;
        QCOMPARE(page.snapshotPathSelector()->text(), QString("/data/snaps"));
        QCOMPARE(page.recordPathSelector()->text(), QString("/data/records"));
        QCOMPARE(page.temperUnitComboBox()->count(), 3);
        QCOMPARE(page.temperUnitComboBox()->currentData().toInt(), 2);
        QCOMPARE(page.temperUnitComboBox()->itemText(1), QString::fromUtf8("℉"));
        QCOMPARE(page.temperUnitComboBox()->currentText(), QString("Kelvin"));
        QVERIFY(!page.cnRadioButton()->isChecked() && page.enRadioButton()->isChecked());

        storeRaw("Language", 0);
        QSettingsDlg chinese;
        QVERIFY(chinese.cnRadioButton()->isChecked() && !chinese.enRadioButton()->isChecked());

        // Missing folders show the defaults beside Config.ini.
        ConfigStore::config()->remove("GeneralConfig/ManualSnapshotPath");
        QSettingsDlg defaults;
        QCOMPARE(defaults.snapshotPathSelector()->text(), m_config->path() + "/Snapshot");
    }

    // OK and Default refuse without a ready camera and write nothing; Default ignores recording.
    void guardsWriteNothing()
    {
        storeRaw("TemperUnit", 0);
        QSettingsDlg page;
        page.temperUnitComboBox()->setCurrentIndex(1);
        page.snapshotPathSelector()->setText("/elsewhere");

        link().bStreaming = false;
        g_bStandby = true;
        g_bRecording = true;
        page.okButton()->click();
        page.defaultButton()->click();
        link().bStreaming = true;
        page.okButton()->click();
        page.defaultButton()->click();
        g_bStandby = false;
        page.okButton()->click();
        QCOMPARE(m_boxes, QStringList({"Device is not connect.", "Device is not connect.",
                                       "Device is sleeping, please turn off sleep mode",
                                       "Device is sleeping, please turn off sleep mode", "Device is recording."}));
        QCOMPARE(stored("TemperUnit").toInt(), 0);
        QVERIFY(!stored("ManualSnapshotPath").isValid());

        // Recording does not stop Default.
        QVERIFY(noticeText().isEmpty());
        page.defaultButton()->click();
        QCOMPARE(stored("ManualSnapshotPath").toString(), QDir::currentPath() + "/Snapshot");
        QCOMPARE(m_boxes.size(), 5);
        QCOMPARE(noticeText(), QString("Operate succeed"));
    }

    // OK with the stored language: the three settings and the notice, without a restart.
    void okWithoutLanguageChange()
    {
        storeRaw("Language", 1);
        QSettingsDlg page;
        page.snapshotPathSelector()->setText("/new/snaps");
        page.recordPathSelector()->setText("/new/records");
        page.temperUnitComboBox()->setCurrentIndex(1);
        page.okButton()->click();
        QCOMPARE(stored("ManualSnapshotPath").toString(), QString("/new/snaps"));
        QCOMPARE(stored("ManualRecordPath").toString(), QString("/new/records"));
        QCOMPARE(stored("TemperUnit").toInt(), 1);
        QCOMPARE(ConfigStore::convertTemper(100.0f), 212.0f);
        QVERIFY(m_restarts.isEmpty());
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(noticeText(), QString("Operate succeed"));
        QCOMPARE(QTimerMessageboxWidget::instance()->iconPath(), QString(":/Resource/Skin/common_sucess.png"));

        // A stored language other than 0 and 1 checks neither button, and OK applies none.
        storeRaw("Language", 7);
        QSettingsDlg odd;
        QVERIFY(!odd.cnRadioButton()->isChecked() && !odd.enRadioButton()->isChecked());
        odd.okButton()->click();
        QVERIFY(m_restarts.isEmpty());
        QCOMPARE(stored("Language").toInt(), 7);
    }

    // Default with English stored: defaults from the working directory, the restart notice,
    // Chinese stored (and on disk before the new instance starts), windows closed, new process.
    void defaultSwitchesLanguageAndRestarts()
    {
        QTemporaryDir cwd;
        QVERIFY(QDir::setCurrent(cwd.path()));
        storeRaw("Language", 1);
        storeRaw("TemperUnit", 1);
        auto* pPage = new QSettingsDlg;
        pPage->setAttribute(Qt::WA_DeleteOnClose, false);
        pPage->show();
        QVERIFY(QTest::qWaitForWindowExposed(pPage));

        pPage->defaultButton()->click();
        QCOMPARE(stored("TemperUnit").toInt(), 0);
        QCOMPARE(pPage->temperUnitComboBox()->currentIndex(), 0);
        QCOMPARE(stored("ManualSnapshotPath").toString(), QDir::currentPath() + "/Snapshot");
        QCOMPARE(stored("ManualRecordPath").toString(), QDir::currentPath() + "/Records");
        QVERIFY(stored("ManualRecordPath").toString().startsWith(cwd.path()) ||
                stored("ManualRecordPath").toString().startsWith(QDir(cwd.path()).canonicalPath()));
        QCOMPARE(pPage->recordPathSelector()->text(), stored("ManualRecordPath").toString());
        QVERIFY(pPage->cnRadioButton()->isChecked() && !pPage->enRadioButton()->isChecked());
        QCOMPARE(m_boxes, QStringList({"Language switch succeeded. Client will restart automatically."}));
        QCOMPARE(stored("Language").toInt(), 0);
        QCOMPARE(m_languageOnDisk, QString("0"));
        QCOMPARE(m_restarts, QStringList({QDir::toNativeSeparators(QCoreApplication::applicationFilePath())}));
        QVERIFY(!pPage->isVisible());   // every window was closed
        delete pPage;

        // Pressing Default again changes no language: no second restart.
        QSettingsDlg again;
        again.defaultButton()->click();
        QCOMPARE(m_restarts.size(), 1);

        // A new process that does not start: this one keeps running in its language, with the
        // failure notice instead of the promise of a restart.
        m_bRestartStarts = false;
        storeRaw("Language", 1);
        again.show();
        again.defaultButton()->click();
        m_bRestartStarts = true;
        QCOMPARE(m_restarts.size(), 2);
        QCOMPARE(stored("Language").toInt(), 1);
        QVERIFY(again.isVisible());
        QCOMPARE(m_boxes.size(), 1);
        QCOMPARE(noticeText(), QString("Operate failed"));
    }

    // A unit confirmed on the settings page shows at once on the live view's labels.
    void unitReachesLiveView()
    {
        storeRaw("TemperUnit", 0);
        MainWindow window;
        QVideoPreviewModuleWidget* pLive = window.liveView();
        QSettingsDlg* pPage = window.settingCtrl()->settingsPage();
        QVERIFY(pLive && pPage);
        const QString celsius = ConfigStore::getTemperUnitText();
        QCOMPARE(pLive->topHoverLabel()->unitText(), celsius);

        pPage->temperUnitComboBox()->setCurrentIndex(1);
        pPage->okButton()->click();
        const QString fahrenheit = ConfigStore::getTemperUnitText();
        QVERIFY(fahrenheit != celsius);
        QCOMPARE(pLive->topHoverLabel()->unitText(), fahrenheit);
        QCOMPARE(pLive->bottomHoverLabel()->unitText(), fahrenheit);

        pPage->defaultButton()->click();
        QCOMPARE(pLive->topHoverLabel()->unitText(), celsius);
        QCOMPARE(pLive->bottomHoverLabel()->unitText(), celsius);
        QVERIFY(m_restarts.isEmpty());
    }

    void folderLengthRule()
    {
        QSettingsDlg page;
        QString answer;
        QString startedAt;
        QSettingsDlg::setDirDialogHookForTests([&](QWidget*, const QString& from) {
            startedAt = from;
            return answer;
        });
        const QString hundred = "/" + QString(99, QChar('s'));
        QCOMPARE(hundred.size(), 100);

        page.snapshotPathSelector()->setText("/before");
        page.snapshotPathSelector()->selButton()->click();   // cancelled
        QCOMPARE(startedAt, QString("/before"));
        QCOMPARE(page.snapshotPathSelector()->text(), QString("/before"));

        answer = hundred + "x";
        page.snapshotPathSelector()->selButton()->click();
        QCOMPARE(page.snapshotPathSelector()->text(), QString("/before"));
        QCOMPARE(noticeText(), QString("Snapshot path too long"));
        QCOMPARE(QTimerMessageboxWidget::instance()->iconPath(), QString(":/Resource/Skin/common_info.png"));

        answer = hundred;
        page.snapshotPathSelector()->selButton()->click();
        QCOMPARE(page.snapshotPathSelector()->text(), hundred);

        page.recordPathSelector()->setText("/rec");
        answer = hundred + "x";
        page.recordPathSelector()->selButton()->click();
        QCOMPARE(page.recordPathSelector()->text(), QString("/rec"));
        QCOMPARE(noticeText(), QString("Record path too long"));
        answer = hundred;
        page.recordPathSelector()->selButton()->click();
        QCOMPARE(page.recordPathSelector()->text(), hundred);

        // Choosing stores nothing until OK.
        QVERIFY(!stored("ManualSnapshotPath").isValid());
        QVERIFY(m_boxes.isEmpty());
    }

    void openFolder()
    {
        UrlCatcher catcher;
        QDesktopServices::setUrlHandler("file", &catcher, "open");
        QSettingsDlg page;
        const QString folder = m_config->path() + "/a/b/snaps";
        page.snapshotPathSelector()->setText(folder);
        page.openSnapPathButton()->click();
        QVERIFY(QDir(folder).exists());
        QCOMPARE(catcher.urls, QList<QUrl>({QUrl::fromLocalFile(folder)}));

        // A folder that cannot be created (its parent is a file) is reported, not opened.
        QFile blocker(m_config->path() + "/blocker");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        page.recordPathSelector()->setText(blocker.fileName() + "/records");
        page.openRecordPathButton()->click();
        QCOMPARE(m_boxes, QStringList({"Failed to open the path."}));
        QCOMPARE(catcher.urls.size(), 1);
        QDesktopServices::unsetUrlHandler("file");
    }

    void subPageSwitching()
    {
        link().bStreaming = false;   // the editor then asks nothing of the camera
        QSettingCtrl ctrl;
        ctrl.show();
        QCOMPARE(ctrl.currentPage(), 2);
        QVERIFY(!ctrl.settingShowButton()->isEnabled());
        QVERIFY(ctrl.badPixelShowButton()->isHidden());
        QVERIFY(ctrl.settingsPage()->isVisible());
        QVERIFY(ctrl.updatePage()->isHidden() && ctrl.badPixelPage()->isHidden());

        ctrl.updateShowButton()->click();
        QCOMPARE(ctrl.currentPage(), 4);
        QVERIFY(ctrl.updatePage()->isVisible() && ctrl.settingsPage()->isHidden());
        QVERIFY(!ctrl.updateShowButton()->isEnabled() && ctrl.settingShowButton()->isEnabled());

        // The editor is refused while recording; nothing changes.
        g_bRecording = true;
        ctrl.switchPage(3);
        QCOMPARE(m_boxes, QStringList({"Device is recording."}));
        QCOMPARE(ctrl.currentPage(), 4);
        QVERIFY(ctrl.updatePage()->isVisible() && ctrl.badPixelPage()->isHidden());
        g_bRecording = false;
        ctrl.switchPage(3);
        QCOMPARE(ctrl.currentPage(), 3);
        QCOMPARE(m_boxes, QStringList({"Device is recording.", "Device is not connect."}));   // the editor's own
        QVERIFY(ctrl.badPixelPage()->isVisible() && ctrl.updatePage()->isHidden());
        QVERIFY(!ctrl.badPixelShowButton()->isEnabled() && ctrl.updateShowButton()->isEnabled());

        // Showing the module while recording leaves the editor for the settings page.
        ctrl.hide();
        g_bRecording = true;
        ctrl.show();
        QCOMPARE(ctrl.currentPage(), 2);
        QVERIFY(ctrl.settingsPage()->isVisible() && ctrl.badPixelPage()->isHidden());
        g_bRecording = false;

        // Unknown numbers are only remembered.
        ctrl.switchPage(9);
        QCOMPARE(ctrl.currentPage(), 9);
        QVERIFY(ctrl.settingsPage()->isVisible());
    }

    // The editor's requests go out through the module and its results come back to it; a lost
    // camera clears the editor only while it is the current sub-page.
    void badPixelEditorRelays()
    {
        QSettingCtrl ctrl;
        int nColRequests = 0;
        int nPixelRequests = 0;
        int* pColIndex = nullptr;
        int* pCols = nullptr;
        int* pPixelIndex = nullptr;
        int* pRows = nullptr;
        int* pPixelCols = nullptr;
        connect(&ctrl, &QSettingCtrl::sendGetALLBadColsSignal, this, [&](int* pIndex, int* pCol) {
            ++nColRequests;
            pColIndex = pIndex;
            pCols = pCol;
        });
        connect(&ctrl, &QSettingCtrl::sendGetALLBadPixelsSignal, this, [&](int* pIndex, int* pRow, int* pCol) {
            ++nPixelRequests;
            pPixelIndex = pIndex;
            pRows = pRow;
            pPixelCols = pCol;
        });
        QBadPixelChoose* pEditor = ctrl.badPixelPage();
        pEditor->requestAllBadSet();
        QCOMPARE(nColRequests, 1);
        QCOMPARE(nPixelRequests, 1);
        QVERIFY(pColIndex && pCols && pPixelIndex && pRows && pPixelCols);

        pColIndex[0] = 1;
        pCols[0] = 10;
        pColIndex[1] = 2;
        pCols[1] = 20;
        ctrl.getAllBadColsRetSlot(true, 2, pColIndex, pCols);
        QCOMPARE(pEditor->badColumns().size(), 2);
        QCOMPARE(pEditor->badColumns().at(1).column, 20);

        delete[] pPixelIndex;   // the executor frees the index array
        pRows[0] = 5;
        pPixelCols[0] = 7;
        ctrl.getAllBadPixelsRetSlot(true, 1, pRows, pPixelCols);   // the editor frees both
        QCOMPARE(pEditor->badPixels().size(), 1);
        QCOMPARE(pEditor->badPixels().at(0).x, 7);
        QCOMPARE(pEditor->badPixels().at(0).y, 5);

        ctrl.clearBadPixelPage();   // settings page is current: nothing happens
        QCOMPARE(pEditor->badColumns().size(), 2);
        link().bStreaming = false;
        ctrl.switchPage(3);
        ctrl.clearBadPixelPage();
        QVERIFY(pEditor->badColumns().isEmpty() && pEditor->badPixels().isEmpty());
    }

    // The upgrade page's lock reaches the main window and stops the sub-page switches.
    void upgradeLock()
    {
        QSettingCtrl ctrl;
        ctrl.show();
        QSignalSpy relayed(&ctrl, &QSettingCtrl::SendDisableBtnSignal);
        ctrl.updateShowButton()->click();
        emit ctrl.updatePage()->SendDisableBtnSignal(true);
        QVERIFY(ctrl.isUpgradeLocked());
        QCOMPARE(relayed.size(), 1);
        QCOMPARE(relayed.at(0).at(0).toBool(), true);

        ctrl.settingShowButton()->click();
        QMetaObject::invokeMethod(&ctrl, "setBadPixelDlgShowSlots");
        QCOMPARE(m_boxes, QStringList({"The interface cannot be switched during the upgrade",
                                       "The interface cannot be switched during the upgrade"}));
        QCOMPARE(ctrl.currentPage(), 4);
        QVERIFY(ctrl.updatePage()->isVisible());

        emit ctrl.updatePage()->SendDisableBtnSignal(false);
        QCOMPARE(relayed.last().at(0).toBool(), false);
        ctrl.settingShowButton()->click();
        QCOMPARE(ctrl.currentPage(), 2);
        QCOMPARE(m_boxes.size(), 2);

        QSignalSpy title(&ctrl, &QSettingCtrl::sendTitleStatusChangeSignals);
        emit ctrl.updatePage()->sendTitleStatusChangeSignals();
        QCOMPARE(title.size(), 1);
    }

    void relaysAndResults()
    {
        QSettingCtrl ctrl;
        QSignalSpy getCols(&ctrl, &QSettingCtrl::sendGetALLBadColsSignal);
        QSignalSpy getPixels(&ctrl, &QSettingCtrl::sendGetALLBadPixelsSignal);
        QSignalSpy setPixels(&ctrl, &QSettingCtrl::sendSetAllBadPixelsSignal);
        QSignalSpy setCols(&ctrl, &QSettingCtrl::sendSetAllBadColsSignal);
        QSignalSpy save(&ctrl, &QSettingCtrl::sendSaveAllBadSetSignal);
        int a[4] = {}, b[4] = {}, c[4] = {};

        // Requests with a missing array are dropped; complete ones pass unchanged.
        ctrl.getAllBadColsSlot(a, nullptr);
        ctrl.getAllBadPixelsSlot(a, b, nullptr);
        ctrl.setAllBadPixelsSlot(3, nullptr, b);
        ctrl.setAllBadColsSlot(3, a, nullptr);
        QVERIFY(getCols.isEmpty() && getPixels.isEmpty() && setPixels.isEmpty() && setCols.isEmpty());
        ctrl.getAllBadColsSlot(a, b);
        ctrl.getAllBadPixelsSlot(a, b, c);
        ctrl.setAllBadPixelsSlot(0, b, c);
        ctrl.setAllBadColsSlot(2, a, c);
        ctrl.saveAllSetSlot();
        QCOMPARE(getCols.size(), 1);
        QCOMPARE(getPixels.size(), 1);
        QCOMPARE(setPixels.size(), 1);
        QCOMPARE(setPixels.at(0).at(0).toInt(), 0);   // an empty table is still written
        QCOMPARE(setCols.size(), 1);
        QCOMPARE(setCols.at(0).at(0).toInt(), 2);
        QCOMPARE(save.size(), 1);

        ctrl.setAllBadColsRetSlot(true);
        QCOMPARE(noticeText(), QString("Operate succeed"));
        ctrl.saveAllBadSetRetSlot(false);
        QCOMPARE(noticeText(), QString("Operate failed"));
        QCOMPARE(QTimerMessageboxWidget::instance()->iconPath(), QString(":/Resource/Skin/common_fail.png"));
    }

    // The parameters page: a material preset sets the emissivity, OK stores both values and the
    // snapshot choice, Default returns to 1.00 / 20 with nothing drawn into snapshots.
    void measurementParametersPage()
    {
        QSettingCtrl ctrl;
        ctrl.paramsShowButton()->click();
        QCOMPARE(ctrl.currentPage(), int(QSettingCtrl::PageParams));
        QMeasureParamPage* pPage = ctrl.paramsPage();
        QVERIFY(pPage->isVisibleTo(&ctrl) && !ctrl.settingsPage()->isVisibleTo(&ctrl));
        QCOMPARE(pPage->emissivityBox()->value(), 1.0);
        const int nSteel = pPage->materialCombo()->findText(langText("Steel (0.79)"));
        QVERIFY(nSteel > 0);
        pPage->materialCombo()->setCurrentIndex(nSteel);
        emit pPage->materialCombo()->activated(nSteel);
        QCOMPARE(pPage->emissivityBox()->value(), 0.79);
        pPage->reflectedBox()->setValue(35.5);
        pPage->showRulesButton()->setChecked(true);
        pPage->okButton()->click();
        QCOMPARE(stored("Emissivity").toDouble(), 0.79);
        QCOMPARE(stored("ReflexTemper").toDouble(), 35.5);
        QCOMPARE(stored("ShowRules").toInt(), 1);
        QCOMPARE(Measure::loadEmissivity().correct(65.0), Measure::Emissivity({0.79, 35.5}).correct(65.0));
        pPage->defaultButton()->click();
        QCOMPARE(pPage->emissivityBox()->value(), 1.0);
        QVERIFY(Measure::loadEmissivity().isIdentity());
        QCOMPARE(stored("ShowRules").toInt(), 0);
    }
};

QTEST_MAIN(TestSettings)
#include "test_settings.moc"
