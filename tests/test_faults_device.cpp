// Camera faults as the person at the window meets them: broken, refused, lost and late replies
// to a button's command, the camera pulled while the client connects or while a command waits
// for its reply. The protocol layer's own handling of each fault is tested with the device
// layer; here the question is what the page shows and whether it stays in step with the camera.
#include "test_liveview_support.h"

#include "app/QTitleWidget.h"
#include "device/DeviceCommands.h"
#include "video/QVideoPlay.h"
#include "widgets/QIconTextHBtn.h"

#include <thread>

using namespace LiveViewTest;

namespace {

SimCamera& sim() { return SimCamera::instance(); }

const QString kUnplugPrompt = "Connection lost, please check:\r\nWhether the data cable is properly connected.";

} // namespace

class TestFaultsDevice : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::ScopedConfigDir> m_pConfig;
    std::unique_ptr<MainWindow> m_pWindow;

    QVideoPreviewModuleWidget* page() const { return m_pWindow->liveView(); }

    bool connectCamera()
    {
        if (page()->m_bConnected)
            return true;
        QTest::mouseClick(page()->connectButton(), Qt::LeftButton);
        return QTest::qWaitFor([this] { return page()->m_bConnected && page()->videoPlay()->isStreamAlive(); },
                               20000);
    }

    void pressStandby() { QVERIFY(pressStandbyAndWait(page())); }

