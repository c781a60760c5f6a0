// Files that are not what the client expects: a Config.ini with nonsense values, one that
// cannot be read or written, missing language files, and a record folder that becomes
// unusable while a recording runs. The client must start, keep working and say what failed.
#include "test_liveview_support.h"

#include "maintenance/QSceneViewCtrl.h"
#include "maintenance/QSettingCtrl.h"
#include "maintenance/QSettingsDlg.h"
#include "support/MediaProbe.h"
#include "video/Palette.h"
#include "video/QVideoPlay.h"
#include "video/RecordSupport.h"
#include "video/SuperResolution.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QTextIconHBtn.h"
#include "widgets/SwitchButton.h"

#include <QComboBox>
#include <QDirIterator>
#include <QImage>
#include <QPushButton>

using namespace LiveViewTest;

namespace {

SimCamera& sim() { return SimCamera::instance(); }

QStringList filesBelow(const QString& qStrDir, const QString& qStrPattern)
{
    QStringList files;
    QDirIterator it(qStrDir, {qStrPattern}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

} // namespace

class TestFaultsFiles : public QObject
{
    Q_OBJECT

    bool connect(MainWindow& w)
    {
        QTest::mouseClick(w.liveView()->connectButton(), Qt::LeftButton);
        return QTest::qWaitFor(
            [&w] { return w.liveView()->m_bConnected && w.liveView()->videoPlay()->isStreamAlive(); }, 20000);
    }

private slots:
    void initTestCase() { initLiveViewTests(); }

    void init()
    {
        sim().reset();
        resetFlags();
    }

    void cleanup()
    {
        MessageRecorder::installFailSafeHook();
        RecordSupport::setFreeSpaceQuery({});
        langTable().clear();
        loadLanguage(langTable(), 1);
        resetFlags();
        sim().reset();
    }

    // Values no version of the client writes: the client starts with sound ones instead.
    void nonsenseConfigValues()
    {
        TestSupport::ScopedConfigDir dir;
        {
            QFile ini(dir.iniPath());
            QVERIFY(ini.open(QIODevice::WriteOnly));
            ini.write("[General]\nDirection=9\nColorization=42\nLanguage=-7\nTemperUnit=abc\nHotPoint=1\n");
        }
        // Start-up takes any language other than English as Chinese.
        langTable().clear();
        loadLanguage(langTable(), ConfigStore::getLanguage());
        QVERIFY(!langTable().isEmpty());
        QCOMPARE(langText("OK"), QString::fromUtf8("确定"));
        langTable().clear();
        loadLanguage(langTable(), 1);

        MessageRecorder messages;
        auto pWindow = makeMainWindow();
        QVideoPreviewModuleWidget* p = pWindow->liveView();
        QCOMPARE(p->m_nDirection, 0);
        QCOMPARE(g_nDirection.load(), 0);
        QCOMPARE(ConfigStore::getTemperUnitText(), QString::fromUtf8("℃"));
        QCOMPARE(pWindow->settingCtrl()->settingsPage()->temperUnitComboBox()->currentIndex(), 0);

        QVERIFY(connect(*pWindow));
        QVERIFY(messages.texts().isEmpty());
        // A live picture and a marker in Celsius, whatever palette number was stored.
        QTRY_VERIFY_WITH_TIMEOUT(p->overlay()->labelText().endsWith(QString::fromUtf8("℃")), 5000);
        const quint64 nFrame = sim().frameNumber();
        QTRY_VERIFY_WITH_TIMEOUT(sim().frameNumber() > nFrame + 5, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(p->videoPlay()->isStreamAlive(), 10000);
        // A palette press brings back a valid palette, stored as such.
        QTest::mouseClick(p->paletteButton(2), Qt::LeftButton);
        QCOMPARE(p->videoPlay()->paletteId(), int(Palette::kIronRed));
        QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "Colorization").toInt(), int(Palette::kIronRed));
        QTest::mouseClick(p->rotationButton(), Qt::LeftButton);
        QCOMPARE(p->m_nDirection, 1);
    }

    // A Config.ini that cannot be read or written (here: a folder stands in its place). The
    // client runs on defaults; saving settings says that it failed.
    void configThatCannotBeReadOrWritten()
    {
        TestSupport::ScopedConfigDir dir;
        QVERIFY(QDir().mkpath(dir.iniPath()));
        QTemporaryDir files;
        MessageRecorder messages;
        auto pWindow = makeMainWindow();
        QVideoPreviewModuleWidget* p = pWindow->liveView();
        QCOMPARE(p->m_nDirection, 0);
        QCOMPARE(p->videoPlay()->paletteId(), 0);
        QVERIFY(connect(*pWindow));
        QVERIFY(messages.texts().isEmpty());

        // A press that stores its choice still works for the session.
        QTest::mouseClick(p->paletteButton(3), Qt::LeftButton);
        QCOMPARE(p->videoPlay()->paletteId(), int(Palette::kRainbow));

        QTest::mouseClick(p->navButton(1), Qt::LeftButton);
        QSettingsDlg* pSettings = pWindow->settingCtrl()->settingsPage();
        pSettings->temperUnitComboBox()->setCurrentIndex(1);
        clearNotice();
        QTest::mouseClick(pSettings->okButton(), Qt::LeftButton);
        QCOMPARE(noticeIcon(), QString(kIconFailure));
        QCOMPARE(noticeText(), langText("Save failed"));
        // The unit still changed for this session.
        QCOMPARE(ConfigStore::getTemperUnit(), 1);
        clearNotice();
        QTest::mouseClick(pSettings->defaultButton(), Qt::LeftButton);
        QCOMPARE(noticeIcon(), QString(kIconFailure));
        // No language restart was asked for that could not be stored.
        QVERIFY(!messages.texts().contains(langText("Language switch succeeded.Client will restart automatically.")));
        QVERIFY(QFileInfo(dir.iniPath()).isDir());
    }

    // The language tables are compiled in; a table file that cannot be found leaves the table
    // empty, and the client starts with empty texts rather than failing.
    void missingLanguageFile()
    {
        TestSupport::ScopedConfigDir dir;
        langTable().clear();
        loadLanguageFile(langTable(), dir.path() + "/no/such/Lang_EN.xml");
        QVERIFY(langTable().isEmpty());
        QVERIFY(langText("OK").isEmpty());

        MessageRecorder messages;
        auto pWindow = makeMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(pWindow.get()));
        QVideoPreviewModuleWidget* p = pWindow->liveView();
        QVERIFY(p->connectButton()->btnText().isEmpty());
        // A refusal still comes, with no words.
        QTest::mouseClick(p->standbyButton(), Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList({QString()}));
        QVERIFY(connect(*pWindow));
    }

