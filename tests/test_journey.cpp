// One person's whole session through the real main window against the simulated camera:
// connect, palettes, flip, freeze, zoom, a manual temperature window, a snapshot and a short
// recording (both decoded back), standby and wake, a unit change in the settings that the
// marker follows, the device information, a camera restart with reconnection, a firmware
// upgrade of a generated file, disconnect and close. Only real widgets are pressed; waits
// are on the state they change.
#include "test_liveview_support.h"

#include "app/QTitleWidget.h"
#include "device/QDevInfo.h"
#include "device/QDeviceInfoModule.h"
#include "liveview/QMeasureLayer.h"
#include "liveview/QTemperRangeAdjust.h"
#include "liveview/QVideoWndWidget.h"
#include "maintenance/FirmwareImage.h"
#include "maintenance/QSceneViewCtrl.h"
#include "maintenance/QSettingCtrl.h"
#include "maintenance/QSettingsDlg.h"
#include "maintenance/QUpdate.h"
#include "maintenance/UpdateExec.h"
#include "measure/JpegComment.h"
#include "support/MediaProbe.h"
#include "video/Palette.h"
#include "video/QVideoPlay.h"
#include "video/RecordSupport.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QSelLineEdit.h"
#include "widgets/QTextIconHBtn.h"
#include "widgets/SwitchButton.h"

#include <QComboBox>
#include <QDirIterator>
#include <QImage>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>

using namespace LiveViewTest;

namespace {

QStringList filesBelow(const QString& qStrDir, const QString& qStrPattern)
{
    QStringList files;
    QDirIterator it(qStrDir, {qStrPattern}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

SimCamera& sim() { return SimCamera::instance(); }

} // namespace

class TestJourney : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::ScopedConfigDir> m_pConfig;
    QTemporaryDir m_files;

private slots:
    void initTestCase()
    {
        initLiveViewTests();
        QVERIFY(m_files.isValid());
        m_pConfig = std::make_unique<TestSupport::ScopedConfigDir>();
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualSnapshotPath", m_files.path() + "/snap");
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualRecordPath", m_files.path() + "/rec");
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "TemperUnit", 0);
        // The build machine's disk may be smaller than the 5 GiB a recording asks for.
        RecordSupport::setFreeSpaceQuery([](const QString&, quint64* pn) {
            *pn = quint64(100) << 30;
            return true;
        });
        sim().reset();
        sim().setSeed(11);
        sim().setRestartDurationMs(150);
        sim().setInstallDurationMs(600000);   // the install ends when the journey says so
    }

    void cleanupTestCase()
    {
        RecordSupport::setFreeSpaceQuery({});
        QUpdate::setFileDialogHookForTests({});
        QMessageboxDlg::setExecHookForTests({});
        resetFlags();
        sim().reset();
    }

    void wholeJourney()
    {
        MessageRecorder messages;
        auto pWindow = makeMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(pWindow.get()));
        QVideoPreviewModuleWidget* p = pWindow->liveView();
        QTitleWidget* pTitle = pWindow->titleWidget();

        // Connect.
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bConnected, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(p->videoPlay()->isStreamAlive(), 10000);
        QVERIFY(pTitle->isOnline());
        QVERIFY(messages.texts().isEmpty());

        // Each palette reaches the engine and the camera.
        const int ids[4] = {Palette::kWhiteHot, Palette::kBlackHot, Palette::kIronRed, Palette::kRainbow};
        for (int i = 0; i < 4; ++i) {
            QTest::mouseClick(p->paletteButton(i), Qt::LeftButton);
            QCOMPARE(p->videoPlay()->paletteId(), ids[i]);
        }
        QTest::mouseClick(p->paletteButton(2), Qt::LeftButton);

        // Flip through the four directions and back to upright.
        for (int i = 1; i <= 4; ++i) {
            QTest::mouseClick(p->rotationButton(), Qt::LeftButton);
            QCOMPARE(p->m_nDirection, i % 4);
            QCOMPARE(g_nDirection.load(), i % 4);
        }

