// The simulated camera driven through the raw library call table, with command frames
// built by hand here (independently of the camera's own protocol code).
#include "platform/simcam/SimCamera.h"
#include "platform/simcam/SimCameraLibrary.h"
#include "platform/simcam/SimDeviceStore.h"
#include "platform/simcam/SimFrameFormat.h"
#include "platform/simcam/SimProtocol.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstring>
#include <mutex>
#include <string>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

// Bitwise CRC-16/XMODEM, written out plainly as a cross-check of the camera's table one.
uint16_t crcPlain(const uint8_t* p, size_t n)
{
    uint16_t c = 0;
    for (size_t i = 0; i < n; ++i) {
        c ^= uint16_t(p[i] << 8);
        for (int b = 0; b < 8; ++b)
            c = (c & 0x8000) ? uint16_t((c << 1) ^ 0x1021) : uint16_t(c << 1);
    }
    return c;
}

Bytes requestPacket(uint8_t code, const Bytes& payload)
{
    Bytes p = {0x6E, 0, 0, code, uint8_t(payload.size() >> 8), uint8_t(payload.size())};
    const uint16_t h = crcPlain(p.data(), 6);
    p.push_back(uint8_t(h >> 8));
    p.push_back(uint8_t(h));
    p.insert(p.end(), payload.begin(), payload.end());
    const uint16_t c = crcPlain(p.data(), p.size());
    p.push_back(uint8_t(c >> 8));
    p.push_back(uint8_t(c));
    return p;
}

void le32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

Bytes transferFrame(const Bytes& packet)
{
    Bytes f(64 + packet.size(), 0);
    std::memcpy(f.data(), "BHHU", 4);
    le32(&f[4], 1);
    le32(&f[8], 992);
    std::memcpy(&f[32], "BHHU", 4);
    le32(&f[36], 1);
    le32(&f[40], uint32_t(packet.size()));
    if (!packet.empty())
        std::memcpy(f.data() + 64, packet.data(), packet.size());
    return f;
}

struct Reply
{
    bool ok = false;
    int frames = 0;
    uint8_t status = 0xFF;
    uint8_t code = 0xFF;
    Bytes data;
};

const CameraLibraryApi& api() { return simCameraLibraryApi(); }

bool sendRaw(Bytes frame)
{
    int32_t n = int32_t(frame.size());
    return api().SendDeviceData(SimCamera::kCamID, frame.data(), &n, 1000) && n == int32_t(frame.size());
}

// One receive of up to 1024 bytes; returns the data behind the header (checked).
bool recvPiece(Bytes& data, int timeoutMs, Bytes* rawOut = nullptr)
{
    unsigned char buf[1024];
    int32_t n = sizeof buf;
    if (!api().RecvDeviceData(SimCamera::kCamID, buf, &n, timeoutMs) || n <= 64)
        return false;
    if (rawOut)
        rawOut->assign(buf, buf + n);
    if (std::memcmp(buf, "BHHU", 4) != 0 || std::memcmp(buf + 32, "BHHU", 4) != 0)
        return false;
    uint32_t len = 0;
    std::memcpy(&len, buf + 40, 4);
    if (len < 1 || int(len) != n - 64)
        return false;
    data.assign(buf + 64, buf + n);
    return true;
}

// Request and the complete reply packet, gathered piece by piece.
Reply transact(uint8_t code, const Bytes& payload, int timeoutMs = 1000)
{
    Reply r;
    if (!sendRaw(transferFrame(requestPacket(code, payload))))
        return r;
    Bytes packet, piece;
    while (true) {
        if (!recvPiece(piece, timeoutMs))
            return r;
        ++r.frames;
        packet.insert(packet.end(), piece.begin(), piece.end());
        if (packet.size() >= 8 && packet.size() >= size_t(8 + ((packet[4] << 8) | packet[5])))
            break;
    }
    const size_t n = size_t((packet[4] << 8) | packet[5]);
    r.status = packet[1];
    r.code = packet[3];
    r.data.assign(packet.begin() + 8, packet.begin() + 8 + long(n));
    r.ok = true;
    return r;
}

// ---- the stream ---------------------------------------------------------------------------

struct Sink
{
    std::mutex m;
    std::vector<Bytes> frames;
    std::vector<qint64> stampsMs;
    int arg1 = 0, arg2 = 0;
    int nullCalls = 0;
    int lastLength = 0;
    QElapsedTimer clock;
    size_t keep = 4;

    static int callback(int a1, int a2, unsigned char* p, int len, void* user)
    {
        Sink* s = static_cast<Sink*>(user);
        std::lock_guard<std::mutex> lk(s->m);
        s->arg1 = a1;
        s->arg2 = a2;
        s->lastLength = len;
        if (!p || len < 1) {
            ++s->nullCalls;
            return -1;
        }
        s->stampsMs.push_back(s->clock.elapsed());
        s->frames.emplace_back(p, p + len);
        if (s->frames.size() > s->keep)
            s->frames.erase(s->frames.begin());
        return 0;
    }
    size_t count()
    {
        std::lock_guard<std::mutex> lk(m);
        return stampsMs.size();
    }
    Bytes last()
    {
        std::lock_guard<std::mutex> lk(m);
        return frames.empty() ? Bytes() : frames.back();
    }
};