private slots:
    void initTestCase()
    {
        initLiveViewTests();
        m_pConfig = std::make_unique<TestSupport::ScopedConfigDir>();
        sim().reset();
        m_pWindow = makeMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    }

    void cleanup()
    {
        MessageRecorder::installFailSafeHook();
        sim().clearFaults();
        if (!sim().isPresent())
            sim().replug();
        if (page()->m_bStandby) {
            QMessageboxDlg::setExecHookForTests([](QMessageboxDlg&) { return int(QDialog::Accepted); });
            pressStandby();
            MessageRecorder::installFailSafeHook();
        }
    }

    void cleanupTestCase()
    {
        m_pWindow.reset();
        QMessageboxDlg::setExecHookForTests({});
        sim().reset();
    }

    // A reply that cannot be used fails the press with its message; the page and the camera
    // agree afterwards, and the next press works.
    void brokenRepliesToAButton_data()
    {
        QTest::addColumn<int>("fault");
        QTest::addColumn<int>("count");
        QTest::addColumn<bool>("commandRuns");   // the camera acts on it although the reply is bad
        QTest::newRow("status 22") << int(SimFault::Status22) << 1 << false;
        QTest::newRow("wrong command code") << int(SimFault::WrongCode) << 3 << false;
        QTest::newRow("bad magic") << int(SimFault::BadMagic) << 3 << true;
        QTest::newRow("length beyond the frame") << int(SimFault::OversizeLength) << 3 << true;
    }
    void brokenRepliesToAButton()
    {
        QFETCH(int, fault);
        QFETCH(int, count);
        QFETCH(bool, commandRuns);
        QVERIFY(connectCamera());
        MessageRecorder messages;
        sim().failNext(SimFault(fault), count, DeviceCmd::kCmdGeneral);
        pressStandby();
        QCOMPARE(messages.texts(), QStringList({langText("Fail to start sleep mode.")}));
        QVERIFY(!page()->m_bStandby);
        QVERIFY(!g_bStandby);
        QVERIFY(!m_pWindow->titleWidget()->isStandby());
        QCOMPARE(sim().isSleeping(), commandRuns);
        QVERIFY(page()->m_bConnected);

        // Nothing of the failure lingers on the channel: standby and wake work and match.
        messages.clear();
        pressStandby();
        QVERIFY(page()->m_bStandby);
        QVERIFY(sim().isSleeping());
        pressStandby();
        QVERIFY(!page()->m_bStandby);
        QVERIFY(!sim().isSleeping());
        QCOMPARE(messages.texts(), QStringList());
    }

    // Frames the camera library hands over broken: none of them reaches the picture or
    // stops the stream.
    void framesOfTheWrongShape()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        sim().setStreamPaused(true);
        const int nGood = 256 * (192 + 4) * 2;
        std::vector<unsigned char> bytes(size_t(nGood) * 3, 0x7F);
        QCOMPARE(sim().deliverRawFrame(nullptr, nGood), -1);
        QCOMPARE(sim().deliverRawFrame(bytes.data(), 0), -1);
        QCOMPARE(sim().deliverRawFrame(bytes.data(), -5), -1);
        QCOMPARE(sim().deliverRawFrame(bytes.data(), nGood, 0, 1), -1);
        QCOMPARE(sim().deliverRawFrame(bytes.data(), nGood, 1, -1), -1);
        sim().deliverRawFrame(bytes.data(), 1);
        sim().deliverRawFrame(bytes.data(), nGood / 2);
        sim().deliverRawFrame(bytes.data(), nGood - 1);
        sim().deliverRawFrame(bytes.data(), int(bytes.size()));
        sim().setStreamPaused(false);
        const quint64 nFrame = sim().frameNumber();
        QTRY_VERIFY_WITH_TIMEOUT(sim().frameNumber() > nFrame + 10, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(page()->videoPlay()->isStreamAlive(), 10000);
        QVERIFY(page()->m_bConnected);
        QCOMPARE(messages.texts(), QStringList());
    }

    // A lost reply, a late one within the wait and one later than the wait: the press succeeds
    // through its retries, and the late reply does not answer a later command: a table read
    // right after it gets every entry in its place.
    void lostAndLateReplies()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;

        sim().failNext(SimFault::DropReply, 1, DeviceCmd::kCmdGeneral);
        pressStandby();
        QVERIFY(page()->m_bStandby);
        QVERIFY(sim().isSleeping());
        pressStandby();
        QVERIFY(!page()->m_bStandby);
        QVERIFY(!sim().isSleeping());

        sim().setSlowReplyMs(300);
        sim().failNext(SimFault::SlowReply, 1, DeviceCmd::kCmdGeneral);
        pressStandby();
        QVERIFY(page()->m_bStandby);
        QVERIFY(sim().isSleeping());
        pressStandby();
        QVERIFY(!page()->m_bStandby);
        QVERIFY(!sim().isSleeping());

        // Later than the wait: the retry takes the late reply, its own reply stays behind.
        std::vector<SimBadPixel> table;
        for (int k = 1; k <= 6; ++k)
            table.push_back({10 * k, 5 * k});
        sim().setBadPixels(table);
        sim().setSlowReplyMs(DeviceCmd::kWorkModeTimeoutMs + 400);
        sim().failNext(SimFault::SlowReply, 1, DeviceCmd::kCmdGeneral);
        pressStandby();
        QVERIFY(page()->m_bStandby);
        QVERIFY(sim().isSleeping());
        QTest::qWait(600);
        int idx[256] = {}, rows[256] = {}, cols[256] = {};
        int nCount = 0;
        QVERIFY(readBadPixelTable(UsbCameraLink::instance(), 256, idx, rows, cols, &nCount));
        QCOMPARE(nCount, 6);
        for (int k = 1; k <= 6; ++k) {
            QCOMPARE(cols[k - 1], 10 * k);
            QCOMPARE(rows[k - 1], 5 * k);
        }
        pressStandby();
        QVERIFY(!page()->m_bStandby);
        QVERIFY(!sim().isSleeping());
        sim().setBadPixels({});
        QCOMPARE(messages.texts(), QStringList());
        QVERIFY(page()->m_bConnected);
    }

    // The camera leaves while the client's connect sequence waits for a reply.
    void unplugDuringTheConnectSequence()
    {
        if (page()->m_bConnected) {
            QMessageboxDlg::setExecHookForTests([](QMessageboxDlg&) { return int(QDialog::Accepted); });
            QTest::mouseClick(page()->connectButton(), Qt::LeftButton);
            QTRY_VERIFY_WITH_TIMEOUT(!page()->m_bConnected, 10000);
        }
        MessageRecorder messages;
        sim().setSlowReplyMs(60000);
        sim().failNext(SimFault::SlowReply, 1, DeviceCmd::kCmdPartNumber);
        sim().clearCommandLog();
        QTest::mouseClick(page()->connectButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(sim().commandCount(DeviceCmd::kCmdPartNumber), uint64_t(1), 10000);
        sim().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!messages.texts().isEmpty(), 10000);
        QTest::qWait(300);
        QVERIFY(!page()->m_bConnected);
        QVERIFY(!m_pWindow->titleWidget()->isOnline());
        QVERIFY(!UsbCameraLink::instance().bStreaming);
        QVERIFY(!page()->connectingDialog()->isVisible());
        for (const QString& text : messages.texts())
            QVERIFY2(text.startsWith(langText("Device connect fail prompt1")) || text == kUnplugPrompt, qPrintable(text));

        // Back on the bus, the next press connects.
        sim().replug();
        messages.clear();
        QVERIFY(connectCamera());
        QCOMPARE(messages.texts(), QStringList());
    }

    // The camera leaves while a button's command waits for its reply: the press fails and the
    // loss is reported.
    void unplugWhileACommandWaits()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        sim().setSlowReplyMs(60000);
        sim().failNext(SimFault::SlowReply, 3, DeviceCmd::kCmdGeneral);
        sim().clearCommandLog();
        std::thread puller([] {
            for (int i = 0; i < 500 && sim().commandCount(DeviceCmd::kCmdGeneral) == 0; ++i)
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            sim().unplug();
        });
        pressStandby();
        puller.join();
        QVERIFY(!page()->m_bStandby);
        QTRY_VERIFY_WITH_TIMEOUT(!page()->m_bConnected, 10000);
        QCOMPARE(messages.texts(), QStringList({langText("Fail to start sleep mode."), kUnplugPrompt}));
        QVERIFY(!UsbCameraLink::instance().bStreaming);
        sim().replug();
    }

    // A command the camera answers only after 30 s holds the channel: the window's event loop
    // keeps answering while standby and the removal probe queue behind it, and closing the
    // window ends within 2 s.
    void theWindowNeverWaitsForTheCamera()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        sim().setSlowReplyMs(30000);
        sim().failNext(SimFault::SlowReply, 1, DeviceCmd::kCmdGeneral);
        sim().clearCommandLog();
        QMetaObject::invokeMethod(m_pWindow->commExec(), "saveAllSetSlot", Qt::QueuedConnection);
        QTRY_COMPARE(sim().commandCount(DeviceCmd::kCmdGeneral, DeviceCmd::kSubBadTables), uint64_t(1));

        qint64 nLongestGap = 0;
        QElapsedTimer gap;
        QTimer tick;
        connect(&tick, &QTimer::timeout, [&] { nLongestGap = std::max(nLongestGap, gap.restart()); });
        gap.start();
        tick.start(10);
        QTest::mouseClick(page()->standbyButton(), Qt::LeftButton);
        page()->handleDeviceChange(false);
        QTest::qWait(400);
        tick.stop();
        QVERIFY2(nLongestGap < 100, qPrintable(QString("the event loop stood still for %1 ms").arg(nLongestGap)));
        QVERIFY(page()->isCameraRequestPending());

        QElapsedTimer closing;
        closing.start();
        m_pWindow.reset();
        QVERIFY2(closing.elapsed() < 2000, qPrintable(QString("closing took %1 ms").arg(closing.elapsed())));
        sim().flushReplies();
        m_pWindow = makeMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    }
};

QTEST_MAIN(TestFaultsDevice)
#include "test_faults_device.moc"
