// The camera link's open sequence, stream set-up, close and frame handling, against a
// scripted camera library.

#include "device/UsbCameraLink.h"
#include "test_device_fakelib.h"

#include <QtTest>

namespace {

UsbCameraLink& link() { return UsbCameraLink::instance(); }

UsbDeviceRecord cameraRecord(int nId = 7)
{
    UsbDeviceRecord rec{};
    rec.nCamID = nId;
    return rec;
}

// What the consumer saw of the last frame.
struct Seen
{
    int nCalls = 0;
    int nWidth = 0;
    int nHeight = 0;
    Bytes frame;
};

void consume(unsigned char* pFrame, int nWidth, int nHeight, void* pCtx)
{
    auto* seen = static_cast<Seen*>(pCtx);
    ++seen->nCalls;
    seen->nWidth = nWidth;
    seen->nHeight = nHeight;
    seen->frame.assign(pFrame, pFrame + nWidth * nHeight * 2);
}

// A stream frame of the given row length (bytes) and height, byte value = f(row, column),
// followed by a 256-byte trailer counting from 1.
Bytes streamFrame(int nRowBytes, int nHeight)
{
    Bytes out(static_cast<size_t>(nRowBytes * nHeight + 256));
    for (int r = 0; r < nHeight; ++r)
        for (int c = 0; c < nRowBytes; ++c)
            out[static_cast<size_t>(r * nRowBytes + c)] = static_cast<uint8_t>(r * 31 + c);
    for (int i = 0; i < 256; ++i)
        out[static_cast<size_t>(nRowBytes * nHeight + i)] = static_cast<uint8_t>(i + 1);
    return out;
}

int deliver(const Bytes& frame, int nArg1 = 1, int nArg2 = 1)
{
    FakeLib& f = FakeLib::get();
    return f.registeredCallback(nArg1, nArg2, const_cast<unsigned char*>(frame.data()), static_cast<int>(frame.size()),
                                f.registeredUser);
}

} // namespace