bool openCamera()
{
    int32_t count = 0;
    std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
    if (!api().GetUsbDeviceNum(&count, list.data()))
        return false;
    UsbDeviceRecord rec = list[0];
    return api().OpenUSBCam(&rec);
}

bool startStream(Sink& sink, int sw = 512, int sh = 200)
{
    std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
    int32_t count = 0;
    api().GetUsbDeviceNum(&count, list.data());
    UsbDeviceRecord rec = list[0];
    if (!api().OpenUSBCam(&rec) || api().InitUSBCam(&rec, sw, sh, 0, 0, 1) != 0)
        return false;
    sink.clock.start();
    return api().RegisterUSBStreamCallBack(rec.nCamID, &Sink::callback, &sink) == 0;
}

// Luminance of image pixel (x, y) in a stream frame.
int lumaAt(const Bytes& f, const SimStreamLayout& l, int x, int y)
{
    const int rowBytes = l.nStreamWidth * 2;
    const int off = (l.bDoubleWidth ? l.nImageWidth * 2 : 0);
    return f[size_t(y * rowBytes + off + 2 * x + 1)];
}

const uint8_t* trailerOf(const Bytes& f, const SimStreamLayout& l)
{
    return f.data() + size_t(l.nImageHeight) * size_t(l.nStreamWidth) * 2;
}

uint32_t oddLe(const uint8_t* t, int first, int bytes)
{
    uint32_t v = 0;
    for (int i = 0; i < bytes; ++i)
        v |= uint32_t(t[first + 2 * i]) << (8 * i);
    return v;
}

Bytes be16(int v) { return {uint8_t(v >> 8), uint8_t(v)}; }

Bytes cat(std::initializer_list<Bytes> parts)
{
    Bytes out;
    for (const Bytes& p : parts)
        out.insert(out.end(), p.begin(), p.end());
    return out;
}

} // namespace

class TestSimCam : public QObject
{
    Q_OBJECT

private:
    SimCamera& cam = SimCamera::instance();

private slots:
    void init()
    {
        cam.setPrivate(true);   // also when started by hand: never reset the machine's camera
        cam.reset();
        cam.setRestartDurationMs(300);
        cam.setInstallDurationMs(200);
        cam.setShutterPauseMs(50);
    }
    void cleanup() { api().UinitUSBCam(); }

    void frameFormatPrimitives()
    {
        // Both examples of requests quoted for the command channel, byte for byte.
        const Bytes format = {0x6E, 0, 0, 0, 0, 3, 0xEF, 0xD8, 0x4E, 0, 0, 0x06, 0xAC};
        QCOMPARE(requestPacket(0, {0x4E, 0, 0}), format);
        QCOMPARE(SimProtocol::buildPacket(0, 0, {0x4E, 0, 0}), format);
        QCOMPARE(SimProtocol::buildPacket(0x0C, 0, {}), Bytes({0x6E, 0, 0, 0x0C, 0, 0, 0xAA, 0xDA, 0, 0}));
        const Bytes sample = {1, 2, 3, 0xFF, 0x80, 0x00, 0x7F};
        QCOMPARE(SimProtocol::crc16(sample.data(), sample.size()), crcPlain(sample.data(), sample.size()));

        // Reply pieces: joined they give the packet back, none exceeds 960 data bytes, and the
        // last one never holds the closing CRC alone (the host stops reading before it).
        for (int n : {0, 950, 951, 952, 1910, 1911, 3000}) {
            const Bytes packet = SimProtocol::buildPacket(0x05, 0, Bytes(size_t(n), 0x5A));
            const auto frames = SimProtocol::buildReplyFrames(packet);
            Bytes joined;
            for (const Bytes& f : frames) {
                QVERIFY(f.size() - 64 <= 960);
                joined.insert(joined.end(), f.begin() + 64, f.end());
            }
            QCOMPARE(joined, packet);
            QVERIFY2(frames.back().size() - 64 >= 3, qPrintable(QString::number(n)));
        }
    }

    void enumerationAndOpen()
    {
        std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
        int32_t count = 7;
        QVERIFY(cam.configure("absent"));
        QVERIFY(!api().GetUsbDeviceNum(&count, list.data()));
        QCOMPARE(count, 0);
        QCOMPARE(list[0].nCamID, -1);
        UsbDeviceRecord none{};
        none.nCamID = 0;
        QVERIFY(!api().OpenUSBCam(&none));

        QVERIFY(cam.configure("absent=0"));
        QVERIFY(api().GetUsbDeviceNum(&count, list.data()));
        QCOMPARE(count, 1);
        QCOMPARE(list[0].nCamID, SimCamera::kCamID);
        QCOMPARE(list[1].nCamID, -1);
        UsbDeviceRecord rec = list[0];
        QVERIFY(api().OpenUSBCam(&rec));
        QVERIFY(api().OpenUSBCam(&rec));   // opening twice is tolerated

        // Commands need an open camera; the stream needs an initialised one.
        api().CloseUSBCam(rec.nCamID);
        QVERIFY(!sendRaw(transferFrame(requestPacket(0x66, {}))));
        QCOMPARE(api().RegisterUSBStreamCallBack(rec.nCamID, &Sink::callback, nullptr), -1);
        QVERIFY(api().OpenUSBCam(&rec));
        // A size the camera does not offer is refused, as S_FMT would be, saying why.
        QVERIFY(api().InitUSBCam(&rec, 256, 196, 0, 0, 1) != 0);
        QVERIFY(cam.lastError().find("256x196") != std::string::npos);
        QCOMPARE(api().InitUSBCam(&rec, 512, 200, 0, 0, 1), 0);
        QCOMPARE(api().RegisterUSBStreamCallBack(rec.nCamID, nullptr, nullptr), -1);
        int w = 0, h = 0;
        cam.lastInitStreamSize(w, h);
        QCOMPARE(w, 512);
        QCOMPARE(h, 200);
    }

