// The device layer against the simulated camera: connecting through the executor, the
// camera's answers to the command set, command faults on the channel, live frames, and a
// camera unplugged in the middle of a transaction.

#include "device/DeviceCommands.h"
#include "device/QDevCommExec.h"
#include "device/UsbCameraLink.h"
#include "platform/simcam/SimCamera.h"

#include <QSignalSpy>
#include <QtTest>
#include <atomic>
#include <thread>

namespace {

UsbCameraLink& link() { return UsbCameraLink::instance(); }
SimCamera& sim() { return SimCamera::instance(); }

QList<int> connectSteps(const QSignalSpy& spy)
{
    QList<int> out;
    for (const QList<QVariant>& args : spy)
        out << (args.at(1).toBool() ? 100 + args.at(0).toInt() : args.at(0).toInt());
    return out;
}

std::atomic<int> g_nFrames{0};
std::atomic<int> g_nLastWidth{0};
std::atomic<int> g_nLastHeight{0};

void countFrame(unsigned char*, int nWidth, int nHeight, void*)
{
    g_nLastWidth = nWidth;
    g_nLastHeight = nHeight;
    ++g_nFrames;
}

} // namespace

class TestDeviceSimcam : public QObject
{
    Q_OBJECT

    // Connects through the executor; returns the connect steps (success shown as 100 + code).
    QList<int> connectWith(QDevCommExec& exec)
    {
        QSignalSpy spy(&exec, &QDevCommExec::sendDevConnectRetSignal);
        exec.setDevConnectSlot();
        return connectSteps(spy);
    }

private slots:
    void init()
    {
        setCameraLibrary(nullptr);
        link().close();
        sim().setPrivate(true);   // also when started by hand: never reset the machine's camera
        sim().reset();
        sim().setRestartDurationMs(0);
        g_nFrames = 0;
    }
    void cleanup()
    {
        link().close();
        sim().reset();
    }

    void connectsToTheSimulatedCamera()
    {
        QDevCommExec exec;
        exec.setConnectPassInterval(0);
        QCOMPARE(connectWith(exec), QList<int>({3, 2, 100}));
        QVERIFY(link().bStreaming);
        QCOMPARE(link().nWidth, 256);
        QCOMPARE(link().nHeight, 192);
        const SimStreamLayout layout = sim().streamLayout();
        QCOMPARE(link().bDoubleWidth, layout.bDoubleWidth ? 1 : 0);
        int nInitW = 0, nInitH = 0;
        sim().lastInitStreamSize(nInitW, nInitH);
        QCOMPARE(nInitW, layout.nStreamWidth);
        QCOMPARE(nInitH, layout.nStreamHeight);

        QSignalSpy info(&exec, &QDevCommExec::sendGetDeviceInfoRetSignal);
        exec.getDeviveInfoSlot();
        const DeviceInformation rec = info.at(0).at(0).value<DeviceInformation>();
        QCOMPARE(rec.strDevPart, QString::fromStdString(sim().partNumber()));
        QCOMPARE(rec.strDevSn, QString::fromStdString(sim().serialNumber()));
        QCOMPARE(rec.strDevRes, QString("256x192"));
        QCOMPARE(rec.strSwVer, QString::fromLatin1(sim().softwareVersion().data(), 32));

        // Disconnecting stops the camera's stream and session.
        exec.setDevDisconnectSlot();
        QVERIFY(!link().bStreaming);
        QVERIFY(!sim().isOpen());
    }

