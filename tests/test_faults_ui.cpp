// Faults a person meets in the window: the camera pulled while recording or while firmware is
// written, two quick connect presses, and the window closed while a connect, a recording or
// an upgrade runs. Each case names what the user must see and that nothing is lost or hangs.
#include "test_liveview_support.h"

#include "app/QTitleWidget.h"
#include "device/QDevInfo.h"
#include "device/QDeviceInfoModule.h"
#include "maintenance/FirmwareImage.h"
#include "maintenance/QSettingCtrl.h"
#include "maintenance/QUpdate.h"
#include "maintenance/UpdateExec.h"
#include "support/MediaProbe.h"
#include "video/QVideoPlay.h"
#include "video/RecordSupport.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QSelLineEdit.h"

#include <QDirIterator>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QWindow>

using namespace LiveViewTest;

namespace {

SimCamera& sim() { return SimCamera::instance(); }

const QString kUnplugPrompt = "Connection lost, please check:\r\nWhether the data cable is properly connected.";

QStringList recordings(const QString& qStrDir)
{
    QStringList files;
    QDirIterator it(qStrDir, {"*.mp4"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        files << it.next();
    files.sort();
    return files;
}

} // namespace

class TestFaultsUi : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::ScopedConfigDir> m_pConfig;
    std::unique_ptr<QTemporaryDir> m_pFiles;
    std::unique_ptr<MainWindow> m_pWindow;

    QVideoPreviewModuleWidget* page() const { return m_pWindow->liveView(); }
    QString recordDir() const { return m_pFiles->path() + "/rec"; }

    bool connectCamera()
    {
        QTest::mouseClick(page()->connectButton(), Qt::LeftButton);
        return QTest::qWaitFor([this] { return page()->m_bConnected && page()->videoPlay()->isStreamAlive(); },
                               20000);
    }

    // Starts a recording with the button and lets some frames reach it.
    bool startRecording()
    {
        QTest::mouseClick(page()->recordButton(), Qt::LeftButton);
        if (!QTest::qWaitFor([this] { return page()->m_bRecording; }, 5000))
            return false;
        const quint64 nStart = sim().frameNumber();
        return QTest::qWaitFor([nStart] { return sim().frameNumber() >= nStart + 20; }, 10000);
    }

    // The upgrade page shown, with a generated firmware file of nBytes of image in its field.
    QUpdate* prepareUpgrade(qint64 nBytes, bool bBreakCrc = false)
    {
        Firmware::BuildOptions o;
        o.image = Firmware::patternImage(nBytes, 3);
        o.bBreakCrc = bBreakCrc;
        const QString qStrPath = m_pFiles->filePath("fw.bin");
        QFile f(qStrPath);
        if (!f.open(QIODevice::WriteOnly) || f.write(Firmware::buildFile(o)) < 0)
            return nullptr;
        f.close();
        QTest::mouseClick(page()->navButton(1), Qt::LeftButton);
        QTest::mouseClick(m_pWindow->settingCtrl()->updateShowButton(), Qt::LeftButton);
        QUpdate* pUpdate = m_pWindow->settingCtrl()->updatePage();
        pUpdate->worker()->setPollIntervalMs(5);
        pUpdate->fileSelector()->setText(qStrPath);
        return pUpdate;
    }

private slots:
    void initTestCase() { initLiveViewTests(); }

    void init()
    {
        m_pConfig = std::make_unique<TestSupport::ScopedConfigDir>();
        m_pFiles = std::make_unique<QTemporaryDir>();
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualRecordPath", recordDir());
        RecordSupport::setFreeSpaceQuery([](const QString&, quint64* pn) {
            *pn = quint64(100) << 30;
            return true;
        });
        sim().reset();
        sim().setRestartDurationMs(100);
        sim().setInstallDurationMs(100);
        m_pWindow = makeMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    }

    void cleanup()
    {
        MessageRecorder::installFailSafeHook();
        if (m_pWindow && m_pWindow->titleWidget()->isUpgrading()) {
            // Let a running upgrade end before the window goes.
            sim().setInstallDurationMs(0);
            QTRY_VERIFY_WITH_TIMEOUT(!m_pWindow->titleWidget()->isUpgrading(), 30000);
        }
        m_pWindow.reset();
        RecordSupport::setFreeSpaceQuery({});
        resetFlags();
        sim().reset();
        m_pConfig.reset();
        m_pFiles.reset();
    }

    void twoQuickConnectPressesConnectOnce()
    {
        MessageRecorder messages;
        QSignalSpy connects(page(), SIGNAL(ConnectDevSignal()));
        QSignalSpy results(m_pWindow->commExec(), SIGNAL(sendDevConnectRetSignal(int, bool)));
        // Both presses go through the window system, as a person's would, so the connecting
        // box's modality applies to the second.
        QWindow* pWindow = m_pWindow->windowHandle();
        QWidget* pButton = page()->connectButton();
        const QPoint at = pButton->mapTo(m_pWindow.get(), pButton->rect().center());
        QTest::mouseClick(pWindow, Qt::LeftButton, Qt::NoModifier, at);
        QTest::mouseClick(pWindow, Qt::LeftButton, Qt::NoModifier, at);
        QTRY_VERIFY_WITH_TIMEOUT(page()->m_bConnected, 20000);
        QTest::qWait(300);
        QCOMPARE(connects.count(), 1);
        QCOMPARE(messages.texts(), QStringList());
        QVERIFY(page()->m_bConnected);
        QVERIFY(m_pWindow->titleWidget()->isOnline());
        QTRY_VERIFY_WITH_TIMEOUT(page()->videoPlay()->isStreamAlive(), 10000);
        // The last result is the successful end of the only sequence.
        QVERIFY(!results.isEmpty());
        QCOMPARE(results.last().at(1).toBool(), true);
    }

    void unplugWhileRecordingLeavesAPlayableFile()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        QVERIFY(startRecording());
        sim().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!page()->m_bConnected, 10000);
        QCOMPARE(messages.texts(), QStringList({kUnplugPrompt}));
        QVERIFY(!page()->m_bRecording);
        QVERIFY(!g_bRecording);
        QTRY_VERIFY_WITH_TIMEOUT(!page()->videoPlay()->isRecording(), 5000);
        const QStringList files = recordings(recordDir());
        QCOMPARE(files.size(), 1);
        const TestSupport::MediaInfo info = TestSupport::probeMedia(files.first());
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QCOMPARE(info.nDecodeErrors, 0);
        QVERIFY2(info.nFrameCount >= 3, qPrintable(QString::number(info.nFrameCount)));
    }

    void unplugWhileWritingFirmwareFailsAndUnlocks()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        QUpdate* pUpdate = prepareUpgrade(6 * Firmware::kChunkSize);
        QVERIFY(pUpdate);
        // The cable goes once the first chunk is through, on the worker's own thread.
        connect(pUpdate->worker(), &UpdateExec::Task_SetProgress, pUpdate->worker(),
                [](int nOffset, int) {
                    if (nOffset == Firmware::kChunkSize)
                        sim().unplug();
                },
                Qt::DirectConnection);
        QTest::mouseClick(pUpdate->updateButton(), Qt::LeftButton);
        QVERIFY(m_pWindow->titleWidget()->isUpgrading());
        QTRY_VERIFY_WITH_TIMEOUT(!pUpdate->isUpgrading(), 30000);
        QVERIFY2(pUpdate->statusLabel()->text().startsWith("Upgrade Fail."), qPrintable(pUpdate->statusLabel()->text()));
        QCOMPARE(sim().installCount(), 0);
        QVERIFY(!m_pWindow->titleWidget()->isUpgrading());
        QTRY_VERIFY_WITH_TIMEOUT(!page()->m_bConnected, 10000);
        QVERIFY(!messages.texts().contains("The upgrade is complete, the device is disconnected, please reconnect."));
        // The client is unlocked: it can be closed.
        QTest::mouseClick(m_pWindow->titleWidget()->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
        QVERIFY(!m_pWindow->isVisible());
    }

    void closingDuringConnectShutsDownCleanly()
    {
        page()->setConnectProgressInterval(50);
        QTest::mouseClick(page()->connectButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(UsbCameraLink::instance().bStreaming, 10000);
        QVERIFY(!page()->m_bConnected);
        QPointer<QVideoPlay> pPlay = page()->videoPlay();
        QTest::mouseClick(m_pWindow->titleWidget()->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
        QVERIFY(!m_pWindow->isVisible());
        m_pWindow.reset();
        QVERIFY(pPlay.isNull());
        QVERIFY(!UsbCameraLink::instance().bStreaming);
        QVERIFY(!sim().isStreaming());
        // A new window finds the camera free.
        m_pWindow = makeMainWindow();
        QVERIFY(connectCamera());
    }

    void closingDuringRecordingFinishesTheFile()
    {
        QVERIFY(connectCamera());
        QVERIFY(startRecording());
        QPointer<QVideoPlay> pPlay = page()->videoPlay();
        QTest::mouseClick(m_pWindow->titleWidget()->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
        m_pWindow.reset();
        QVERIFY(pPlay.isNull());
        QVERIFY(!UsbCameraLink::instance().bStreaming);
        const QStringList files = recordings(recordDir());
        QCOMPARE(files.size(), 1);
        const TestSupport::MediaInfo info = TestSupport::probeMedia(files.first());
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QCOMPARE(info.nDecodeErrors, 0);
        QVERIFY2(info.nFrameCount >= 3, qPrintable(QString::number(info.nFrameCount)));
    }

    // However the close comes (title bar button, the window system), it is refused while
    // firmware is written.
    void closingDuringUpgradeIsRefused()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        sim().setInstallDurationMs(600000);
        QUpdate* pUpdate = prepareUpgrade(2 * Firmware::kChunkSize);
        QVERIFY(pUpdate);
        QTest::mouseClick(pUpdate->updateButton(), Qt::LeftButton);
        QVERIFY(pUpdate->isUpgrading());

        // Every control that would reach the camera or leave the page answers the same way.
        messages.clear();
        QSignalSpy commands(page(), SIGNAL(sendSetFFCModeSignal()));
        QSignalSpy restarts(m_pWindow->deviceInfoModule(), SIGNAL(ReconnectDeviceSignals()));
        const QList<QPushButton*> controls = {page()->navButton(0), page()->navButton(2), page()->connectButton(),
            page()->standbyButton(), page()->imageAdjustButton(), m_pWindow->deviceInfoModule()->page()->restartButton()};
        for (QPushButton* pControl : controls)
            pControl->click();
        QCOMPARE(messages.texts(), QVector<QString>(controls.size(), "Device is upgrading.").toList());
        QCOMPARE(m_pWindow->currentModule(), 1);
        QVERIFY(page()->m_bConnected && !page()->m_bStandby && commands.isEmpty() && restarts.isEmpty());

        messages.clear();
        QTest::mouseClick(m_pWindow->titleWidget()->findChild<QPushButton*>("CloseBtn"), Qt::LeftButton);
        QVERIFY(m_pWindow->isVisible());
        QVERIFY(!m_pWindow->close());
        QVERIFY(m_pWindow->isVisible());
        QApplication::closeAllWindows();
        QVERIFY(m_pWindow->isVisible());
        QVERIFY(pUpdate->isUpgrading());
        QCOMPARE(messages.texts(), QStringList({"Upgrading, unable to shut down client.", "Upgrading, unable to shut down client.",
                                                "Upgrading, unable to shut down client."}));

        sim().setInstallDurationMs(0);
        QTRY_COMPARE_WITH_TIMEOUT(pUpdate->statusLabel()->text(), QString("Upgrade success!"), 30000);
        QVERIFY(m_pWindow->close());
    }

    void firmwareFailingItsChecksLeavesTheCameraStreaming()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        QUpdate* pUpdate = prepareUpgrade(Firmware::kChunkSize, true);
        QVERIFY(pUpdate);
        QTest::mouseClick(pUpdate->updateButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(!pUpdate->isUpgrading(), 30000);
        QCOMPARE(pUpdate->statusLabel()->text(), QString("Upgrade Fail.File verification error."));
        QVERIFY(!m_pWindow->titleWidget()->isUpgrading());
        const quint64 nFrame = sim().frameNumber();
        QTRY_VERIFY_WITH_TIMEOUT(sim().frameNumber() > nFrame + 10, 10000);
        QVERIFY(page()->m_bConnected && UsbCameraLink::instance().bStreaming && m_pWindow->titleWidget()->isOnline());
        QVERIFY(page()->videoPlay()->isStreamAlive());
        QCOMPARE(messages.texts(), QStringList());
    }
};

QTEST_MAIN(TestFaultsUi)
#include "test_faults_ui.moc"