        // Freeze and thaw.
        QTest::mouseClick(p->freezeButton(), Qt::LeftButton);
        QVERIFY(g_bFreeze);
        QTest::mouseClick(p->freezeButton(), Qt::LeftButton);
        QVERIFY(!g_bFreeze);

        // Zoom in and out.
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(p->zoomUpButton(), Qt::LeftButton);
        QCOMPARE(p->zoomSlider()->value(), 3);
        for (int i = 0; i < 3; ++i)
            QTest::mouseClick(p->zoomDownButton(), Qt::LeftButton);
        QCOMPARE(p->zoomSlider()->value(), 0);

        // A manual temperature window and back to automatic.
        QTemperRangeAdjust* pAdjust = p->rangeAdjust();
        QTest::mouseClick(pAdjust->autoSwitch(), Qt::LeftButton);
        QVERIFY(!pAdjust->isAutoRange());
        QVERIFY(pAdjust->topHandle()->isVisible());
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(p->videoPlay()->isoLow() - pAdjust->lowerTemper()) < 2.0f, 3000);
        QTest::mouseClick(pAdjust->autoSwitch(), Qt::LeftButton);
        QVERIFY(pAdjust->isAutoRange());

        // The hot point marker, in Celsius for now.
        QTest::mouseClick(p->hotPointSwitch(), Qt::LeftButton);
        QVERIFY(p->hotPointSwitch()->isChecked());
        QTRY_VERIFY_WITH_TIMEOUT(p->overlay()->labelText().endsWith(QString::fromUtf8("℃")), 5000);

        // A snapshot: a picture file of the live image appears in today's folder.
        clearNotice();
        QTest::mouseClick(p->snapshotButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!filesBelow(m_files.path() + "/snap", "*.jpg").isEmpty(), 10000);
        const QString qStrSnap = filesBelow(m_files.path() + "/snap", "*.jpg").first();
        QTRY_COMPARE_WITH_TIMEOUT(noticeIcon(), QString(kIconSuccess), 5000);
        const QImage snap(qStrSnap);
        QVERIFY2(!snap.isNull(), qPrintable(qStrSnap));
        QVERIFY(snap.width() >= 256 && snap.height() >= 192);
        QVERIFY2(snap.pixelColor(snap.width() / 2, snap.height() / 2) != snap.pixelColor(5, snap.height() - 5),
                 "the snapshot holds no picture");
        // It carries its temperatures; a rectangle over the whole picture reads the same maximum.
        QFile snapFile(qStrSnap);
        QVERIFY(snapFile.open(QIODevice::ReadOnly));
        SnapshotMeta::Decoded decoded;
        QVERIFY(SnapshotMeta::decode(JpegComment::read(snapFile.readAll()), &decoded, nullptr));
        QVERIFY(decoded.frame.isValid());
        const QJsonObject camera = decoded.meta.value("camera").toObject();
        QCOMPARE(camera.value("serial").toString(), QString::fromStdString(sim().serialNumber()));
        QVERIFY(!camera.value("part").toString().isEmpty());
        const double fSnapMax = decoded.meta.value("scene").toObject().value("max").toDouble();
        QSignalSpy readings(p->measureLayer(), &QMeasureLayer::sendMeasureReadingsSignal);
        QVERIFY(p->measureLayer()->addItem(Measure::ItemKind::Rect, QPoint(0, 0), QPoint(255, 191)));
        QTRY_VERIFY_WITH_TIMEOUT(readings.size() >= 2, 3000);
        const auto items = readings.last().at(0).value<QVector<Measure::MeasureReading>>();
        QVERIFY(items.size() == 1 && std::abs(items[0].fMax - fSnapMax) < 2.0);
        p->measureLayer()->removeAllItems();

        // A short recording that plays back.
        QTest::mouseClick(p->recordButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bRecording, 5000);
        QVERIFY(g_bRecording);
        const quint64 nFrameAtStart = sim().frameNumber();
        QTRY_VERIFY_WITH_TIMEOUT(sim().frameNumber() >= nFrameAtStart + 25, 10000);
        QTest::mouseClick(p->recordButton(), Qt::LeftButton);
        QVERIFY(!p->m_bRecording);
        QVERIFY(!g_bRecording);
        QTRY_VERIFY_WITH_TIMEOUT(!p->videoPlay()->isRecording(), 5000);
        const QStringList records = filesBelow(m_files.path() + "/rec", "*.mp4");
        QCOMPARE(records.size(), 1);
        const TestSupport::MediaInfo media = TestSupport::probeMedia(records.first());
        QVERIFY2(media.bOpened, qPrintable(media.qStrError));
        QCOMPARE(media.qStrCodec, QString("h264"));
        QCOMPARE(media.nDecodeErrors, 0);
        QVERIFY2(media.nFrameCount >= 3, qPrintable(QString::number(media.nFrameCount)));

        // Standby and wake.
        QTest::mouseClick(p->standbyButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bStandby, 5000);
        QVERIFY(sim().isSleeping());
        QVERIFY(pTitle->isStandby());
        QTest::mouseClick(p->standbyButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!p->m_bStandby, 5000);
        QVERIFY(!sim().isSleeping());

        // Settings: Fahrenheit, confirmed with OK; the marker follows.
        QTest::mouseClick(p->navButton(1), Qt::LeftButton);
        QCOMPARE(pWindow->currentModule(), 1);
        QSettingsDlg* pSettings = pWindow->settingCtrl()->settingsPage();
        QVERIFY(pSettings->isVisible());
        pSettings->temperUnitComboBox()->setCurrentIndex(1);
        QTest::mouseClick(pSettings->okButton(), Qt::LeftButton);
        QCOMPARE(ConfigStore::getTemperUnit(), 1);
        QTest::mouseClick(p->navButton(0), Qt::LeftButton);
        QCOMPARE(pWindow->currentModule(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(p->overlay()->labelText().endsWith(QString::fromUtf8("℉")), 5000);

        // Device information, read from the camera.
        QTest::mouseClick(p->navButton(2), Qt::LeftButton);
        QDevInfo* pInfo = pWindow->deviceInfoModule()->page();
        QTRY_COMPARE_WITH_TIMEOUT(pInfo->partValueLabel()->text(), QString::fromStdString(sim().partNumber()), 5000);
        QCOMPARE(pInfo->snValueLabel()->text(), QString::fromStdString(sim().serialNumber()));
        QCOMPARE(pInfo->resValueLabel()->text(), QString("256x192"));
        QVERIFY(!pInfo->swVerValueLabel()->text().isEmpty());

        // Restart of the camera: confirmed, the camera drops off the bus and is connected again.
        messages.clear();
        // The restart notice is a timed modal box: events run while it stands, and it stands
        // until the camera is back (the client's own wait covers the camera's restart time).
        messages.setOnMessage([pTitle](QMessageboxDlg& dlg) {
            if (dlg.text() == "Device has rebooted, reconnecting the device, please wait.")
                (void)QTest::qWaitFor(
                    [pTitle] { return !pTitle->isOnline() && sim().restartCount() == 1 && sim().isPresent(); }, 10000);
        });
        QTest::mouseClick(pInfo->restartButton(), Qt::LeftButton);
        messages.setOnMessage({});
        QCOMPARE(messages.texts(), QStringList({"Are you sure to reboot?",
                                                "Device has rebooted, reconnecting the device, please wait."}));
        QTRY_COMPARE_WITH_TIMEOUT(sim().restartCount(), 1, 5000);
        QTRY_VERIFY2_WITH_TIMEOUT(p->m_bConnected && UsbCameraLink::instance().bStreaming,
                                  qPrintable(messages.texts().join(" | ")), 20000);
        QTRY_VERIFY_WITH_TIMEOUT(pTitle->isOnline(), 5000);

        // Firmware upgrade of a generated file, picked through the file selector.
        Firmware::BuildOptions o;
        o.image = Firmware::patternImage(3 * 1024 + 17, 5);
        const QString qStrFirmware = m_files.filePath("journey.bin");
        {
            QFile f(qStrFirmware);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(Firmware::buildFile(o));
        }
        QTest::mouseClick(p->navButton(1), Qt::LeftButton);
        QTest::mouseClick(pWindow->settingCtrl()->updateShowButton(), Qt::LeftButton);
        QUpdate* pUpdate = pWindow->settingCtrl()->updatePage();
        QVERIFY(pUpdate->isVisible());
        pUpdate->worker()->setPollIntervalMs(5);
        QUpdate::setFileDialogHookForTests([&](QWidget*, const QString&) { return qStrFirmware; });
        QTest::mouseClick(pUpdate->fileSelector()->selButton(), Qt::LeftButton);
        QCOMPARE(pUpdate->fileSelector()->text(), qStrFirmware);
        messages.clear();
        QTest::mouseClick(pUpdate->updateButton(), Qt::LeftButton);
        QVERIFY(pUpdate->isUpgrading());
        QVERIFY(pTitle->isUpgrading());
        // Closing is refused meanwhile.
        QTest::mouseClick(pTitle->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
        QVERIFY(pWindow->isVisible());
        QCOMPARE(messages.last(), QString("Upgrading, unable to shut down client."));
        // Written: the camera holds the file's image and installs it.
        QTRY_COMPARE_WITH_TIMEOUT(pUpdate->statusLabel()->text(), QString("Writing,please wait...."), 30000);
        const std::vector<uint8_t> received = sim().receivedImage();
        QVERIFY(QByteArray(reinterpret_cast<const char*>(received.data()), int(received.size())).endsWith(o.image));
        sim().setInstallDurationMs(0);
        QTRY_COMPARE_WITH_TIMEOUT(pUpdate->statusLabel()->text(), QString("Upgrade success!"), 30000);
        QCOMPARE(sim().installCount(), 1);
        // The camera restarts into its new software; the page may see it leave before the
        // upgrade's end reaches it and then also says that the connection was lost.
        QTRY_VERIFY_WITH_TIMEOUT(
            messages.texts().contains("The upgrade is complete, the device is disconnected, please reconnect."), 5000);
        for (const QString& text : messages.texts())
            QVERIFY2(text == "The upgrade is complete, the device is disconnected, please reconnect."
                         || text == "Upgrading, unable to shut down client."
                         || text == langText("Device connect fail prompt1") + "\r\n"
                                        + langText("Device connect fail prompt2").mid(2),
                     qPrintable(text));
        QVERIFY(!pTitle->isUpgrading());
        QTRY_VERIFY_WITH_TIMEOUT(!p->m_bConnected, 10000);
        QVERIFY(!pTitle->isOnline());

        // Connect once more and disconnect with the button.
        QTest::mouseClick(p->navButton(0), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(sim().isPresent(), 10000);
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bConnected, 20000);
        messages.clear();
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QCOMPARE(messages.texts(), QStringList({"Please confirm whether to disconnect device?"}));
        QTRY_VERIFY_WITH_TIMEOUT(!p->m_bConnected, 10000);
        QVERIFY(!UsbCameraLink::instance().bStreaming);
        QVERIFY(!sim().isStreaming());

        // Close with the title bar's button: the window goes and its threads are joined.
        QPointer<QVideoPlay> pPlay = p->videoPlay();
        QThread* pCommThread = pWindow->commThread();
        QTest::mouseClick(pTitle->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
        QVERIFY(!pWindow->isVisible());
        QVERIFY(pCommThread->isRunning());
        pWindow.reset();
        QVERIFY(pPlay.isNull());
        QCOMPARE(messages.texts(), QStringList({"Please confirm whether to disconnect device?"}));
    }
};

QTEST_MAIN(TestJourney)
#include "test_journey.moc"