    // No model file anywhere: a stored "on" is refused at connect and a click on the switch is
    // refused too, each with the failure notice; the picture keeps coming and a snapshot is
    // still a picture.
    void modelFileMissing()
    {
        TestSupport::ScopedConfigDir dir;
        QTemporaryDir work;
        // The network's own stage, set up from where no model file is.
        setUpscaleStage(nullptr);
        static UpscaleStage missing = upscaleStage();
        missing.setUp = [] { return setUpModel(QDir::temp().filePath("no-such-folder/model.onnx")); };
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualSnapshotPath", work.path() + "/snap");
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "SuperRes", 1);
        setUpscaleStage(&missing);
        MessageRecorder messages;
        auto pWindow = makeMainWindow();
        QVideoPreviewModuleWidget* p = pWindow->liveView();
        const bool bConnected = connect(*pWindow);
        bool bRefused = false;
        const bool bRefusedAtConnect = bConnected && noticeIcon() == QString(kIconFailure) && !p->m_bSuperRes
            && !p->superResButton()->isSelected() && !p->videoPlay()->m_bSuperRes.load();
        if (bConnected) {
            clearNotice();
            QTest::mouseClick(p->superResButton(), Qt::LeftButton);
            bRefused = noticeIcon() == QString(kIconFailure) && !p->m_bSuperRes;
            const quint64 nFrame = sim().frameNumber();
            (void)QTest::qWaitFor([&] { return sim().frameNumber() > nFrame + 10; }, 5000);
            QTest::mouseClick(p->snapshotButton(), Qt::LeftButton);
            (void)QTest::qWaitFor([&] { return !filesBelow(work.path() + "/snap", "*.jpg").isEmpty(); }, 10000);
        }
        const bool bAlive = QTest::qWaitFor([p] { return p->videoPlay()->isStreamAlive(); }, 10000);
        const QStringList snaps = filesBelow(work.path() + "/snap", "*.jpg");
        pWindow.reset();
        setUpscaleStage(&kNoModel);

        QVERIFY(bConnected);
        QVERIFY(!isSuperResolutionAvailable());
        QVERIFY(bRefusedAtConnect);
        QVERIFY(bRefused);
        QVERIFY(bAlive);
        QCOMPARE(snaps.size(), 1);
        QVERIFY(!QImage(snaps.first()).isNull());
        QCOMPARE(messages.texts(), QStringList());
    }

    // The record folder made unusable during a recording: at the next segment the recording
    // stops with its failure and the file written so far plays.
    void recordFolderLostDuringRecording()
    {
        TestSupport::ScopedConfigDir dir;
        QTemporaryDir files;
        const QString qStrRecords = files.path() + "/rec";
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualRecordPath", qStrRecords);
        RecordSupport::setFreeSpaceQuery([](const QString&, quint64* pn) {
            *pn = quint64(100) << 30;
            return true;
        });
        MessageRecorder messages;
        auto pWindow = makeMainWindow();
        QVideoPreviewModuleWidget* p = pWindow->liveView();
        QVERIFY(connect(*pWindow));
        p->videoPlay()->setSegmentLengthMs(1500);

        QTest::mouseClick(p->recordButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bRecording, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(filesBelow(qStrRecords, "*.mp4").size(), 1, 5000);
        const QString qStrFirst = filesBelow(qStrRecords, "*.mp4").first();
        // The open file moves away with its folder; a plain file takes the folder's place.
        const QString qStrDay = QFileInfo(qStrFirst).absolutePath();
        const QString qStrMoved = files.path() + "/moved";
        QVERIFY(QDir().rename(qStrDay, qStrMoved));
        {
            QFile blocker(qStrDay);
            QVERIFY(blocker.open(QIODevice::WriteOnly));
        }
        clearNotice();
        QTRY_VERIFY_WITH_TIMEOUT(!p->videoPlay()->isRecording(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!p->m_bRecording, 5000);
        QVERIFY(!g_bRecording);
        QCOMPARE(noticeIcon(), QString(kIconFailure));

        const QString qStrKept = qStrMoved + "/" + QFileInfo(qStrFirst).fileName();
        const TestSupport::MediaInfo info = TestSupport::probeMedia(qStrKept);
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QCOMPARE(info.nDecodeErrors, 0);
        QVERIFY2(info.nFrameCount >= 3, qPrintable(QString::number(info.nFrameCount)));
        QVERIFY(p->m_bConnected);
    }
};

QTEST_MAIN(TestFaultsFiles)
#include "test_faults_files.moc"