    void refusedAndMissingCameras()
    {
        QDevCommExec exec;
        exec.setConnectPassInterval(0);
        exec.setConnectPasses(4);

        sim().configure("absent");
        QCOMPARE(connectWith(exec), QList<int>({3, 1}));

        sim().reset();
        sim().configure("part=KRM6400101A1RT1");
        QCOMPARE(connectWith(exec), QList<int>({3, 2, 1}));
        QCOMPARE(link().lastOpenFailure(), UsbCameraLink::OpenFailure::PartNumberRefused);
        QCOMPARE(link().lastPartNumber(), QByteArray("KRM6400101A1RT1"));
        QVERIFY(!link().bStreaming);

        sim().reset();
        sim().configure("part=KRM2560101A1RT");
        QCOMPARE(connectWith(exec), QList<int>({3, 2, 1}));
        QCOMPARE(link().lastOpenFailure(), UsbCameraLink::OpenFailure::PartNumberQuery);

        // Without a format answer an 'R' model streams 512 x 200 rows holding a 256 x 192 image.
        sim().reset();
        sim().configure("noformat");
        QCOMPARE(connectWith(exec), QList<int>({3, 2, 100}));
        int nInitW = 0, nInitH = 0;
        sim().lastInitStreamSize(nInitW, nInitH);
        QCOMPARE(nInitW, 512);
        QCOMPARE(nInitH, 200);
        QCOMPARE(link().bDoubleWidth, 1);
        link().close();

        sim().reset();
        sim().configure("width=512");
        QCOMPARE(connectWith(exec), QList<int>({3, 2, 100}));
        QCOMPARE(link().nWidth, 512);
        QCOMPARE(link().nHeight, 384);
        link().close();

        // Without the format answer the fallback size is not what a 512-wide camera streams.
        sim().reset();
        sim().configure("noformat;width=512");
        QCOMPARE(connectWith(exec), QList<int>({3, 2, 1}));
        QCOMPARE(link().lastOpenFailure(), UsbCameraLink::OpenFailure::StreamInit);
    }

    void liveFramesReachTheConsumer()
    {
        for (const char* config : {"", "noformat", "width=512"}) {
            sim().reset();
            sim().configure(config);
            QDevCommExec exec;
            exec.setConnectPassInterval(0);
            QCOMPARE(connectWith(exec).last(), 100);
            g_nFrames = 0;
            QVERIFY(link().registerStreamCallback(&countFrame, nullptr));
            QTRY_VERIFY(g_nFrames > 2);
            QCOMPARE(g_nLastWidth.load(), link().nWidth);
            QCOMPARE(g_nLastHeight.load(), link().nHeight);
            unsigned char trailer[256];
            QVERIFY(link().copyTrailer(trailer));

            // Malformed deliveries are refused or dropped without reaching the consumer.
            sim().setStreamPaused(true);
            QTest::qWait(100);
            const int nBefore = g_nFrames;
            const SimStreamLayout layout = sim().streamLayout();
            std::vector<unsigned char> shortFrame(static_cast<size_t>(layout.frameBytes() / 2), 0);
            QCOMPARE(sim().deliverRawFrame(shortFrame.data(), static_cast<int>(shortFrame.size())), 0);
            QCOMPARE(sim().deliverRawFrame(nullptr, 100), -1);
            QCOMPARE(sim().deliverRawFrame(shortFrame.data(), 10, 0, 1), -1);
            QCOMPARE(g_nFrames.load(), nBefore);
            QCOMPARE(sim().deliverFrameNow(), 0);
            QCOMPARE(g_nFrames.load(), nBefore + 1);
            link().close();
        }
    }

