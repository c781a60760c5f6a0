#pragma once
// A scripted camera library for the device tests: every call is logged, every received
// frame is taken from a queue the test fills (or from a responder that answers each sent
// request), so frame-level faults can be staged byte for byte.

#include "device/CommandFrame.h"
#include "device/DeviceCommands.h"
#include "platform/camlib/CameraLibrary.h"

#include <QMutex>
#include <QMutexLocker>
#include <QThread>
#include <algorithm>
#include <cstring>
#include <deque>
#include <functional>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

// One receive: whether the library call succeeds, the bytes it delivers, and the length it
// reports (-1: the number of bytes). The fake has no clock: a queued frame stands for one that
// arrives while the next request waits, so the short receives that empty the channel before
// a request find nothing.
struct FakeRecv
{
    bool bOk = true;
    Bytes bytes;
    int nReported = -1;
};

// A request as it left the host: the transfer frame and the inner packet's pieces.
struct FakeRequest
{
    Bytes frame;
    uint8_t nCode = 0;
    Bytes payload;
    int subCommand() const { return payload.empty() ? -1 : payload[0]; }
};

class FakeLib
{
public:
    static FakeLib& get()
    {
        static FakeLib lib;
        return lib;
    }

    // Binds the fake and restores a clean script.
    void install()
    {
        reset();
        setCameraLibrary(&api());
    }
    static void uninstall() { setCameraLibrary(nullptr); }

    void reset()
    {
        QMutexLocker lock(&m);
        calls.clear();
        requests.clear();
        recvQueue.clear();
        responder = nullptr;
        bEnumerates = true;
        bOpenOk = true;
        nInitResult = 0;
        nRegisterResult = 0;
        bSendOk = true;
        nInitWidth = nInitHeight = -1;
        registeredCallback = nullptr;
        registeredUser = nullptr;
        bYieldInRecv = false;
        bMute = false;
    }

    // ---- building replies ----------------------------------------------------------------
    static Bytes packet(uint8_t nCode, const Bytes& payload, uint8_t nStatus = 0)
    {
        Bytes out(payload.size() + CommandFrame::kPacketOverhead);
        CommandFrame::buildPacket(nCode, payload.data(), static_cast<int>(payload.size()), out.data(),
                                  static_cast<int>(out.size()), nStatus);
        return out;
    }
    static Bytes frame(const Bytes& data)
    {
        Bytes out(data.size() + CommandFrame::kFrameHeaderSize);
        CommandFrame::buildFrame(data.data(), static_cast<int>(data.size()), out.data(), static_cast<int>(out.size()));
        return out;
    }
    // The reply packet (without its two CRC bytes, which are not awaited) cut into frames of
    // at most nPiece data bytes.
    static std::vector<FakeRecv> replyFrames(uint8_t nCode, const Bytes& payload, uint8_t nStatus = 0, int nPiece = 960)
    {
        Bytes pkt = packet(nCode, payload, nStatus);
        pkt.resize(pkt.size() - 2);
        std::vector<FakeRecv> out;
        for (size_t off = 0; off < pkt.size(); off += static_cast<size_t>(nPiece)) {
            const size_t n = std::min(pkt.size() - off, static_cast<size_t>(nPiece));
            out.push_back({true, frame(Bytes(pkt.begin() + static_cast<long>(off), pkt.begin() + static_cast<long>(off + n))), -1});
        }
        return out;
    }

    void queueRecv(const FakeRecv& r)
    {
        QMutexLocker lock(&m);
        recvQueue.push_back(r);
    }
    void queueReply(uint8_t nCode, const Bytes& payload, uint8_t nStatus = 0, int nPiece = 960)
    {
        for (const FakeRecv& r : replyFrames(nCode, payload, nStatus, nPiece))
            queueRecv(r);
    }
    void queueRecvFailure() { queueRecv({false, {}, 0}); }
    std::vector<FakeRequest> sent() const
    {
        QMutexLocker lock(&m);
        return requests;
    }
    int callCount(const std::string& name) const
    {
        QMutexLocker lock(&m);
        return static_cast<int>(std::count(calls.begin(), calls.end(), name));
    }

