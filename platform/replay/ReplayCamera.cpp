#include "platform/replay/ReplayCamera.h"

#include "platform/replay/ReplayDump.h"
#include "platform/simcam/SimCamera.h"
#include "platform/simcam/SimProtocol.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fstream>
#include <iterator>
#include <mutex>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint8_t kCmdGeneral = 0x00;
constexpr uint8_t kSubStreamFormat = 0x4E;
constexpr uint8_t kCmdPartNumber = 0x66;

struct Replay
{
    std::mutex m;
    std::condition_variable cv;
    std::string path;
    std::string lastError;
    bool bLoaded = false;
    ReplayDumpHeader header;
    std::vector<ReplayDumpFrame> frames;
    bool bOpen = false;
    UsbStreamCallback cb = nullptr;
    void* user = nullptr;
    bool bStop = false;
    std::thread streamThread;
    // Replies the dump answers itself, read before the simulated camera's.
    std::deque<std::vector<uint8_t>> replies;

    // Must be called without the lock; the frame callback runs outside it.
    void stopStream()
    {
        std::thread t;
        {
            std::lock_guard<std::mutex> lk(m);
            bStop = true;
            cb = nullptr;
            user = nullptr;
            t = std::move(streamThread);
        }
        cv.notify_all();
        if (t.joinable() && t.get_id() != std::this_thread::get_id())
            t.join();
        else if (t.joinable())
            t.detach();
    }

    void streamLoop()
    {
        std::unique_lock<std::mutex> lk(m);
        const Clock::time_point start = Clock::now();
        const uint64_t nFirstUs = frames.front().nTimeUs;
        // The gap after the last frame before the loop starts again: one frame period.
        const uint64_t nPeriodUs = 1000ull * 1000ull * 1000ull / header.nFrameRateMilli;
        const uint64_t nLoopUs = frames.back().nTimeUs - nFirstUs + nPeriodUs;
        for (uint64_t nLoop = 0; !bStop; ++nLoop) {
            for (size_t i = 0; i < frames.size() && !bStop; ++i) {
                const Clock::time_point due =
                    start + std::chrono::microseconds(nLoop * nLoopUs + frames[i].nTimeUs - nFirstUs);
                if (cv.wait_until(lk, due, [this] { return bStop; }))
                    return;
                const UsbStreamCallback pfn = cb;
                void* pUser = user;
                if (!pfn)
                    continue;
                // The frames stay untouched while the stream runs: a new file is loaded only
                // after the stream has stopped.
                std::vector<uint8_t>& bytes = frames[i].bytes;
                lk.unlock();
                pfn(header.nStreamWidth, header.nStreamHeight, bytes.data(), int(bytes.size()), pUser);
                lk.lock();
            }
        }
    }

    // A request the dump answers itself: the part number and the stream format.
    bool answerFromDump(const unsigned char* pData, int nLength)
    {
        SimProtocol::Transfer transfer;
        if (!SimProtocol::parseTransfer(pData, nLength, transfer).empty())
            return false;
        SimProtocol::Packet pkt;
        int nCode = -1;
        if (!SimProtocol::parsePacket(transfer.pData, transfer.nDataLength, pkt, nCode).empty())
            return false;
        std::vector<uint8_t> data;
        if (pkt.nCode == kCmdPartNumber && pkt.payload.empty()) {
            data.assign(32, 0);
            std::memcpy(data.data(), header.partNumber.data(), std::min<size_t>(header.partNumber.size(), 31));
        } else if (pkt.nCode == kCmdGeneral && pkt.payload.size() == 3 && pkt.payload[0] == kSubStreamFormat) {
            data.assign(65, 0);
            data[0] = kSubStreamFormat;
            SimProtocol::putLe16(data.data() + 1, uint16_t(header.nStreamWidth));
            SimProtocol::putLe16(data.data() + 3, uint16_t(header.nStreamHeight));
            SimProtocol::putLe16(data.data() + 5, uint16_t(header.nImageWidth));
            SimProtocol::putLe16(data.data() + 7, uint16_t(header.nImageHeight));
        } else {
            return false;
        }
        for (auto& frame : SimProtocol::buildReplyFrames(SimProtocol::buildPacket(pkt.nCode, 0, data)))
            replies.push_back(std::move(frame));
        return true;
    }
};

Replay& replay()
{
    static Replay r;
    return r;
}

bool replayGetUsbDeviceNum(int32_t* pnCount, UsbDeviceRecord* pList)
{
    Replay& r = replay();
    std::lock_guard<std::mutex> lk(r.m);
    if (pnCount)
        *pnCount = r.bLoaded ? 1 : 0;
    if (pList) {
        for (int i = 0; i < kUsbDeviceListSize; ++i) {
            std::memset(&pList[i], 0, sizeof pList[i]);
            pList[i].nCamID = -1;
        }
        if (r.bLoaded) {
            pList[0].nCamID = SimCamera::kCamID;
            std::snprintf(reinterpret_cast<char*>(pList[0].reserved), sizeof pList[0].reserved, "replay:%s",
                          r.path.c_str());
        }
    }
    return r.bLoaded;
}

bool replayOpenUSBCam(UsbDeviceRecord* pDevice)
{
    Replay& r = replay();
    {
        std::lock_guard<std::mutex> lk(r.m);
        if (!pDevice || !r.bLoaded || pDevice->nCamID != SimCamera::kCamID)
            return false;
    }
    // The command model is the simulated camera's; its own stream is never started. A
    // recording is not the machine's simulated camera: its tables and session are its own.
    SimCamera::instance().setPrivate(true);
    if (!SimCamera::instance().libOpenUSBCam(pDevice))
        return false;
    std::lock_guard<std::mutex> lk(r.m);
    r.bOpen = true;
    r.replies.clear();
    return true;
}