    void channelFaults()
    {
        QDevCommExec exec;
        exec.setConnectPassInterval(0);
        QCOMPARE(connectWith(exec).last(), 100);
        constexpr int kShortTimeout = 200;

        // Status 22 stops at once.
        sim().clearCommandLog();
        sim().failNext(SimFault::Status22, 1, 0x0C);
        QVERIFY(!sendCommand(link(), 0x0C, nullptr, 0, kShortTimeout));
        QCOMPARE(sim().commandCount(0x0C), uint64_t(1));
        QCOMPARE(link().nLastStatus.load(), uint32_t(22));

        // Dropped replies are retried until one gets through.
        sim().clearCommandLog();
        sim().failNext(SimFault::DropReply, 2, 0x0C);
        QVERIFY(sendCommand(link(), 0x0C, nullptr, 0, kShortTimeout));
        QCOMPARE(sim().commandCount(0x0C), uint64_t(3));

        // A reply to another command, then a good one.
        sim().clearCommandLog();
        sim().failNext(SimFault::WrongCode, 1, 0x0C);
        QVERIFY(sendCommand(link(), 0x0C, nullptr, 0, kShortTimeout));
        QCOMPARE(sim().commandCount(0x0C), uint64_t(2));

        // Corrupt frames fail cleanly, and the channel is usable afterwards.
        sim().failNext(SimFault::BadMagic, 3, 0x0C);
        QVERIFY(!sendCommand(link(), 0x0C, nullptr, 0, kShortTimeout));
        QVERIFY(runFlatFieldCorrection(link()));

        // A frame announcing more data than it carries is rejected, not read beyond.
        sim().clearCommandLog();
        sim().failNext(SimFault::OversizeLength, 1, 0x66);
        QCOMPARE(queryPartNumberText(link()), QString::fromStdString(sim().partNumber()));
        QCOMPARE(sim().commandCount(0x66), uint64_t(2));

        // Every reply split into small frames is still joined correctly.
        sim().setReplyPieceSize(3);
        QCOMPARE(querySoftwareVersionText(link()), QString::fromLatin1(sim().softwareVersion().data(), 32));
        sim().setReplyPieceSize(960);
        QCOMPARE(sim().protocolErrorCount(), uint64_t(0));

        // A channel as real cameras have it: the CRC in a frame of its own, a damaged frame in
        // a reply of several, a reply later than its wait. A table written and read back
        // through all of it holds every entry in its place.
        sim().setSplitCrc(true);
        sim().setReplyPieceSize(5);
        sim().failNext(SimFault::CorruptFrame, 2, 0);
        const int rows[6] = {3, 4, 5, 6, 7, 8}, cols[6] = {1, 3, 5, 7, 9, 11};
        QVERIFY(writeBadPixelTable(link(), 6, rows, cols));
        sim().failNext(SimFault::LateReply, 1, 0);
        int idx[256] = {}, readRows[256] = {}, readCols[256] = {};
        int nCount = 0;
        QVERIFY(readBadPixelTable(link(), 256, idx, readRows, readCols, &nCount));
        QCOMPARE(nCount, 6);
        QVERIFY(std::equal(rows, rows + 6, readRows) && std::equal(cols, cols + 6, readCols));
        sim().setSplitCrc(false);
        sim().setReplyPieceSize(960);
    }