    void streamLayoutAndRate()
    {
        {
            Sink sink;
            QVERIFY(startStream(sink));
            QTRY_VERIFY_WITH_TIMEOUT(sink.count() >= 8, 5000);
            const SimStreamLayout l = cam.streamLayout();
            QVERIFY(l.bDoubleWidth);
            QCOMPARE(l.nStreamWidth, 512);
            QCOMPARE(l.nImageWidth, 256);
            QCOMPARE(l.nImageHeight, 192);
            const Bytes f = sink.last();
            QCOMPARE(int(f.size()), 512 * 200 * 2);
            QCOMPARE(sink.lastLength, int(f.size()));
            QVERIFY(sink.arg1 > 0 && sink.arg2 > 0);
            // Right half: UYVY with neutral chroma and the grey picture in the odd bytes.
            int lo = 255, hi = 0;
            for (int y = 0; y < 192; ++y) {
                for (int x = 0; x < 256; ++x) {
                    QCOMPARE(int(f[size_t(y * 1024 + 512 + 2 * x)]), 128);
                    lo = std::min(lo, lumaAt(f, l, x, y));
                    hi = std::max(hi, lumaAt(f, l, x, y));
                }
            }
            QCOMPARE(lo, 0);
            QCOMPARE(hi, 255);
            // Left half: raw words in 1/64 K, room temperature near the top-left corner.
            const double corner = (f[4 * 1024 + 8] | (f[4 * 1024 + 9] << 8)) / 64.0 - 273.15;
            QVERIFY2(corner > 18.0 && corner < 26.0, qPrintable(QString::number(corner)));

            // The camera never runs faster than its frame rate (a slow machine may drop frames).
            std::vector<qint64> stamps;
            {
                std::lock_guard<std::mutex> lk(sink.m);
                stamps = sink.stampsMs;
            }
            std::vector<qint64> gaps;
            for (size_t i = 1; i < stamps.size(); ++i)
                gaps.push_back(stamps[i] - stamps[i - 1]);
            std::sort(gaps.begin(), gaps.end());
            QVERIFY2(gaps[gaps.size() / 2] >= 30, qPrintable(QString::number(gaps[gaps.size() / 2])));
            api().UinitUSBCam();
            QVERIFY(!cam.isStreaming());
        }
        {
            // Other models: image rows first, the trailer straight behind them.
            QVERIFY(cam.configure("part=KRM2560101A1PT1;width=512"));
            Sink sink;
            QVERIFY(startStream(sink, 512, 388));
            QTRY_VERIFY_WITH_TIMEOUT(sink.count() >= 1, 5000);
            const SimStreamLayout l = cam.streamLayout();
            QVERIFY(!l.bDoubleWidth);
            QCOMPARE(l.nImageWidth, 512);
            QCOMPARE(l.nImageHeight, 384);
            const Bytes f = sink.last();
            QCOMPARE(int(f.size()), l.nStreamWidth * l.nStreamHeight * 2);
            const SimMeasurement m = SimFrameFormat::readTrailer(trailerOf(f, l), 512, 384);
            QVERIFY(m.fMaxTemper > 60.0f && m.fMaxTemper < 70.0f);
            QVERIFY(m.nFrame >= 1);
        }
    }

