// The command executor's slots and result signals against a scripted camera library: the
// connect sequence, device information, gain, sharpness and the table slots.

#include "device/QDevCommExec.h"
#include "device/UsbCameraLink.h"
#include "test_device_fakelib.h"
#include "video/VideoGlobals.h"

#include <QSignalSpy>
#include <QtTest>

namespace {

UsbCameraLink& link() { return UsbCameraLink::instance(); }

QList<int> steps(const QSignalSpy& spy)
{
    QList<int> out;
    for (const QList<QVariant>& args : spy)
        out << args.at(0).toInt() * (args.at(1).toBool() ? -1 : 1);   // success shown as negative
    return out;
}

} // namespace

class TestDeviceExec : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FakeLib::get().install();
        link().close();
        FakeLib::get().reset();
        g_nFrameWidth = 0;
    }
    void cleanup()
    {
        link().close();
        FakeLib::uninstall();
    }

    void connectSequences()
    {
        FakeLib& f = FakeLib::get();
        QDevCommExec exec;
        QCOMPARE(exec.connectPassInterval(), 1000);
        exec.setConnectPassInterval(0);
        QSignalSpy spy(&exec, &QDevCommExec::sendDevConnectRetSignal);

        // No camera: searching, then giving up after 20 passes; never "found".
        f.bEnumerates = false;
        exec.setDevConnectSlot();
        QCOMPARE(steps(spy), QList<int>({3, 1}));
        QCOMPARE(f.callCount("GetUsbDeviceNum"), 20);
        QVERIFY(!link().bStreaming);

        // A camera that enumerates and opens: found on the first pass, opened on the next.
        spy.clear();
        f.reset();
        f.responder = FakeCamera();
        exec.setDevConnectSlot();
        QCOMPARE(steps(spy), QList<int>({3, 2, 0}));
        QCOMPARE(spy.last().at(1).toBool(), true);
        QCOMPARE(f.callCount("GetUsbDeviceNum"), 1);
        QCOMPARE(f.callCount("OpenUSBCam"), 1);
        QVERIFY(link().bStreaming);
        QCOMPARE(link().nCamID.load(), 7);

        // A camera that is refused is retried on every remaining pass.
        link().close();
        spy.clear();
        f.reset();
        FakeCamera foreign;
        foreign.part = "KRM3840101A1RT1";
        f.responder = foreign;
        exec.setDevConnectSlot();
        QCOMPARE(steps(spy), QList<int>({3, 2, 1}));
        QCOMPARE(f.callCount("OpenUSBCam"), 19);
        QVERIFY(!link().bStreaming);

        // Disconnect reports true whether or not a camera was streaming.
        QSignalSpy disc(&exec, &QDevCommExec::sendDevDisconnectRetSignal);
        exec.setDevDisconnectSlot();
        QCOMPARE(disc.size(), 1);
        QCOMPARE(disc.at(0).at(0).toBool(), true);
    }

    // A camera that enumerates but never answers: the connect ends within its budget and
    // closes what it opened.
    void connectIsBoundedWhateverTheCameraDoes()
    {
        FakeLib& f = FakeLib::get();
        f.bMute = true;
        QDevCommExec exec;
        QCOMPARE(exec.connectBudgetMs(), 20000);
        exec.setConnectPassInterval(100);
        exec.setConnectBudgetMs(1200);
        QSignalSpy spy(&exec, &QDevCommExec::sendDevConnectRetSignal);
        QElapsedTimer timer;
        timer.start();
        exec.setDevConnectSlot();
        QVERIFY2(timer.elapsed() < 2000, qPrintable(QString::number(timer.elapsed())));
        QCOMPARE(steps(spy), QList<int>({3, 2, 1}));
        QCOMPARE(f.callCount("OpenUSBCam"), f.callCount("CloseUSBCam"));

    }

    void deviceInformation()
    {
        FakeLib& f = FakeLib::get();
        QDevCommExec exec;
        exec.setConnectPassInterval(0);
        QSignalSpy spy(&exec, &QDevCommExec::sendGetDeviceInfoRetSignal);

        // Disconnected: a record with every text empty, nothing sent.
        exec.getDeviveInfoSlot();
        QCOMPARE(spy.size(), 1);
        DeviceInformation empty = spy.at(0).at(0).value<DeviceInformation>();
        QVERIFY(empty.strDevPart.isEmpty() && empty.strDevSn.isEmpty() && empty.strDevRes.isEmpty() &&
                empty.strSwVer.isEmpty());
        QCOMPARE(f.sent().size(), size_t(0));

        FakeCamera cam;
        f.responder = [cam](const FakeRequest& r) {
            if (r.nCode == 0x04)
                FakeLib::get().queueReply(0x04, {'T', 'V', '0', '0', '4', '2', 0});
            else if (r.nCode == 0x05) {
                Bytes ver(32, 0);
                std::memcpy(ver.data(), "V1.2.3 A4", 9);
                FakeLib::get().queueReply(0x05, ver);
            } else
                cam(r);
        };
        exec.setDevConnectSlot();
        QVERIFY(link().bStreaming);
        exec.getDeviveInfoSlot();
        QCOMPARE(spy.size(), 2);
        const DeviceInformation info = spy.at(1).at(0).value<DeviceInformation>();
        QCOMPARE(info.bFlag, false);
        QCOMPARE(info.strDevPart, QString("KRM2560101A1RT1"));
        QCOMPARE(info.strDevSn, QString("TV0042"));
        QCOMPARE(info.strDevRes, QString("256x192"));
        QCOMPARE(info.strSwVer.left(9), QString("V1.2.3 A4"));
        QCOMPARE(info.strSwVer.size(), 32);

        // A field that stays empty is asked for three times (each a three-attempt query).
        const auto serialRequests = [&f] {
            const std::vector<FakeRequest> sent = f.sent();
            return std::count_if(sent.begin(), sent.end(), [](const FakeRequest& r) { return r.nCode == 0x04; });
        };
        const auto nSerialBefore = serialRequests();
        f.responder = [cam](const FakeRequest& r) {
            if (r.nCode == 0x04)
                FakeLib::get().queueReply(0x04, {}, 5);
            else
                cam(r);
        };
        exec.getDeviveInfoSlot();
        const auto nSerialAfter = serialRequests();
        QCOMPARE(nSerialAfter - nSerialBefore, 9);
        QVERIFY(spy.last().at(0).value<DeviceInformation>().strDevSn.isEmpty());
        QCOMPARE(spy.last().at(0).value<DeviceInformation>().strDevRes, QString("256x192"));
    }

    void settingSlots()
    {
        FakeLib& f = FakeLib::get();
        QDevCommExec exec;

        // Gain mode: automatic gain off first; a refusal there keeps command 0x0A unsent.
        QSignalSpy gain(&exec, &QDevCommExec::sendSetGainModeRetSignal);
        f.responder = [](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, {r.payload[0]}, 22); };
        exec.setGainModeSwitchSlot(1);
        QCOMPARE(gain.last().at(0).toBool(), false);
        QCOMPARE(f.sent().size(), size_t(1));
        QCOMPARE(f.sent()[0].payload, Bytes({0x8E, 0x04, 0}));
        f.reset();
        f.responder = [](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, {r.payload[0]}); };
        exec.setGainModeSwitchSlot(2);
        QCOMPARE(gain.last().at(0).toBool(), true);
        QCOMPARE(f.sent().size(), size_t(2));
        QCOMPARE(f.sent()[1].nCode, uint8_t(0x0A));
        QCOMPARE(f.sent()[1].payload, Bytes({0, 2}));

        QSignalSpy color(&exec, &QDevCommExec::sendSetColorrizationRetSignal);
        exec.setColorrizationSlot(0);
        QCOMPARE(color.last().at(0).toBool(), true);
        QCOMPARE(color.last().at(1).toInt(), 0);

        // Sharpness is sent only while streaming.
        f.reset();
        f.responder = [](const FakeRequest& r) { FakeLib::get().queueReply(r.nCode, {}); };
        exec.setSharpnessParamSlot(80);
        QCOMPARE(f.sent().size(), size_t(0));
        link().bStreaming = true;
        exec.setSharpnessParamSlot(80);
        link().bStreaming = false;
        QCOMPARE(f.sent().size(), size_t(1));
        QCOMPARE(f.sent()[0].payload, Bytes({0, 60}));

        // Device features the camera does not offer are refused without a command.
        f.reset();
        QSignalSpy sr(&exec, &QDevCommExec::sendSetDeviceSuperResModeRetSignal);
        QSignalSpy getGear(&exec, &QDevCommExec::sendGetLowTempTwoGearRetSignal);
        QSignalSpy setGear(&exec, &QDevCommExec::sendSetLowTempTwoGearRetSignal);
        exec.setDeviceSuperResModeSlot(1);
        exec.getLowTempTwoGearSlot();
        exec.setLowTempTwoGearSlot(1, 1);
        QCOMPARE(sr.last().at(0).toBool(), false);
        QCOMPARE(getGear.last().at(0).toBool(), false);
        QCOMPARE(setGear.last().at(0).toBool(), false);
        QCOMPARE(f.sent().size(), size_t(0));
    }

    void tableSlots()
    {
        FakeLib& f = FakeLib::get();
        QDevCommExec exec;
        int nTotal = 9;
        f.responder = [&nTotal](const FakeRequest& r) {
            if (r.payload.size() == 5) {   // a read
                const int nEntry = r.payload[4];
                FakeLib::get().queueReply(0, {0x02, 0, 0, 0, static_cast<uint8_t>(nTotal), 0, static_cast<uint8_t>(nEntry),
                                              0, static_cast<uint8_t>(nEntry * 2), 0, static_cast<uint8_t>(nEntry * 3)});
            } else {
                FakeLib::get().queueReply(0, {0x02});
            }
        };

        // Columns: no more entries than the frame is wide (364 before the first frame).
        QSignalSpy cols(&exec, &QDevCommExec::sendGetAllBadColsRetSignal);
        int* pIndex = new int[1024];
        int* pCol = new int[1024];
        exec.getAllBadColsSlot(pIndex, pCol);
        QCOMPARE(cols.last().at(0).toBool(), true);
        QCOMPARE(cols.last().at(1).toInt(), 9);
        QCOMPARE(pCol[8], 18);
        g_nFrameWidth = 8;
        exec.getAllBadColsSlot(pIndex, pCol);
        QCOMPARE(cols.last().at(0).toBool(), false);
        QCOMPARE(cols.last().at(1).toInt(), -1);
        delete[] pIndex;
        delete[] pCol;

        // Pixels: the slot frees the index array and hands rows and columns back.
        QSignalSpy pixels(&exec, &QDevCommExec::sendGetAllBadPixelsRetSignal);
        int* pRows = new int[256];
        int* pCols = new int[256];
        exec.getAllBadPixelsSlot(new int[256], pRows, pCols);
        QCOMPARE(pixels.last().at(0).toBool(), true);
        QCOMPARE(pixels.last().at(1).toInt(), 9);
        QCOMPARE(pRows[2], 9);
        QCOMPARE(pCols[2], 6);
        delete[] pRows;
        delete[] pCols;

        // Writes: the pixel slot frees both arrays; more than 256 entries is refused unsent.
        f.reset();
        f.responder = [](const FakeRequest& r) { FakeLib::get().queueReply(0, {r.payload[0]}); };
        QSignalSpy setPixels(&exec, &QDevCommExec::sendSetAllBadPixelsRetSignal);
        int* pWRows = new int[256]{4, 5};
        int* pWCols = new int[256]{6, 7};
        exec.setAllBadPixelsSlot(2, pWRows, pWCols);
        QCOMPARE(setPixels.last().at(0).toBool(), true);
        QCOMPARE(f.sent().size(), size_t(2));
        QCOMPARE(f.sent()[1].payload, Bytes({0x02, 0xFC, 0x04, 0, 2, 0, 2, 0, 7, 0, 5}));
        exec.setAllBadPixelsSlot(257, new int[256](), new int[256]());
        QCOMPARE(setPixels.last().at(0).toBool(), false);
        QCOMPARE(f.sent().size(), size_t(2));

        // An empty column table is written as one clearing packet.
        QSignalSpy setCols(&exec, &QDevCommExec::sendSetAllBadColsRetSignal);
        exec.setAllBadColsSlot(0, nullptr, nullptr);
        QCOMPARE(setCols.last().at(0).toBool(), true);
        QCOMPARE(f.sent().back().payload, Bytes({0x02, 0xFB, 0x02, 0, 0, 0, 0, 0, 0}));

        QSignalSpy save(&exec, &QDevCommExec::sendSaveAllBadSetRetSignal);
        exec.saveAllSetSlot();
        QCOMPARE(save.last().at(0).toBool(), true);
        QCOMPARE(f.sent().back().payload, Bytes({0x02, 0xFC, 0x03}));
    }
};

QTEST_MAIN(TestDeviceExec)
#include "test_device_exec.moc"