    void cameraAppliesTheCommandSet()
    {
        sim().configure("caps=sr,lowtemp");
        QDevCommExec exec;
        exec.setConnectPassInterval(0);
        QCOMPARE(connectWith(exec).last(), 100);
        QCOMPARE(link().szCapability[8] != 0, true);
        QCOMPARE(link().szCapability[13] != 0, true);

        exec.setSharpnessParamSlot(19);
        QCOMPARE(sim().sharpness(), 255);
        QSignalSpy gain(&exec, &QDevCommExec::sendSetGainModeRetSignal);
        exec.setGainModeSwitchSlot(2);
        QCOMPARE(gain.last().at(0).toBool(), true);
        QCOMPARE(sim().gainMode(), 2);
        QCOMPARE(sim().autoGain(), 0);
        QSignalSpy sr(&exec, &QDevCommExec::sendSetDeviceSuperResModeRetSignal);
        exec.setDeviceSuperResModeSlot(1);
        QCOMPARE(sr.last().at(0).toBool(), true);
        QCOMPARE(sim().superResMode(), 1);

        QSignalSpy setGear(&exec, &QDevCommExec::sendSetLowTempTwoGearRetSignal);
        QSignalSpy getGear(&exec, &QDevCommExec::sendGetLowTempTwoGearRetSignal);
        exec.setLowTempTwoGearSlot(1, 1);
        QCOMPARE(setGear.last().at(0).toBool(), true);
        exec.getLowTempTwoGearSlot();
        QCOMPARE(getGear.last(), QList<QVariant>({true, 1, 1}));

        QVERIFY(sendWorkMode(link(), DeviceCmd::kWorkModeStandby));
        QVERIFY(sim().isSleeping());
        QVERIFY(sendWorkMode(link(), DeviceCmd::kWorkModeRun));
        QVERIFY(!sim().isSleeping());

        // Bad pixel and column tables round-trip through the camera and are saved.
        QSignalSpy setPixels(&exec, &QDevCommExec::sendSetAllBadPixelsRetSignal);
        QSignalSpy getPixels(&exec, &QDevCommExec::sendGetAllBadPixelsRetSignal);
        exec.setAllBadPixelsSlot(3, new int[256]{10, 20, 30}, new int[256]{11, 21, 31});
        QCOMPARE(setPixels.last().at(0).toBool(), true);
        QCOMPARE(sim().badPixels(), std::vector<SimBadPixel>({{11, 10}, {21, 20}, {31, 30}}));
        int* pRows = new int[256]();
        int* pCols = new int[256]();
        exec.getAllBadPixelsSlot(new int[256](), pRows, pCols);
        QCOMPARE(getPixels.last().at(0).toBool(), true);
        QCOMPARE(getPixels.last().at(1).toInt(), 3);
        QCOMPARE(pRows[2], 30);
        QCOMPARE(pCols[2], 31);
        delete[] pRows;
        delete[] pCols;

        QSignalSpy setCols(&exec, &QDevCommExec::sendSetAllBadColsRetSignal);
        int cols[] = {5, 17};
        exec.setAllBadColsSlot(2, nullptr, cols);
        QCOMPARE(setCols.last().at(0).toBool(), true);
        QCOMPARE(sim().badColumns(), std::vector<int>({5, 17}));
        QSignalSpy save(&exec, &QDevCommExec::sendSaveAllBadSetRetSignal);
        exec.saveAllSetSlot();
        QCOMPARE(save.last().at(0).toBool(), true);
        QCOMPARE(sim().savedBadColumns(), std::vector<int>({5, 17}));

        // An empty write clears the table.
        exec.setAllBadColsSlot(0, nullptr, nullptr);
        QCOMPARE(setCols.last().at(0).toBool(), true);
        QVERIFY(sim().badColumns().empty());
    }

    void unplugDuringATransaction()
    {
        QDevCommExec exec;
        exec.setConnectPassInterval(0);
        QCOMPARE(connectWith(exec).last(), 100);

        // The reply to the flat-field correction is held back; the camera leaves meanwhile.
        sim().setSlowReplyMs(60000);
        sim().failNext(SimFault::SlowReply, 1, 0x0C);
        sim().clearCommandLog();
        std::atomic<int> nResult{-1};
        std::thread worker([&nResult] {
            uint8_t nStatus = 0;
            nResult = exchangeCommand(link(), 0x0C, nullptr, 0, &nStatus, nullptr, 0, nullptr, 60000) ? 1 : 0;
        });
        QTRY_COMPARE(sim().commandCount(0x0C), uint64_t(1));
        sim().unplug();
        worker.join();
        QCOMPARE(nResult.load(), 0);

        // The link still believes it streams until it is closed; commands fail quickly.
        QVERIFY(link().bStreaming);
        QVERIFY(!probeDevice(link()));
        QVERIFY(!probeDevice(link()));
        QVERIFY(queryPartNumberText(link()).isEmpty());
        exec.setDevDisconnectSlot();
        QVERIFY(!link().bStreaming);

        // Plugged back in, the camera connects again.
        sim().replug();
        QCOMPARE(connectWith(exec).last(), 100);
    }
};

QTEST_MAIN(TestDeviceSimcam)
#include "test_device_simcam.moc"