    void trailerFollowsTheHotObject()
    {
        SimSceneSettings s = cam.sceneSettings();
        s.fHotTemper = 80.0f;
        s.fHotX = 180.0f;
        s.fHotY = 60.0f;
        cam.setSceneSettings(s);
        cam.setSceneTime(1.0);
        cam.setStreamPaused(true);
        Sink sink;
        QVERIFY(startStream(sink));
        QCOMPARE(cam.deliverFrameNow(), 0);
        const Bytes f = sink.last();
        const SimStreamLayout l = cam.streamLayout();
        const uint8_t* t = trailerOf(f, l);
        // Decoded the way the host reads it: odd bytes, lowest first.
        const int row = int(std::trunc(double(oddLe(t, 1, 2) * 192) / 8191.0 + 0.5));
        const int col = int(std::trunc(double(oddLe(t, 5, 2) * 256) / 8191.0 + 0.5));
        const float fMax = float(int32_t(oddLe(t, 9, 4)) / 200.0);
        const float fMin = float(int32_t(oddLe(t, 17, 4)) / 200.0);
        QVERIFY2(std::abs(col - 180) <= 6 && std::abs(row - 60) <= 6, qPrintable(QString("%1,%2").arg(col).arg(row)));
        QVERIFY2(std::fabs(fMax - 80.0f) < 1.0f, qPrintable(QString::number(fMax)));
        QVERIFY2(std::fabs(fMin - s.fColdTemper) < 1.0f, qPrintable(QString::number(fMin)));
        QCOMPARE(lumaAt(f, l, col, row), 255);
        const SimMeasurement m = cam.lastMeasurement();
        QCOMPARE(m.nHotCol, col);
        QCOMPARE(m.nHotRow, row);

        // Standby: uniform grey and an empty measurement, at a low rate; wake brings the
        // picture back.
        Reply r = transact(0, {0x0D, 0, 5});
        QVERIFY(r.ok && r.status == 0 && r.data == Bytes({0x0D}));
        QVERIFY(cam.isSleeping());
        QCOMPARE(cam.deliverFrameNow(), 0);
        const Bytes grey = sink.last();
        for (int x = 0; x < 256; x += 17)
            QCOMPARE(lumaAt(grey, l, x, 100), 128);
        QCOMPARE(oddLe(trailerOf(grey, l), 9, 4), 0u);
        QCOMPARE(transact(0x0C, {}).status, SimCamera::kStatusBusy);   // no shutter while asleep
        QCOMPARE(transact(0, {0x0D, 0, 4}).status, 0);
        QCOMPARE(cam.deliverFrameNow(), 0);
        QVERIFY(std::fabs(SimFrameFormat::readTrailer(trailerOf(sink.last(), l), 256, 192).fMaxTemper - 80.0f) < 1.0f);

        // A hot object that warms from 50 to 70 degrees and cools back every 20 s.
        QVERIFY(!cam.configure("hot=50..70"));
        QVERIFY(cam.configure("hot=50..70/20"));
        for (const auto& [t, fExpected] : {std::pair{0.0, 50.0f}, {5.0, 60.0f}, {10.0, 70.0f}, {15.0, 60.0f}, {21.0, 52.0f}}) {
            cam.setSceneTime(t);
            QCOMPARE(cam.deliverFrameNow(), 0);
            QVERIFY2(std::fabs(cam.lastMeasurement().fMaxTemper - fExpected) < 1.0f, qPrintable(QString::number(t)));
        }
    }