class TestDeviceLink : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        FakeLib::get().install();
        link().close();
        FakeLib::get().reset();
    }
    void cleanup()
    {
        link().close();
        FakeLib::uninstall();
    }

    void acceptedPartNumbersOpen_data()
    {
        QTest::addColumn<QString>("part");
        QTest::newRow("A1") << "KRM2560101A1RT1";
        QTest::newRow("B2") << "KRM2560202B2RT2";
        QTest::newRow("C3") << "KRM2560303C3RT3";
    }
    void acceptedPartNumbersOpen()
    {
        QFETCH(QString, part);
        FakeLib& f = FakeLib::get();
        FakeCamera cam;
        cam.part = part.toStdString();
        cam.capability[8] = 1;
        f.responder = cam;

        QVERIFY(link().open(cameraRecord()));
        QVERIFY(link().bStreaming);
        QCOMPARE(link().nCamID.load(), 7);
        QCOMPARE(link().nWidth, 256);
        QCOMPARE(link().nHeight, 192);
        QCOMPARE(link().bDoubleWidth, 0);
        QCOMPARE(link().bRModel, 1);
        QCOMPARE(link().szCapability[8], uint8_t(1));
        QVERIFY(link().pFrame && link().pTrailer);
        QCOMPARE(f.nInitWidth, 256);
        QCOMPARE(f.nInitHeight, 196);

        // Closing a streaming camera closes it at the library.
        QVERIFY(link().close());
        QCOMPARE(f.callCount("CloseUSBStreaming"), 1);
        QCOMPARE(f.callCount("CloseUSBCam"), 1);
        QCOMPARE(link().nCamID.load(), -1);
        QVERIFY(!link().bStreaming);
        QVERIFY(!link().pFrame);
        QCOMPARE(link().nWidth, 0);
    }

    void openRefusesUnsuitableCameras()
    {
        FakeLib& f = FakeLib::get();
        using Failure = UsbCameraLink::OpenFailure;
        struct Case { const char* name; std::string part; int nImageW; Failure eFailure; };
        const std::vector<Case> cases = {
            {"foreign part number", "KRM2560101A1RT9", 256, Failure::PartNumberRefused},
            {"14-character part number", "KRM2560101A1RT", 256, Failure::PartNumberQuery},
            {"part number with a longer tail", "KRM2560101A1RT1X", 256, Failure::PartNumberRefused},
            {"image width 320", "KRM2560101A1RT1", 320, Failure::ImageWidth},
            {"image width 0", "KRM2560101A1RT1", 0, Failure::ImageWidth},
        };
        for (const Case& c : cases) {
            f.reset();
            FakeCamera cam;
            cam.part = c.part;
            cam.nImageW = cam.nStreamW = c.nImageW;
            f.responder = cam;
            QVERIFY2(!link().open(cameraRecord()), c.name);
            QVERIFY2(!link().bStreaming, c.name);
            QVERIFY2(link().lastOpenFailure() == c.eFailure, c.name);
            QCOMPARE(link().lastPartNumber(), QByteArray(c.part.c_str()));
            QCOMPARE(f.callCount("InitUSBCam"), 0);
            // A camera that failed its checks is closed at the library before the next try
            // (a real device would answer that try with "busy"); its stream never started.
            QCOMPARE(f.callCount("CloseUSBCam"), 1);
            QCOMPARE(f.callCount("CloseUSBStreaming"), 0);
            QCOMPARE(link().nCamID.load(), -1);
        }

        // Format replies no frame could be read with fail the connect with the reason.
        const int kImpossible[][4] = {{256, 192, 256, 192}, {300, 196, 256, 192}, {512, 384, 512, 0}};
        for (const auto& g : kImpossible) {
            f.reset();
            FakeCamera cam;
            cam.nStreamW = g[0], cam.nStreamH = g[1], cam.nImageW = g[2], cam.nImageH = g[3];
            f.responder = cam;
            QVERIFY(!link().open(cameraRecord()) && link().lastOpenFailure() == Failure::StreamGeometry);
            QVERIFY(!link().lastOpenDetail().isEmpty() && f.callCount("CloseUSBCam") == 1);
        }

        // No camera in the record, or the library refuses to open it.
        f.reset();
        f.responder = FakeCamera();
        QVERIFY(!link().open(cameraRecord(-1)));
        QCOMPARE(f.callCount("OpenUSBCam"), 0);
        QVERIFY(link().lastOpenFailure() == Failure::NoCamera);
        f.bOpenOk = false;
        QVERIFY(!link().open(cameraRecord()));
        QCOMPARE(f.sent().size(), size_t(0));
        QVERIFY(link().lastOpenFailure() == Failure::OpenRefused);

        // Stream initialisation or the capability query failing.
        f.reset();
        f.responder = FakeCamera();
        f.nInitResult = 3;
        QVERIFY(!link().open(cameraRecord()));
        QVERIFY(link().lastOpenFailure() == Failure::StreamInit);
        f.reset();
        FakeCamera noCaps;
        f.responder = [noCaps](const FakeRequest& r) {
            if (r.subCommand() == 0x63)
                FakeLib::get().queueReply(0, {0x63}, 22);
            else
                noCaps(r);
        };
        QVERIFY(!link().open(cameraRecord()));
        QVERIFY(link().lastOpenFailure() == Failure::Capability);
        QVERIFY(!link().bStreaming);
        QVERIFY(!link().pFrame);
        // The stream already ran: it is stopped and the camera closed.
        QCOMPARE(f.callCount("CloseUSBStreaming"), 1);
        QCOMPARE(f.callCount("CloseUSBCam"), 1);
        f.responder = FakeCamera();
        QVERIFY(link().open(cameraRecord()));
        QVERIFY(link().lastOpenFailure() == Failure::None);
    }

    void streamGeometryFollowsTheFormatQuery()
    {
        FakeLib& f = FakeLib::get();
        FakeCamera cam;

        // A 512-wide image.
        cam.nStreamW = cam.nImageW = 512;
        cam.nImageH = 384;
        cam.nStreamH = 388;
        f.responder = cam;
        QVERIFY(link().open(cameraRecord()));
        QCOMPARE(link().nWidth, 512);
        QCOMPARE(link().nHeight, 384);
        QCOMPARE(link().bDoubleWidth, 0);
        link().close();

        // Stream rows twice the image width.
        f.reset();
        cam.nStreamW = 512;
        cam.nStreamH = 200;
        cam.nImageW = 256;
        cam.nImageH = 192;
        f.responder = cam;
        QVERIFY(link().open(cameraRecord()));
        QCOMPARE(link().bDoubleWidth, 1);
        QCOMPARE(f.nInitWidth, 512);
        QCOMPARE(f.nInitHeight, 200);
        link().close();

        // No format answer: an 'R' model falls back to the double-width 512 x 200 stream.
        f.reset();
        cam.bFormat = false;
        f.responder = cam;
        QVERIFY(link().open(cameraRecord()));
        QCOMPARE(f.nInitWidth, 512);
        QCOMPARE(f.nInitHeight, 200);
        QCOMPARE(link().nWidth, 256);
        QCOMPARE(link().nHeight, 192);
        QCOMPARE(link().bDoubleWidth, 1);
    }

    void framesAreCopiedAndHandedOn()
    {
        FakeLib& f = FakeLib::get();
        FakeCamera cam;
        f.responder = cam;
        QVERIFY(link().open(cameraRecord()));
        Seen seen;
        QVERIFY(link().registerStreamCallback(&consume, &seen));
        QCOMPARE(f.callCount("RegisterUSBStreamCallBack"), 1);

        const Bytes frame = streamFrame(256 * 2, 192);
        QCOMPARE(deliver(frame), 0);
        QCOMPARE(seen.nCalls, 1);
        QCOMPARE(seen.nWidth, 256);
        QCOMPARE(seen.nHeight, 192);
        QCOMPARE(seen.frame, Bytes(frame.begin(), frame.begin() + 256 * 192 * 2));
        unsigned char trailer[256];
        QVERIFY(link().copyTrailer(trailer));
        QCOMPARE(trailer[0], uint8_t(1));
        QCOMPARE(trailer[255], uint8_t(0));   // 256 wraps to 0

        // Refused frames: non-positive integers or length, null data.
        QCOMPARE(deliver(frame, 0, 1), -1);
        QCOMPARE(deliver(frame, 1, -3), -1);
        QCOMPARE(f.registeredCallback(1, 1, nullptr, 100, f.registeredUser), -1);
        QCOMPARE(f.registeredCallback(1, 1, const_cast<unsigned char*>(frame.data()), 0, f.registeredUser), -1);

        // A frame shorter than image plus trailer is dropped without touching the buffers.
        Bytes other = streamFrame(256 * 2, 192);
        std::fill(other.begin(), other.end(), 0x5A);
        other.resize(other.size() - 1);
        QCOMPARE(deliver(other), 0);
        QCOMPARE(seen.nCalls, 1);
        QVERIFY(link().copyTrailer(trailer));
        QCOMPARE(trailer[0], uint8_t(1));
        // So is one longer than the 256 x 196 stream: laid out for another size, it would
        // show stripes. Both are counted.
        QCOMPARE(deliver(streamFrame(512 * 2, 388)), 0);
        QCOMPARE(seen.nCalls, 1);
        QCOMPARE(link().droppedFrameCount(), uint64_t(2));
        QCOMPARE(deliver(Bytes(256 * 196 * 2, 0x11)), 0);   // exactly one stream frame
        QCOMPARE(seen.nCalls, 2);

        // After close no consumer is called and no trailer is offered.
        link().close();
        QCOMPARE(deliver(frame), 0);
        QCOMPARE(seen.nCalls, 2);
        QVERIFY(!link().copyTrailer(trailer));
    }

    void doubleWidthFramesKeepTheRightHalf()
    {
        FakeLib& f = FakeLib::get();
        FakeCamera cam;
        cam.nStreamW = 512;
        cam.nStreamH = 200;
        f.responder = cam;
        QVERIFY(link().open(cameraRecord()));
        Seen seen;
        link().registerStreamCallback(&consume, &seen);

        // 192 double-width rows, then the trailer (the stream's spare rows are not needed).
        const Bytes frame = streamFrame(256 * 4, 192);
        QCOMPARE(deliver(frame), 0);
        QCOMPARE(seen.nCalls, 1);
        for (int r : {0, 1, 100, 191}) {
            const auto rowStart = frame.begin() + r * 1024 + 512;
            QCOMPARE(Bytes(seen.frame.begin() + r * 512, seen.frame.begin() + (r + 1) * 512), Bytes(rowStart, rowStart + 512));
        }
        unsigned char trailer[256];
        QVERIFY(link().copyTrailer(trailer));
        QCOMPARE(trailer[10], uint8_t(11));

        // A frame laid out for single width is too short here and is dropped.
        QCOMPARE(deliver(streamFrame(256 * 2, 192)), 0);
        QCOMPARE(seen.nCalls, 1);
    }

    void registrationAndCloseWithoutStream()
    {
        FakeLib& f = FakeLib::get();

        // Not streaming: the consumer is kept, the library is not asked.
        Seen seen;
        QVERIFY(link().registerStreamCallback(&consume, &seen));
        QCOMPARE(f.callCount("RegisterUSBStreamCallBack"), 0);
        QCOMPARE(link().pConsumerCtx, static_cast<void*>(&seen));

        // close() on a link that is not streaming makes no library call.
        f.reset();
        QVERIFY(link().close());
        QVERIFY(f.calls.empty());
        QVERIFY(!link().pfnFrameConsumer);
        QVERIFY(!link().pFrame);

        // A refused registration uninitialises the library and drops the connection.
        f.responder = FakeCamera();
        QVERIFY(link().open(cameraRecord()));
        f.nRegisterResult = -1;
        QVERIFY(!link().registerStreamCallback(&consume, &seen));
        QCOMPARE(f.callCount("UinitUSBCam"), 1);
        QVERIFY(!link().bStreaming);
    }
};

QTEST_MAIN(TestDeviceLink)
#include "test_device_link.moc"