int replayInitUSBCam(UsbDeviceRecord* pDevice, int nStreamWidth, int nStreamHeight, int, int, int)
{
    Replay& r = replay();
    r.stopStream();
    std::lock_guard<std::mutex> lk(r.m);
    if (!pDevice || !r.bOpen || !r.bLoaded || pDevice->nCamID != SimCamera::kCamID)
        return -1;
    // Like a real device, the recording offers one size only.
    if (nStreamWidth != r.header.nStreamWidth || nStreamHeight != r.header.nStreamHeight) {
        r.lastError = "the recorded stream is " + std::to_string(r.header.nStreamWidth) + "x"
                      + std::to_string(r.header.nStreamHeight) + ", not " + std::to_string(nStreamWidth) + "x"
                      + std::to_string(nStreamHeight);
        return -2;
    }
    r.lastError.clear();
    r.bStop = false;
    r.streamThread = std::thread([&r] { r.streamLoop(); });
    return 0;
}

int replayRegisterUSBStreamCallBack(int nCamID, UsbStreamCallback pfnCallback, void* pUser)
{
    Replay& r = replay();
    std::lock_guard<std::mutex> lk(r.m);
    if (nCamID != SimCamera::kCamID || !r.streamThread.joinable() || !pfnCallback)
        return -1;
    r.cb = pfnCallback;
    r.user = pUser;
    return 0;
}

bool replaySendDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    Replay& r = replay();
    {
        std::lock_guard<std::mutex> lk(r.m);
        if (!r.bOpen || nCamID != SimCamera::kCamID || !pData || !pnLength)
            return false;
        if (r.answerFromDump(pData, *pnLength))
            return true;
    }
    return SimCamera::instance().libSendDeviceData(nCamID, pData, pnLength, nTimeoutMs);
}

bool replayRecvDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    Replay& r = replay();
    {
        std::lock_guard<std::mutex> lk(r.m);
        if (!r.bOpen || nCamID != SimCamera::kCamID || !pData || !pnLength)
            return false;
        if (!r.replies.empty()) {
            std::vector<uint8_t> frame = std::move(r.replies.front());
            r.replies.pop_front();
            const int nRoom = *pnLength;
            *pnLength = 0;
            if (int(frame.size()) > nRoom)
                return false;
            std::memcpy(pData, frame.data(), frame.size());
            *pnLength = int32_t(frame.size());
            return true;
        }
    }
    return SimCamera::instance().libRecvDeviceData(nCamID, pData, pnLength, nTimeoutMs);
}

void replayCloseUSBStreaming(int nCamID)
{
    if (nCamID == SimCamera::kCamID)
        replay().stopStream();
}

void replayCloseUSBCam(int nCamID)
{
    if (nCamID != SimCamera::kCamID)
        return;
    Replay& r = replay();
    r.stopStream();
    {
        std::lock_guard<std::mutex> lk(r.m);
        r.bOpen = false;
        r.replies.clear();
    }
    SimCamera::instance().libCloseUSBCam(nCamID);
}

void replayUinitUSBCam() { replayCloseUSBCam(SimCamera::kCamID); }

const CameraLibraryApi kReplayApi = {
    replayGetUsbDeviceNum,   replayOpenUSBCam,        replayInitUSBCam,
    replayRegisterUSBStreamCallBack, replaySendDeviceData, replayRecvDeviceData,
    replayCloseUSBStreaming, replayCloseUSBCam,       replayUinitUSBCam,
};

} // namespace

const CameraLibraryApi& replayCameraLibrary() { return kReplayApi; }

const CameraBackendEvents& replayCameraBackendEvents()
{
    static const CameraBackendEvents events = {
        // A file is never unplugged; the hot-plug monitor falls back to the kernel's events.
        [](std::function<void(bool)>) { return -1; },
        [](int) {},
        [] {
            Replay& r = replay();
            std::lock_guard<std::mutex> lk(r.m);
            CameraBackendDescription desc;
            desc.backend = "replay";
            desc.device = r.path;
            desc.nStreamWidth = r.header.nStreamWidth;
            desc.nStreamHeight = r.header.nStreamHeight;
            desc.lastError = r.lastError;
            return desc;
        },
    };
    return events;
}

bool replaySetFile(const std::string& path, std::string* pError)
{
    std::string error;
    ReplayDumpHeader header;
    std::vector<ReplayDumpFrame> frames;
    std::ifstream in(path, std::ios::binary);
    if (!in) {
        error = "cannot read the stream dump " + path + ": " + std::strerror(errno);
    } else {
        const std::vector<uint8_t> bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        if (in.bad())
            error = "cannot read the stream dump " + path;
        else if (std::string why = ReplayDump::parse(bytes, header, frames); !why.empty())
            error = path + ": " + why;
    }

    Replay& r = replay();
    r.stopStream();
    std::lock_guard<std::mutex> lk(r.m);
    r.path = path;
    r.lastError = error;
    r.bLoaded = error.empty();
    r.header = error.empty() ? header : ReplayDumpHeader();
    r.frames = error.empty() ? std::move(frames) : std::vector<ReplayDumpFrame>();
    if (!error.empty() && pError)
        *pError = error;
    return error.empty();
}