    void commandsAndReplies()
    {
        QVERIFY(openCamera());
        Reply r = transact(0x66, {});
        QVERIFY(r.ok);
        QCOMPARE(int(r.status), 0);
        QCOMPARE(int(r.code), 0x66);
        QCOMPARE(int(r.data.size()), 32);
        QCOMPARE(std::string(reinterpret_cast<const char*>(r.data.data())), std::string("KRM2560101A1RT1"));

        r = transact(0, {0x4E, 0, 0});
        QCOMPARE(int(r.data.size()), 65);
        QCOMPARE(r.data[0], uint8_t(0x4E));
        QCOMPARE(r.data[1] | (r.data[2] << 8), 512);
        QCOMPARE(r.data[3] | (r.data[4] << 8), 200);
        QCOMPARE(r.data[5] | (r.data[6] << 8), 256);
        QCOMPARE(r.data[7] | (r.data[8] << 8), 192);

        r = transact(5, {});
        QCOMPARE(int(r.data.size()), 32);
        QCOMPARE(char(r.data[5]), 'C');                   // variant
        QCOMPARE(std::string(r.data.begin() + 8, r.data.begin() + 10), std::string("MS"));   // platform

        // Capabilities follow the switches; gated commands are refused without them.
        r = transact(0, {0x63, 0, 1});
        QCOMPARE(int(r.data.size()), 131);
        QCOMPARE(int(r.data[3 + 8]), 0);
        QCOMPARE(transact(0, {0x17, 1}).status, SimCamera::kStatusInvalid);
        QCOMPARE(transact(0x50, {0x97, 0x04}).status, SimCamera::kStatusInvalid);
        QVERIFY(cam.configure("caps=sr,lowtemp"));
        r = transact(0, {0x63, 0, 1});
        QVERIFY(r.data[3 + 8] != 0 && r.data[3 + 13] != 0);
        QCOMPARE(transact(0, {0x17, 1}).data, Bytes({0x17}));
        QCOMPARE(cam.superResMode(), 1);
        Bytes gear = {0x96, 0x04, 1, 0, 0, 0, 1, 1};
        gear.resize(34, 0);
        QCOMPARE(transact(0x50, gear).data, Bytes({0x96}));
        r = transact(0x50, {0x97, 0x04});
        QCOMPARE(r.data, Bytes({0x97, 0x04, 0, 1, 0, 0, 0, 1}));

        // The format query can be switched off; the camera then refuses it with 22.
        QVERIFY(cam.configure("noformat"));
        QCOMPARE(transact(0, {0x4E, 0, 0}).status, SimCamera::kStatusInvalid);

        // Faults on demand, limited to a command code.
        cam.failNext(SimFault::Status22, 1, 0x66);
        QCOMPARE(transact(0x04, {}).status, 0);   // another code passes untouched
        r = transact(0x66, {});
        QVERIFY(r.ok && r.status == 22 && r.data.empty());
        QCOMPARE(transact(0x66, {}).status, 0);
        cam.failNext(SimFault::WrongCode, 1);
        QVERIFY(transact(0x66, {}).code != 0x66);
        cam.failNext(SimFault::DropReply, 1);
        QVERIFY(!transact(0x0C, {}, 150).ok);
        cam.failNext(SimFault::BadMagic, 1);
        Bytes raw, piece;
        QVERIFY(sendRaw(transferFrame(requestPacket(0x66, {}))));
        QVERIFY(!recvPiece(piece, 500, &raw));
        QCOMPARE(int(raw.size()), 64 + 42);
        cam.failNext(SimFault::OversizeLength, 1);
        QVERIFY(sendRaw(transferFrame(requestPacket(0x66, {}))));
        QVERIFY(!recvPiece(piece, 500, &raw));
        uint32_t declared = 0;
        std::memcpy(&declared, raw.data() + 40, 4);
        QCOMPARE(int(declared), 42 + 512);
        QCOMPARE(cam.pendingReplyFrames(), 0);
        QVERIFY(cam.configure("slowms=400;slow=1"));
        QVERIFY(sendRaw(transferFrame(requestPacket(0x66, {}))));
        QCOMPARE(cam.pendingReplyFrames(), 1);
        QVERIFY(recvPiece(piece, 3000));

        // What a real channel does: a reply later than the host's time-out (1 s here) stays
        // for the next receive; the closing CRC alone in a frame; one damaged frame among
        // intact ones; a camera that never answers.
        QVERIFY(cam.configure("late=1@4"));
        QVERIFY(sendRaw(transferFrame(requestPacket(0x04, {}))));
        QVERIFY(!recvPiece(piece, 1000));
        QVERIFY(recvPiece(piece, 1000));
        QCOMPARE(int(piece[3]), 0x04);
        QVERIFY(cam.configure("splitcrc"));
        r = transact(0x66, {});
        QVERIFY(r.ok && r.frames == 1);
        QVERIFY(recvPiece(piece, 100));
        QCOMPARE(piece, be16(crcPlain(r.data.data(), r.data.size())));
        QVERIFY(cam.configure("splitcrc=0;piece=16;corrupt=1"));
        QVERIFY(sendRaw(transferFrame(requestPacket(0x66, {}))));
        QCOMPARE(cam.pendingReplyFrames(), 3);
        QVERIFY(recvPiece(piece, 100) && !recvPiece(piece, 100) && recvPiece(piece, 100));
        QVERIFY(cam.configure("piece=960;mute"));
        QVERIFY(!transact(0x66, {}, 150).ok);
        QVERIFY(cam.configure("mute=0"));

        // Damaged requests: a bad CRC is answered with its own status, a bad transfer header
        // not at all; both are counted for the host's tests.
        const uint64_t errors = cam.protocolErrorCount();
        Bytes bad = requestPacket(0x0C, {});
        bad.back() ^= 1;
        QVERIFY(sendRaw(transferFrame(bad)));
        QVERIFY(recvPiece(piece, 500));
        QCOMPARE(int(piece[1]), int(SimCamera::kStatusBadPacket));
        Bytes frame = transferFrame(requestPacket(0x0C, {}));
        le32(&frame[40], 11);
        QVERIFY(sendRaw(frame));
        QVERIFY(!recvPiece(piece, 150));
        QCOMPARE(cam.protocolErrorCount(), errors + 2);
        QCOMPARE(transact(0x99, {}).status, SimCamera::kStatusInvalid);

        // The fixed pattern grows until a flat-field correction clears it.
        QVERIFY(cam.configure("fpnrate=5"));
        QTRY_VERIFY(cam.fixedPatternAmplitude() > 0.5f);
        QCOMPARE(transact(0x0C, {}).status, 0);
        QVERIFY(cam.fixedPatternAmplitude() < 0.5f);

        // Plain setters keep what they were told.
        QCOMPARE(transact(0xE3, {0, 0xFF}).status, 0);
        QCOMPARE(cam.sharpness(), 255);
        QCOMPARE(transact(0x0A, be16(2)).status, 0);
        QCOMPARE(cam.gainMode(), 2);
        QCOMPARE(transact(0x0A, be16(3)).status, SimCamera::kStatusInvalid);
        QCOMPARE(cam.lastCommand().nCode, uint8_t(0x0A));
        QVERIFY(cam.commandCount(0x66) >= 5);
    }

    void repliesSpreadOverSeveralFrames()
    {
        QVERIFY(openCamera());
        const Reply whole = transact(0, {0x63, 0, 1});
        QCOMPARE(whole.frames, 1);
        QVERIFY(cam.configure("piece=16"));
        const Reply pieces = transact(0, {0x63, 0, 1});
        QCOMPARE(pieces.frames, (131 + 10 + 15) / 16);
        QCOMPARE(pieces.data, whole.data);
        QCOMPARE(cam.pendingReplyFrames(), 0);   // nothing left behind for the next command
    }