    // ---- script -----------------------------------------------------------------------------
    mutable QMutex m{QMutex::Recursive};
    std::vector<std::string> calls;
    std::vector<FakeRequest> requests;
    std::deque<FakeRecv> recvQueue;
    // Called for every sent request (under the fake's lock) to queue its reply.
    std::function<void(const FakeRequest&)> responder;
    bool bEnumerates = true;
    bool bOpenOk = true;
    int nInitResult = 0;
    int nRegisterResult = 0;
    bool bSendOk = true;
    bool bYieldInRecv = false;
    bool bMute = false;   // a receive with nothing queued waits out its whole time-out
    int nInitWidth = -1;
    int nInitHeight = -1;
    UsbStreamCallback registeredCallback = nullptr;
    void* registeredUser = nullptr;

private:
    static const CameraLibraryApi& api()
    {
        static const CameraLibraryApi table = {
            [](int32_t* pnCount, UsbDeviceRecord* pList) {
                FakeLib& f = get();
                QMutexLocker lock(&f.m);
                f.calls.push_back("GetUsbDeviceNum");
                if (!f.bEnumerates)
                    return false;
                *pnCount = 1;
                std::memset(&pList[0], 0, sizeof(UsbDeviceRecord));
                pList[0].nCamID = 7;
                return true;
            },
            [](UsbDeviceRecord*) {
                FakeLib& f = get();
                QMutexLocker lock(&f.m);
                f.calls.push_back("OpenUSBCam");
                return f.bOpenOk;
            },
            [](UsbDeviceRecord*, int w, int h, int, int, int) {
                FakeLib& f = get();
                QMutexLocker lock(&f.m);
                f.calls.push_back("InitUSBCam");
                f.nInitWidth = w;
                f.nInitHeight = h;
                return f.nInitResult;
            },
            [](int, UsbStreamCallback cb, void* user) {
                FakeLib& f = get();
                QMutexLocker lock(&f.m);
                f.calls.push_back("RegisterUSBStreamCallBack");
                f.registeredCallback = cb;
                f.registeredUser = user;
                return f.nRegisterResult;
            },
            [](int, unsigned char* pData, int32_t* pnLength, int) {
                FakeLib& f = get();
                QMutexLocker lock(&f.m);
                f.calls.push_back("SendDeviceData");
                if (!f.bSendOk)
                    return false;
                FakeRequest req;
                req.frame.assign(pData, pData + *pnLength);
                if (*pnLength >= CommandFrame::kFrameHeaderSize + CommandFrame::kPacketOverhead) {
                    const uint8_t* pkt = pData + CommandFrame::kFrameHeaderSize;
                    req.nCode = pkt[3];
                    const int n = (pkt[4] << 8) | pkt[5];
                    req.payload.assign(pkt + 8, pkt + 8 + n);
                }
                f.requests.push_back(req);
                if (f.responder)
                    f.responder(req);
                return true;
            },
            [](int, unsigned char* pData, int32_t* pnLength, int nTimeoutMs) {
                FakeLib& f = get();
                if (f.bYieldInRecv)
                    QThread::yieldCurrentThread();
                if (f.bMute)
                    QThread::msleep(static_cast<unsigned long>(nTimeoutMs));
                QMutexLocker lock(&f.m);
                const bool bDrain = nTimeoutMs <= DeviceCmd::kDrainTimeoutMs;
                f.calls.push_back(bDrain ? "DrainDeviceData" : "RecvDeviceData");
                if (f.recvQueue.empty() || bDrain)
                    return false;   // time-out: nothing arrived
                FakeRecv r = f.recvQueue.front();
                f.recvQueue.pop_front();
                if (!r.bOk)
                    return false;
                const size_t n = std::min(r.bytes.size(), static_cast<size_t>(*pnLength));
                std::memcpy(pData, r.bytes.data(), n);
                *pnLength = r.nReported >= 0 ? r.nReported : static_cast<int32_t>(n);
                return true;
            },
            [](int) {
                FakeLib& f = get();
                QMutexLocker lock(&f.m);
                f.calls.push_back("CloseUSBStreaming");
            },
            [](int) {
                FakeLib& f = get();
                QMutexLocker lock(&f.m);
                f.calls.push_back("CloseUSBCam");
            },
            []() {
                FakeLib& f = get();
                QMutexLocker lock(&f.m);
                f.calls.push_back("UinitUSBCam");
            },
        };
        return table;
    }
};

// A responder that plays a well-behaved camera with the given identity.
struct FakeCamera
{
    std::string part = "KRM2560101A1RT1";
    bool bFormat = true;            // the stream-format query answers
    int nStreamW = 256, nStreamH = 196, nImageW = 256, nImageH = 192;
    Bytes capability = Bytes(128, 0);

    void operator()(const FakeRequest& r) const
    {
        FakeLib& f = FakeLib::get();
        if (r.nCode == 0x66) {
            Bytes text(part.begin(), part.end());
            text.resize(32, 0);
            f.queueReply(0x66, text);
        } else if (r.nCode == 0 && r.subCommand() == 0x4E) {
            if (!bFormat) {
                f.queueReply(0, {}, 22);
                return;
            }
            Bytes reply(65, 0);
            reply[0] = 0x4E;
            const int v[4] = {nStreamW, nStreamH, nImageW, nImageH};
            for (int i = 0; i < 4; ++i) {
                reply[1 + 2 * i] = static_cast<uint8_t>(v[i]);
                reply[2 + 2 * i] = static_cast<uint8_t>(v[i] >> 8);
            }
            f.queueReply(0, reply);
        } else if (r.nCode == 0 && r.subCommand() == 0x63) {
            Bytes reply = {0x63, 0, 1};
            reply.insert(reply.end(), capability.begin(), capability.end());
            f.queueReply(0, reply);
        } else {
            // Everything else: status 0 with the sub-command echoed.
            Bytes reply;
            if (!r.payload.empty())
                reply.push_back(r.payload[0]);
            f.queueReply(r.nCode, reply);
        }
    }
};