    void restartDropsOffTheBusAndReturns()
    {
        std::mutex m;
        std::vector<bool> events;
        const int id = cam.addHotplugListener([&](bool b) {
            std::lock_guard<std::mutex> lk(m);
            events.push_back(b);
        });
        Sink sink;
        QVERIFY(startStream(sink));
        // An unsaved table is lost with the restart; a saved one survives it.
        QCOMPARE(transact(0, cat({{0x02, 0xFC, 0x04}, be16(1), be16(1), be16(10), be16(20)})).status, 0);
        QCOMPARE(int(cam.badPixels().size()), 1);

        Reply r = transact(0x02, {0x00});
        QVERIFY(r.ok && r.status == 0);
        QTRY_VERIFY_WITH_TIMEOUT(!cam.isPresent(), 2000);
        int32_t count = 0;
        std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
        QVERIFY(!api().GetUsbDeviceNum(&count, list.data()) || cam.isPresent());
        QVERIFY(!sendRaw(transferFrame(requestPacket(0x66, {}))));
        const size_t framesAtDrop = sink.count();
        QTRY_VERIFY_WITH_TIMEOUT(cam.isPresent(), 5000);
        QCOMPARE(sink.count(), framesAtDrop);   // the old session streams no more
        QTRY_VERIFY_WITH_TIMEOUT(events.size() >= 2, 2000);
        {
            std::lock_guard<std::mutex> lk(m);
            QCOMPARE(events, std::vector<bool>({false, true}));
        }
        QCOMPARE(cam.restartCount(), 1);
        QVERIFY(cam.badPixels().empty());

        QVERIFY(openCamera());
        QCOMPARE(transact(0, cat({{0x02, 0xFC, 0x04}, be16(1), be16(1), be16(10), be16(20)})).status, 0);
        QCOMPARE(transact(0, {0x02, 0xFC, 0x03}).status, 0);
        QCOMPARE(transact(0x02, {}).status, 0);
        QTRY_VERIFY_WITH_TIMEOUT(cam.restartCount() == 2, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(events.size() >= 4, 2000);
        QCOMPARE(cam.badPixels(), std::vector<SimBadPixel>({{10, 20}}));

        // Unplugging behaves alike without the delay; the listener hears both ends.
        cam.unplug();
        QVERIFY(!openCamera());
        cam.replug();
        QVERIFY(openCamera());
        cam.removeHotplugListener(id);
        std::lock_guard<std::mutex> lk(m);
        QCOMPARE(events, std::vector<bool>({false, true, false, true, false, true}));
    }

    void tablesHideDefects()
    {
        cam.setSceneTime(2.0);
        cam.setStreamPaused(true);
        Sink sink;
        QVERIFY(startStream(sink));
        const SimStreamLayout l = cam.streamLayout();
        const SimBadPixel stuck = cam.stuckPixels().front();
        const int dead = cam.deadColumn();
        auto contrast = [&](const Bytes& f, int x, int y) {
            const int around = (lumaAt(f, l, x - 1, y) + lumaAt(f, l, x + 1, y) + lumaAt(f, l, x, y - 1)
                                + lumaAt(f, l, x, y + 1)) / 4;
            return std::abs(lumaAt(f, l, x, y) - around);
        };
        QCOMPARE(cam.deliverFrameNow(), 0);
        QVERIFY(contrast(sink.last(), stuck.nCol, stuck.nRow) > 10);
        QVERIFY(contrast(sink.last(), dead, 10) > 10);

        // Write one bad pixel and one bad column, read them back, and look again.
        QCOMPARE(transact(0, cat({{0x02, 0xFC, 0x04}, be16(1), be16(1), be16(stuck.nCol), be16(stuck.nRow)})).status, 0);
        QCOMPARE(transact(0, cat({{0x02, 0xFB, 0x02}, be16(1), be16(1), be16(dead)})).status, 0);
        Reply r = transact(0, cat({{0x02, 0xFC, 0x04}, be16(1)}));
        QCOMPARE(r.data, cat({{0x02, 0xFC, 0x04}, be16(1), be16(1), be16(stuck.nCol), be16(stuck.nRow)}));
        r = transact(0, cat({{0x02, 0xFB, 0x01}, be16(1)}));
        QCOMPARE(r.data, cat({{0x02, 0xFB, 0x01}, be16(1), be16(1), be16(dead)}));
        QCOMPARE(transact(0, cat({{0x02, 0xFB, 0x01}, be16(2)})).status, SimCamera::kStatusInvalid);
        QCOMPARE(cam.deliverFrameNow(), 0);
        QVERIFY(contrast(sink.last(), stuck.nCol, stuck.nRow) <= 6);
        QVERIFY(contrast(sink.last(), dead, 10) <= 6);

        // The camera holds 256 pixels at most; an empty write clears the table, and an
        // empty table still answers the read of entry 1 with a count of 0.
        QCOMPARE(transact(0, cat({{0x02, 0xFC, 0x04}, be16(257), be16(1), be16(1), be16(1)})).status,
                 SimCamera::kStatusInvalid);
        QCOMPARE(transact(0, cat({{0x02, 0xFB, 0x02}, be16(0), be16(0), be16(0)})).status, 0);
        QVERIFY(cam.badColumns().empty());
        r = transact(0, cat({{0x02, 0xFB, 0x01}, be16(1)}));
        QVERIFY(r.status == 0 && r.data.size() == 9 && r.data[3] == 0 && r.data[4] == 0);
        // A table whose writing stopped half-way never replaces the one in use.
        QCOMPARE(transact(0, cat({{0x02, 0xFC, 0x04}, be16(3), be16(1), be16(5), be16(5)})).status, 0);
        QCOMPARE(int(cam.badPixels().size()), 1);
        QCOMPARE(cam.badPixels().front(), stuck);
    }

    void firmwareInstall()
    {
        QVERIFY(openCamera());
        const std::string before = cam.softwareVersion();
        Bytes image(2500);
        for (size_t i = 0; i < image.size(); ++i)
            image[i] = uint8_t(i * 7);
        auto chunk = [&](uint32_t offset, uint32_t len) {
            Bytes p = {0x22};
            for (uint32_t v : {uint32_t(image.size()), offset})
                for (int s = 24; s >= 0; s -= 8)
                    p.push_back(uint8_t(v >> s));
            p.insert(p.end(), image.begin() + offset, image.begin() + offset + len);
            return transact(0, p);
        };
        auto progress = [&] {
            const Reply r = transact(0, {0x2B});
            return r.ok && r.data.size() >= 3 && r.data[0] == 0x2B ? (r.data[1] << 8) | r.data[2] : -1;
        };
        QCOMPARE(chunk(0, 1000).data, Bytes({0x22}));
        QCOMPARE(chunk(2000, 500).status, SimCamera::kStatusIo);   // a gap
        QCOMPARE(chunk(1000, 1000).status, 0);
        QCOMPARE(chunk(1000, 1000).status, 0);   // a repeated chunk is harmless
        QCOMPARE(progress(), 0);
        QCOMPARE(chunk(2000, 500).status, 0);
        QTRY_COMPARE_WITH_TIMEOUT(progress(), 100, 5000);
        QCOMPARE(cam.receivedImage(), image);
        const std::string after = cam.softwareVersion();
        QVERIFY(after != before);
        QCOMPARE(after.substr(0, 11), before.substr(0, 11));   // variant and platform stay
        QCOMPARE(cam.installCount(), 1);
    }

    void closingAndUnpluggingStopEverything()
    {
        // No callback may run once CloseUSBStreaming has returned: the link frees its
        // buffers right after it.
        Sink sink;
        QVERIFY(startStream(sink));
        QTRY_VERIFY_WITH_TIMEOUT(sink.count() >= 2, 5000);
        api().CloseUSBStreaming(SimCamera::kCamID);
        const size_t closed = sink.count();
        QTest::qWait(150);
        QCOMPARE(sink.count(), closed);
        QVERIFY(!cam.isStreaming());
        QVERIFY(transact(0x66, {}).ok);   // the command channel stays open

        // A receive waiting for a reply that will never come is released by an unplug
        // instead of sitting out its time-out.
        cam.failNext(SimFault::DropReply, 1);
        QVERIFY(sendRaw(transferFrame(requestPacket(0x0C, {}))));
        std::atomic<bool> done{false};
        std::atomic<bool> result{true};
        std::thread waiter([&] {
            unsigned char buf[1024];
            int32_t n = sizeof buf;
            result = api().RecvDeviceData(SimCamera::kCamID, buf, &n, 60000);
            done = true;
        });
        QTest::qWait(50);
        cam.unplug();
        QTRY_VERIFY_WITH_TIMEOUT(done.load(), 5000);
        waiter.join();
        QVERIFY(!result);
        cam.replug();
    }

    void channelSharedByThreads()
    {
        // Several threads take turns on the channel while frames stream; every transaction
        // gets its own reply and nothing is left over.
        Sink sink;
        QVERIFY(startStream(sink));
        std::mutex channel;
        std::atomic<int> bad{0};
        std::vector<std::thread> threads;
        for (int t = 0; t < 3; ++t) {
            threads.emplace_back([&, t] {
                for (int i = 0; i < 40; ++i) {
                    std::lock_guard<std::mutex> lk(channel);
                    const Reply r = t == 0 ? transact(0x66, {}) : t == 1 ? transact(0, {0x63, 0, 1}) : transact(5, {});
                    const uint8_t want = t == 0 ? 0x66 : t == 1 ? 0x00 : 0x05;
                    const size_t size = t == 0 ? 32 : t == 1 ? 131 : 32;
                    if (!r.ok || r.status != 0 || r.code != want || r.data.size() != size)
                        ++bad;
                }
            });
        }
        for (auto& th : threads)
            th.join();
        QCOMPARE(bad.load(), 0);
        QCOMPARE(cam.pendingReplyFrames(), 0);
        QTRY_VERIFY_WITH_TIMEOUT(sink.count() >= 1, 5000);
    }

    void sceneIsReproducible()
    {
        SimSceneSettings s;
        s.fHotX = 100.0f;
        s.fHotY = 80.0f;
        const SimScene scene(s);
        const std::vector<float> a = scene.render(3.0, 7), b = scene.render(3.0, 7), c = scene.render(3.0, 8);
        QVERIFY(a == b);
        // Another frame differs by temporal noise of the set size only.
        double sum = 0.0, sq = 0.0;
        for (size_t i = 0; i < a.size(); ++i) {
            const double d = double(c[i]) - double(a[i]);
            sum += d;
            sq += d * d;
        }
        const double sigma = std::sqrt(sq / double(a.size()) - (sum / double(a.size())) * (sum / double(a.size())));
        QVERIFY2(std::fabs(sigma - 0.05 * std::sqrt(2.0)) < 0.01, qPrintable(QString::number(sigma)));
        // The hot object's core carries exactly its temperature and is the hottest spot.
        std::vector<float> ideal(a.size());
        scene.renderIdeal(3.0, ideal.data());
        QCOMPARE(ideal[size_t(80 * 256 + 100)], s.fHotTemper);
        QCOMPARE(*std::max_element(ideal.begin(), ideal.end()), s.fHotTemper);
        const SimMeasurement m = SimFrameFormat::measure(ideal.data(), 256, 192);
        QVERIFY(std::abs(m.nHotCol - 100) <= 6 && std::abs(m.nHotRow - 80) <= 6);
        QVERIFY(std::fabs(m.fMinTemper - s.fColdTemper) < 0.01f);
    }

    // One device for the machine: a second store on the same folder plays another process.
    void machineWideDevice()
    {
        QTemporaryDir dir;
        const std::string folder = dir.path().toStdString();
        QVERIFY(cam.configure("statedir=" + folder));
        SimDeviceStore other(folder);
        SimSharedState factory, seen;
        factory.version.assign(32, 'v');
        auto look = [&] { return other.transact(factory, [&](SimSharedState& s) { seen = s; }, nullptr); };

        // The open camera is taken for everyone else until it is closed, or its holder dies.
        std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
        int32_t count = 0;
        QVERIFY(api().GetUsbDeviceNum(&count, list.data()));
        QVERIFY(api().OpenUSBCam(&list[0]));
        std::string holder;
        QVERIFY(!other.claimSession(&holder));
        QCOMPARE(holder, "process " + std::to_string(getpid()));
        api().CloseUSBCam(list[0].nCamID);
        const pid_t child = fork();
        if (child == 0)
            _exit(SimDeviceStore(folder).claimSession(nullptr) ? 0 : 1);
        int status = -1;
        QCOMPARE(waitpid(child, &status, 0), child);
        QCOMPARE(WEXITSTATUS(status), 0);
        QVERIFY(other.claimSession(nullptr));
        QVERIFY(!api().OpenUSBCam(&list[0]));
        QVERIFY(cam.lastError().find("camera in use") != std::string::npos);
        other.releaseSession();

        // Tables written here are seen there, and the other way round.
        cam.setBadPixels({{3, 4}});
        QVERIFY(look());
        QCOMPARE(seen.pixels, std::vector<SimBadPixel>({{3, 4}}));
        QVERIFY(other.transact(factory, [](SimSharedState& s) { s.columns = {17}; s.workMode = 5; }, nullptr));
        QTRY_COMPARE(cam.badColumns(), std::vector<int>({17}));
        QVERIFY(cam.isSleeping());

        // A power cut from elsewhere: off the bus, working tables back to the saved (none).
        QVERIFY(api().OpenUSBCam(&list[0]));
        cam.cutPower();
        QVERIFY(!cam.isOpen());
        QVERIFY(!cam.isPresent());
        QTRY_VERIFY(cam.isPresent());
        QVERIFY(cam.badColumns().empty() && !cam.isSleeping());

        // A damaged state file is the factory state, with a warning instead of a crash.
        QFile state(QString::fromStdString(cam.stateFile()));
        QVERIFY(state.open(QIODevice::WriteOnly | QIODevice::Truncate));
        state.write("thermava-simcam-state 1\nboot x epoch banana\n");
        state.close();
        std::string warning;
        QVERIFY(other.transact(factory, [&](SimSharedState& s) { seen = s; }, &warning));
        QVERIFY(warning.find("damaged") != std::string::npos);
        QVERIFY(seen.pixels.empty() && seen.workMode == 4);
        QVERIFY(cam.configure("private"));
    }

    void switchesAndFrameHooks()
    {
        QVERIFY(!cam.configure("part=KRM2560202B2RT2;hot=70;bogus=1;fps=50"));
        QCOMPARE(cam.partNumber(), std::string("KRM2560202B2RT2"));
        QCOMPARE(cam.sceneSettings().fHotTemper, 70.0f);
        QVERIFY(!cam.configure("width=300"));
        QVERIFY(cam.configure(" drop = 25% @ 0x66 ; nofaults ; caps=none "));

        // Frames of any shape can be pushed at the registered callback.
        Sink sink;
        cam.setStreamPaused(true);
        QCOMPARE(cam.deliverRawFrame(nullptr, 10), -2);   // nothing registered yet
        QVERIFY(startStream(sink));
        QCOMPARE(cam.deliverRawFrame(nullptr, 100), -1);
        const Bytes shortFrame(100, 1);
        QCOMPARE(cam.deliverRawFrame(shortFrame.data(), 100, 1, 1), 0);
        QCOMPARE(sink.lastLength, 100);
        QCOMPARE(sink.nullCalls, 1);
        const uint64_t before = cam.frameNumber();
        QCOMPARE(cam.deliverFrameNow(), 0);
        QCOMPARE(cam.frameNumber(), before + 1);
    }
};

QTEST_MAIN(TestSimCam)
#include "test_simcam.moc"
