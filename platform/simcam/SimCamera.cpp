#include "platform/simcam/SimCamera.h"

#include "platform/simcam/SimProtocol.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

const char* const kDefaultPart = "KRM2560101A1RT1";
const char* const kDefaultSerial = "TV2403150042";
// Character 5 is the hardware variant ('C'), characters 8-9 the platform ("MS"),
// characters 11-14 the build number that an installed image raises.
const char* const kDefaultVersion = "TV2.1C1.MS.0101.20240312";

constexpr int kMaxBadPixels = 256;
constexpr size_t kCommandLogSize = 4096;
constexpr uint32_t kMaxImageBytes = 64u << 20;
// After a restart command the camera drops off the bus as soon as its reply has been
// read, or this long after queuing it when nobody reads it.
constexpr int kRestartGraceMs = 300;
constexpr int kSaveMs = 60;          // flash write of the tables
constexpr double kSleepFps = 1.0;    // standby keeps the stream alive with a grey frame a second
constexpr float kFpnGrowthDefault = 0.004f;   // degrees per second since the last correction
constexpr float kFpnMax = 0.8f;

std::string fixedText(const std::string& s, size_t n)
{
    std::string r = s.substr(0, n);
    r.resize(n, '\0');
    return r;
}

struct FaultRule
{
    SimFault fault;
    int nCode;
    int nRemaining;
    double share;
};

struct Reply
{
    uint8_t nStatus = SimCamera::kStatusOk;
    std::vector<uint8_t> data;
    int nDelayMs = 0;
    bool bRestart = false;
};

struct OutFrame
{
    std::vector<uint8_t> bytes;
    Clock::time_point ready;
    bool bRestart = false;
};

// Everything one frame needs, copied under the lock so that rendering runs without it.
struct FrameJob
{
    SimStreamLayout layout;
    SimSceneSettings scene;
    double t = 0.0;
    uint64_t nFrame = 0;
    float fFpn = 0.0f;
    std::shared_ptr<const SimSensor> sensor;
    std::vector<SimBadPixel> pixels;
    std::vector<int> columns;
    bool bSleeping = false;
};

void renderFrame(const FrameJob& job, std::vector<float>& work, std::vector<uint8_t>& grey,
                 std::vector<uint8_t>& frame, SimMeasurement& meas)
{
    const SimStreamLayout& l = job.layout;
    const int w = l.nImageWidth, h = l.nImageHeight;
    frame.resize(size_t(l.frameBytes()));
    grey.resize(size_t(w) * size_t(h));
    uint8_t trailer[SimFrameFormat::kTrailerSize];
    meas = SimMeasurement();
    meas.nFrame = job.nFrame;
    if (job.bSleeping) {
        // The sensor is off: no picture and no measurement.
        std::fill(grey.begin(), grey.end(), uint8_t(128));
        SimFrameFormat::writeTrailer(trailer, meas, w, h);
        SimFrameFormat::composeFrame(l, grey.data(), nullptr, trailer, frame.data());
        return;
    }
    work.resize(size_t(w) * size_t(h));
    SimScene scene(job.scene);
    scene.render(job.t, job.nFrame, work.data());
    const SimSceneSettings& s = job.scene;
    const float low = s.fRoomTemper - 0.6f * (s.fRoomTemper - s.fColdTemper);
    const float high = s.fRoomTemper + 0.6f * (s.fBodyTemper - s.fRoomTemper);
    job.sensor->expose(work.data(), job.fFpn, std::min(low, high), std::max(low, high), job.nFrame);
    SimSensor::hideDefects(work.data(), w, h, job.pixels, job.columns);
    meas = SimFrameFormat::measure(work.data(), w, h);
    meas.nFrame = job.nFrame;
    SimFrameFormat::toGrey(work.data(), w * h, meas.fMinTemper, meas.fMaxTemper, grey.data());
    SimFrameFormat::writeTrailer(trailer, meas, w, h);
    SimFrameFormat::composeFrame(l, grey.data(), work.data(), trailer, frame.data());
}

} // namespace

struct SimCamera::State
{
    mutable std::mutex m;
    std::condition_variable cvReply;
    std::condition_variable cvStream;
    std::condition_variable cvBus;

    // switches
    bool bPlugged = true;
    std::string part, serial, version;
    bool bCapSr = false, bCapLowTemp = false, bFormatQuery = true;
    int nImageWidth = 256;
    double fps = 25.0;
    SimSceneSettings scene;
    double fixedTime = -1.0;
    uint32_t nSeed = 1;
    int restartMs = 5000, installMs = 3000, shutterMs = 250, slowMs = 1000;
    int pieceSize = SimProtocol::kMaxPieceData;
    float fpnRate = kFpnGrowthDefault;
    std::vector<FaultRule> faults;
    std::mt19937 rng{1};

    // bus
    bool bRestartPending = false;
    Clock::time_point restartAt;
    bool bBusOff = false;
    Clock::time_point busOffUntil;
    std::deque<bool> events;
    std::thread busThread;
    bool bBusStop = false;
    int restartCount = 0;

    // session
    bool bOpen = false, bInit = false;
    int initW = 0, initH = 0;
    UsbStreamCallback cb = nullptr;
    void* user = nullptr;
    SimStreamLayout layout;
    std::thread streamThread;
    uint64_t streamRun = 0;
    uint64_t streamKick = 0;
    bool bPaused = false;
    std::deque<OutFrame> replies;

    // camera
    Clock::time_point powerOn, lastFfc, shutterUntil;
    int workMode = 4, gain = 0, autoGain = 1, colour = 0, sharp = 0, srMode = 0, usbMode = 0, gear = 0,
        gearAuto = 0;
    std::vector<SimBadPixel> pixels, savedPixels, pendingPixels;
    std::vector<bool> pendingPixelSet;
    std::vector<int> columns, savedColumns, pendingColumns;
    std::shared_ptr<const SimSensor> sensor;

    // firmware
    std::vector<uint8_t> image;
    uint32_t imageLen = 0, received = 0;
    bool bInstalling = false, bInstalled = false;
    Clock::time_point installStart;
    int installCount = 0;

    // records
    uint64_t nCommands = 0;
    std::map<int, uint64_t> countByCode;
    std::map<std::pair<int, int>, uint64_t> countBySub;
    std::deque<SimCommandRecord> log;
    uint64_t nProtoErrors = 0;
    std::string lastProtoError;
    uint64_t nFrames = 0;
    SimMeasurement lastMeas;

    std::map<int, std::function<void(bool)>> listeners;
    int nextListener = 1;

    // ---------------------------------------------------------------------------------------

    void applyDefaults(Clock::time_point now)
    {
        bPlugged = true;
        part = kDefaultPart;
        serial = kDefaultSerial;
        version = fixedText(kDefaultVersion, 32);
        bCapSr = bCapLowTemp = false;
        bFormatQuery = true;
        nImageWidth = 256;
        fps = 25.0;
        scene = SimSceneSettings();
        fixedTime = -1.0;
        nSeed = 1;
        scene.nSeed = nSeed;
        restartMs = 5000;
        installMs = 3000;
        shutterMs = 250;
        slowMs = 1000;
        pieceSize = SimProtocol::kMaxPieceData;
        fpnRate = kFpnGrowthDefault;
        faults.clear();
        rng.seed(nSeed);
        bRestartPending = bBusOff = false;
        events.clear();
        restartCount = 0;
        bPaused = false;
        savedPixels.clear();
        savedColumns.clear();
        installCount = 0;
        nCommands = 0;
        countByCode.clear();
        countBySub.clear();
        log.clear();
        nProtoErrors = 0;
        lastProtoError.clear();
        nFrames = 0;
        lastMeas = SimMeasurement();
        sensor.reset();
        powerCycle(now);
    }

    // What survives losing power: the saved tables and the installed software.
    void powerCycle(Clock::time_point now)
    {
        workMode = 4;
        gain = 0;
        autoGain = 1;
        colour = sharp = srMode = usbMode = gear = gearAuto = 0;
        pixels = savedPixels;
        columns = savedColumns;
        pendingPixels.clear();
        pendingPixelSet.clear();
        pendingColumns.clear();
        image.clear();
        imageLen = received = 0;
        bInstalling = bInstalled = false;
        powerOn = lastFfc = shutterUntil = now;
    }

    bool onBus() const { return bPlugged && !bBusOff; }

    SimStreamLayout currentLayout() const
    {
        return bInit ? layout : SimFrameFormat::layoutFor(part, nImageWidth);
    }

    void kick()
    {
        ++streamKick;
        cvStream.notify_all();
    }

    void killSession()
    {
        bOpen = bInit = false;
        cb = nullptr;
        user = nullptr;
        replies.clear();
        ++streamRun;
        cvStream.notify_all();
        cvReply.notify_all();
    }

    void pushEvent(bool bArrived)
    {
        events.push_back(bArrived);
        cvBus.notify_all();
    }

    void advance(Clock::time_point now)
    {
        if (bRestartPending && now >= restartAt) {
            bRestartPending = false;
            const bool bWasOnBus = onBus();
            bBusOff = true;
            busOffUntil = now + Ms(restartMs);
            killSession();
            if (bWasOnBus)
                pushEvent(false);
        }
        if (bBusOff && now >= busOffUntil) {
            bBusOff = false;
            powerCycle(now);
            ++restartCount;
            if (bPlugged)
                pushEvent(true);
        }
        if (bInstalling && now >= installStart + Ms(installMs))
            finishInstall();
    }

    void finishInstall()
    {
        bInstalling = false;
        bInstalled = true;
        ++installCount;
        // The new software announces itself with the next build number.
        bool bDigits = true;
        for (int i = 11; i <= 14; ++i)
            bDigits = bDigits && version[size_t(i)] >= '0' && version[size_t(i)] <= '9';
        const int build = bDigits ? std::atoi(version.substr(11, 4).c_str()) : 0;
        char text[8];
        std::snprintf(text, sizeof text, "%04d", (build + 1) % 10000);
        version.replace(11, 4, text, 4);
    }

    int progress(Clock::time_point now) const
    {
        if (bInstalled)
            return 100;
        if (!bInstalling || installMs <= 0)
            return 0;
        const auto elapsed = std::chrono::duration_cast<Ms>(now - installStart).count();
        return int(std::clamp<long long>(elapsed * 100 / installMs, 0, 99));
    }

    void ensureBusThread()
    {
        if (!busThread.joinable() && !bBusStop)
            busThread = std::thread([this] { busLoop(); });
    }

    void busLoop()
    {
        std::unique_lock<std::mutex> lk(m);
        while (!bBusStop) {
            advance(Clock::now());
            if (!events.empty()) {
                std::deque<bool> ev;
                ev.swap(events);
                std::vector<std::function<void(bool)>> ls;
                for (auto& kv : listeners)
                    ls.push_back(kv.second);
                lk.unlock();
                for (bool b : ev)
                    for (auto& l : ls)
                        l(b);
                lk.lock();
                continue;
            }
            bool bHas = false;
            Clock::time_point next;
            auto consider = [&](Clock::time_point t) {
                if (!bHas || t < next)
                    next = t;
                bHas = true;
            };
            if (bRestartPending)
                consider(restartAt);
            if (bBusOff)
                consider(busOffUntil);
            if (bInstalling)
                consider(installStart + Ms(installMs));
            if (bHas)
                cvBus.wait_until(lk, next);
            else
                cvBus.wait(lk);
        }
    }

    // Stops the stream thread and waits for it (never from the stream thread itself).
    void joinStream(std::unique_lock<std::mutex>& lk)
    {
        ++streamRun;
        cvStream.notify_all();
        std::thread t = std::move(streamThread);
        if (!t.joinable())
            return;
        if (t.get_id() == std::this_thread::get_id()) {
            t.detach();
            return;
        }
        lk.unlock();
        t.join();
        lk.lock();
    }

    std::shared_ptr<const SimSensor> sensorFor(int w, int h)
    {
        if (!sensor || sensor->width() != w || sensor->height() != h)
            sensor = std::make_shared<SimSensor>(w, h, nSeed);
        return sensor;
    }

    FrameJob makeJob(Clock::time_point now)
    {
        FrameJob job;
        job.layout = layout;
        job.scene = scene;
        job.scene.nWidth = layout.nImageWidth;
        job.scene.nHeight = layout.nImageHeight;
        job.t = fixedTime >= 0.0 ? fixedTime : std::chrono::duration<double>(now - powerOn).count();
        job.nFrame = ++nFrames;
        job.fFpn = fpnAmplitude(now);
        job.sensor = sensorFor(layout.nImageWidth, layout.nImageHeight);
        job.pixels = pixels;
        job.columns = columns;
        job.bSleeping = workMode == 5;
        return job;
    }

    float fpnAmplitude(Clock::time_point now) const
    {
        const double sinceFfc = std::chrono::duration<double>(now - lastFfc).count();
        return std::min(kFpnMax, float(sinceFfc) * fpnRate);
    }

    void streamLoop(uint64_t run)
    {
        std::unique_lock<std::mutex> lk(m);
        std::vector<float> work;
        std::vector<uint8_t> grey, frame;
        auto next = Clock::now();
        uint64_t seenKick = streamKick;
        while (run == streamRun) {
            const bool bKicked = cvStream.wait_until(lk, next, [&] { return run != streamRun || seenKick != streamKick; });
            if (run != streamRun)
                break;
            auto now = Clock::now();
            if (bKicked) {
                // Something changed the stream (wake, new callback): start a fresh beat.
                seenKick = streamKick;
                next = now;
                continue;
            }
            advance(now);
            if (run != streamRun || !bInit)
                break;
            const double rate = workMode == 5 ? kSleepFps : std::clamp(fps, 0.1, 240.0);
            next += std::chrono::duration_cast<Clock::duration>(std::chrono::duration<double>(1.0 / rate));
            if (next < now)
                next = now;   // fell behind (a slow consumer): no burst of late frames
            if (bPaused || now < shutterUntil || !cb)
                continue;
            FrameJob job = makeJob(now);
            lk.unlock();
            SimMeasurement meas;
            renderFrame(job, work, grey, frame, meas);
            lk.lock();
            if (run != streamRun || !cb)
                continue;
            lastMeas = meas;
            UsbStreamCallback f = cb;
            void* u = user;
            const int sw = job.layout.nStreamWidth, sh = job.layout.nStreamHeight;
            lk.unlock();
            f(sw, sh, frame.data(), int(frame.size()), u);
            lk.lock();
        }
    }

    void protoError(const std::string& text)
    {
        ++nProtoErrors;
        lastProtoError = text;
    }

    void record(const SimProtocol::Packet& pkt)
    {
        SimCommandRecord r;
        r.nCode = pkt.nCode;
        r.payload = pkt.payload;
        ++countByCode[pkt.nCode];
        ++countBySub[{pkt.nCode, r.subCommand()}];
        log.push_back(std::move(r));
        while (log.size() > kCommandLogSize)
            log.pop_front();
    }

    struct FaultHits
    {
        bool drop = false, wrong = false, s22 = false, magic = false, slow = false, oversize = false;
    };

    FaultHits decideFaults(uint8_t nCode)
    {
        FaultHits h;
        std::uniform_real_distribution<double> uni(0.0, 1.0);
        for (FaultRule& f : faults) {
            if (f.nCode >= 0 && f.nCode != nCode)
                continue;
            bool bHit = false;
            if (f.nRemaining > 0) {
                --f.nRemaining;
                bHit = true;
            } else if (f.share > 0.0) {
                bHit = uni(rng) < f.share;
            }
            if (!bHit)
                continue;
            switch (f.fault) {
            case SimFault::DropReply: h.drop = true; break;
            case SimFault::WrongCode: h.wrong = true; break;
            case SimFault::Status22: h.s22 = true; break;
            case SimFault::BadMagic: h.magic = true; break;
            case SimFault::SlowReply: h.slow = true; break;
            case SimFault::OversizeLength: h.oversize = true; break;
            }
        }
        faults.erase(std::remove_if(faults.begin(), faults.end(),
                                    [](const FaultRule& f) { return f.nRemaining <= 0 && f.share <= 0.0; }),
                     faults.end());
        return h;
    }

    void queueReply(uint8_t nCode, const Reply& r, Clock::time_point now, const FaultHits& h)
    {
        if (h.drop)
            return;
        std::vector<std::vector<uint8_t>> frames =
            SimProtocol::buildReplyFrames(SimProtocol::buildPacket(nCode, r.nStatus, r.data), pieceSize);
        if (h.magic) {
            // A corrupted reply: the rest of it is lost with the damaged frame.
            frames.resize(1);
            frames[0][3] = 'X';
        }
        if (h.oversize) {
            const uint32_t n = SimProtocol::getLe32(frames[0].data() + 40) + 512;
            SimProtocol::putLe32(frames[0].data() + 40, n);
        }
        const auto ready = now + Ms(r.nDelayMs + (h.slow ? slowMs : 0));
        for (size_t i = 0; i < frames.size(); ++i) {
            OutFrame f;
            f.bytes = std::move(frames[i]);
            f.ready = ready;
            f.bRestart = r.bRestart && i + 1 == frames.size();
            replies.push_back(std::move(f));
        }
        cvReply.notify_all();
    }

    // ---- commands ---------------------------------------------------------------------------

    static Reply invalid()
    {
        Reply r;
        r.nStatus = SimCamera::kStatusInvalid;
        return r;
    }

    static Reply echo(uint8_t nSub)
    {
        Reply r;
        r.data = {nSub};
        return r;
    }

    Reply execute(const SimProtocol::Packet& pkt, Clock::time_point now)
    {
        const std::vector<uint8_t>& p = pkt.payload;
        const size_t n = p.size();
        Reply r;
        switch (pkt.nCode) {
        case 0x00:
            return executeZero(p, now);
        case 0x02:
            if (n > 1 || (n == 1 && p[0] != 0))
                return invalid();
            bRestartPending = true;
            restartAt = now + Ms(kRestartGraceMs);
            r.bRestart = true;
            ensureBusThread();
            cvBus.notify_all();
            return r;
        case 0x04:
            if (n != 0)
                return invalid();
            r.data.assign(serial.begin(), serial.end());
            r.data.push_back(0);
            return r;
        case 0x05:
            if (n != 0)
                return invalid();
            r.data.assign(version.begin(), version.end());
            return r;
        case 0x0A: {
            if (n != 2)
                return invalid();
            const int v = SimProtocol::getBe16(p.data());
            if (v > 2)
                return invalid();
            gain = v;
            return r;
        }
        case 0x0C:
            if (n != 0)
                return invalid();
            if (workMode == 5) {
                r.nStatus = SimCamera::kStatusBusy;
                return r;
            }
            // The shutter closes for a moment; the fixed pattern starts again from zero.
            lastFfc = now;
            shutterUntil = now + Ms(shutterMs);
            return r;
        case 0x10: {
            if (n != 2)
                return invalid();
            const int v = SimProtocol::getBe16(p.data());
            if (v > 13)
                return invalid();
            colour = v;
            return r;
        }
        case 0x50:
            return executeGain(p);
        case 0x66:
            if (n != 0)
                return invalid();
            r.data.assign(32, 0);
            std::memcpy(r.data.data(), part.data(), std::min<size_t>(part.size(), 31));
            return r;
        case 0xE3:
            if (n != 2 || p[0] != 0)
                return invalid();
            sharp = p[1];
            return r;
        default:
            return invalid();
        }
    }

    Reply executeGain(const std::vector<uint8_t>& p)
    {
        const size_t n = p.size();
        if (n < 2 || p[1] != 0x04)
            return invalid();
        switch (p[0]) {
        case 0x8E:
            if (n != 3 || p[2] > 1)
                return invalid();
            autoGain = p[2];
            return echo(0x8E);
        case 0x96: {
            if (!bCapLowTemp || n != 34)
                return invalid();
            const uint32_t g = SimProtocol::getLe32(p.data() + 2);
            if (g > 1 || p[6] > 1)
                return invalid();
            gear = int(g);
            gearAuto = p[6];
            return echo(0x96);
        }
        case 0x97: {
            if (!bCapLowTemp || n != 2)
                return invalid();
            Reply r;
            r.data = {0x97, 0x04, 0x00, 0, 0, 0, 0, uint8_t(gearAuto)};
            SimProtocol::putLe32(r.data.data() + 3, uint32_t(gear));
            return r;
        }
        default:
            return invalid();
        }
    }

    Reply executeZero(const std::vector<uint8_t>& p, Clock::time_point now)
    {
        const size_t n = p.size();
        Reply r;
        if (n == 0)
            return r;   // liveness probe
        switch (p[0]) {
        case 0x4E: {
            if (n != 3 || p[1] != 0 || p[2] != 0 || !bFormatQuery)
                return invalid();
            const SimStreamLayout l = SimFrameFormat::layoutFor(part, nImageWidth);
            r.data.assign(65, 0);
            r.data[0] = 0x4E;
            SimProtocol::putLe16(r.data.data() + 1, uint16_t(l.nStreamWidth));
            SimProtocol::putLe16(r.data.data() + 3, uint16_t(l.nStreamHeight));
            SimProtocol::putLe16(r.data.data() + 5, uint16_t(l.nImageWidth));
            SimProtocol::putLe16(r.data.data() + 7, uint16_t(l.nImageHeight));
            return r;
        }
        case 0x63:
            if (n != 3)
                return invalid();
            if (p[1] == 0 && p[2] == 1) {
                r.data = {0x63, 0x00, 0x01};
                const std::vector<uint8_t> caps = capabilityBlock();
                r.data.insert(r.data.end(), caps.begin(), caps.end());
            } else {
                r.data = {0x63, 0xFF, 0xFF};   // no such capability page
            }
            return r;
        case 0x0D:
            if (n != 3 || p[1] != 0 || (p[2] != 4 && p[2] != 5))
                return invalid();
            if (workMode != p[2]) {
                workMode = p[2];
                kick();
            }
            return echo(0x0D);
        case 0x17:
            if (!bCapSr || n != 2 || p[1] > 1)
                return invalid();
            srMode = p[1];
            return echo(0x17);
        case 0x72:
            if (n != 2)
                return invalid();
            usbMode = p[1];
            return echo(0x72);
        case 0x02:
            return executeTables(p);
        case 0x22:
            return executeChunk(p, now);
        case 0x2B:
            if (n != 1)
                return invalid();
            r.data = {0x2B};
            SimProtocol::putBe16(r.data, uint16_t(progress(now)));
            return r;
        default:
            return invalid();
        }
    }

    std::vector<uint8_t> capabilityBlock() const
    {
        std::vector<uint8_t> caps(128, 0);
        caps[0] = 1;   // block layout version
        caps[8] = bCapSr ? 1 : 0;
        caps[13] = bCapLowTemp ? 1 : 0;
        return caps;
    }

    Reply executeTables(const std::vector<uint8_t>& p)
    {
        const size_t n = p.size();
        if (n < 3)
            return invalid();
        const SimStreamLayout l = currentLayout();
        auto u16 = [&](size_t at) { return int(SimProtocol::getBe16(p.data() + at)); };
        Reply r;
        if (p[1] == 0xFB && p[2] == 0x01 && n == 5) {
            const int entry = u16(3);
            const int count = int(columns.size());
            if (entry < 1 || (entry > count && !(count == 0 && entry == 1)))
                return invalid();
            r.data = {0x02, 0xFB, 0x01};   // the operation is echoed in front of the entry
            SimProtocol::putBe16(r.data, uint16_t(count));
            SimProtocol::putBe16(r.data, uint16_t(count ? entry : 0));
            SimProtocol::putBe16(r.data, uint16_t(count ? columns[size_t(entry - 1)] : 0));
            return r;
        }
        if (p[1] == 0xFB && p[2] == 0x02 && n == 9) {
            const int count = u16(3), entry = u16(5), col = u16(7);
            if (count == 0) {
                columns.clear();
                pendingColumns.clear();
                return echo(0x02);
            }
            if (count > l.nImageWidth || entry < 1 || entry > count || col >= l.nImageWidth)
                return invalid();
            if (entry == 1)
                pendingColumns.assign(size_t(count), -1);
            else if (int(pendingColumns.size()) != count)
                return invalid();
            pendingColumns[size_t(entry - 1)] = col;
            if (entry == count) {
                // The table takes effect once its last entry arrives complete.
                const bool bComplete =
                    std::find(pendingColumns.begin(), pendingColumns.end(), -1) == pendingColumns.end();
                if (bComplete)
                    columns = pendingColumns;
                pendingColumns.clear();
                if (!bComplete)
                    return invalid();
            }
            return echo(0x02);
        }
        if (p[1] == 0xFC && p[2] == 0x04 && n == 5) {
            const int entry = u16(3);
            const int count = int(pixels.size());
            if (entry < 1 || (entry > count && !(count == 0 && entry == 1)))
                return invalid();
            r.data = {0x02, 0xFC, 0x04};
            SimProtocol::putBe16(r.data, uint16_t(count));
            SimProtocol::putBe16(r.data, uint16_t(count ? entry : 0));
            SimProtocol::putBe16(r.data, uint16_t(count ? pixels[size_t(entry - 1)].nCol : 0));
            SimProtocol::putBe16(r.data, uint16_t(count ? pixels[size_t(entry - 1)].nRow : 0));
            return r;
        }
        if (p[1] == 0xFC && p[2] == 0x04 && n == 11) {
            const int count = u16(3), entry = u16(5), col = u16(7), row = u16(9);
            if (count == 0) {
                pixels.clear();
                pendingPixels.clear();
                pendingPixelSet.clear();
                return echo(0x02);
            }
            if (count > kMaxBadPixels || entry < 1 || entry > count || col >= l.nImageWidth || row >= l.nImageHeight)
                return invalid();
            if (entry == 1) {
                pendingPixels.assign(size_t(count), SimBadPixel());
                pendingPixelSet.assign(size_t(count), false);
            } else if (int(pendingPixels.size()) != count) {
                return invalid();
            }
            pendingPixels[size_t(entry - 1)] = {col, row};
            pendingPixelSet[size_t(entry - 1)] = true;
            if (entry == count) {
                const bool bComplete =
                    std::find(pendingPixelSet.begin(), pendingPixelSet.end(), false) == pendingPixelSet.end();
                if (bComplete)
                    pixels = pendingPixels;
                pendingPixels.clear();
                pendingPixelSet.clear();
                if (!bComplete)
                    return invalid();
            }
            return echo(0x02);
        }
        if (p[1] == 0xFC && p[2] == 0x03 && n == 3) {
            savedPixels = pixels;
            savedColumns = columns;
            r = echo(0x02);
            r.nDelayMs = kSaveMs;
            return r;
        }
        return invalid();
    }

    Reply executeChunk(const std::vector<uint8_t>& p, Clock::time_point now)
    {
        const size_t n = p.size();
        if (n < 10)
            return invalid();
        const uint32_t total = SimProtocol::getBe32(p.data() + 1);
        const uint32_t offset = SimProtocol::getBe32(p.data() + 5);
        const uint32_t len = uint32_t(n - 9);
        if (total == 0 || total > kMaxImageBytes)
            return invalid();
        if (offset == 0) {
            // A transfer starts (or starts over) with its first chunk.
            image.assign(total, 0);
            imageLen = total;
            received = 0;
            bInstalling = bInstalled = false;
        } else if (image.empty() || imageLen != total) {
            return invalid();
        }
        if (uint64_t(offset) + len > total)
            return invalid();
        if (offset > received) {
            Reply r;
            r.nStatus = SimCamera::kStatusIo;   // a gap: the chunk before it never arrived
            return r;
        }
        // A chunk may come again when its reply was lost; it simply overwrites itself.
        std::memcpy(image.data() + offset, p.data() + 9, len);
        received = std::max(received, offset + len);
        if (received == imageLen && !bInstalling && !bInstalled) {
            bInstalling = true;
            installStart = now;
            cvBus.notify_all();
        }
        return echo(0x22);
    }

    // ---- switches ---------------------------------------------------------------------------

    bool configureEntry(const std::string& key, const std::string& value, bool bHasValue,
                        std::vector<bool>& hotplug, SimCamera& camera);
};

namespace {

std::string trim(const std::string& s)
{
    const size_t a = s.find_first_not_of(" \t\r\n");
    if (a == std::string::npos)
        return {};
    const size_t b = s.find_last_not_of(" \t\r\n");
    return s.substr(a, b - a + 1);
}

bool parseInt(const std::string& s, long& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    out = std::strtol(s.c_str(), &end, 0);
    return end && *end == '\0';
}

bool parseDouble(const std::string& s, double& out)
{
    if (s.empty())
        return false;
    char* end = nullptr;
    out = std::strtod(s.c_str(), &end);
    return end && *end == '\0';
}

bool parseBool(const std::string& value, bool bHasValue, bool& out)
{
    if (!bHasValue) {
        out = true;
        return true;
    }
    long v = 0;
    if (!parseInt(value, v))
        return false;
    out = v != 0;
    return true;
}

bool faultFromKey(const std::string& key, SimFault& fault)
{
    static const std::pair<const char*, SimFault> kNames[] = {
        {"drop", SimFault::DropReply},   {"wrongcode", SimFault::WrongCode}, {"status22", SimFault::Status22},
        {"badmagic", SimFault::BadMagic}, {"slow", SimFault::SlowReply},     {"oversize", SimFault::OversizeLength},
    };
    for (const auto& n : kNames) {
        if (key == n.first) {
            fault = n.second;
            return true;
        }
    }
    return false;
}

} // namespace

bool SimCamera::State::configureEntry(const std::string& key, const std::string& value, bool bHasValue,
                                      std::vector<bool>& hotplug, SimCamera& camera)
{
    long n = 0;
    double x = 0.0;
    bool b = false;
    SimFault fault;
    if (key == "absent") {
        if (!parseBool(value, bHasValue, b))
            return false;
        camera.setPresent(!b);
    } else if (key == "part" && bHasValue) {
        camera.setPartNumber(value);
    } else if (key == "serial" && bHasValue) {
        camera.setSerialNumber(value);
    } else if (key == "version" && bHasValue) {
        camera.setSoftwareVersion(value);
    } else if (key == "caps") {
        bool bSr = false, bLow = false;
        size_t start = 0;
        while (start <= value.size()) {
            const size_t comma = value.find(',', start);
            const std::string item = trim(value.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
            if (item == "sr")
                bSr = true;
            else if (item == "lowtemp")
                bLow = true;
            else if (!item.empty() && item != "none")
                return false;
            if (comma == std::string::npos)
                break;
            start = comma + 1;
        }
        camera.setCapabilities(bSr, bLow);
    } else if (key == "noformat") {
        if (!parseBool(value, bHasValue, b))
            return false;
        camera.setStreamFormatQuery(!b);
    } else if (key == "width") {
        if (!parseInt(value, n) || (n != 256 && n != 512))
            return false;
        camera.setImageWidth(int(n));
    } else if (key == "fps") {
        if (!parseDouble(value, x) || x <= 0.0)
            return false;
        camera.setFrameRate(x);
    } else if (key == "hot") {
        if (!parseDouble(value, x))
            return false;
        camera.setHotTemperature(float(x));
    } else if (key == "seed") {
        if (!parseInt(value, n))
            return false;
        camera.setSeed(uint32_t(n));
    } else if (key == "fpnrate") {
        if (!parseDouble(value, x) || x < 0.0)
            return false;
        camera.setFixedPatternGrowth(float(x));
    } else if (key == "piece") {
        if (!parseInt(value, n) || n < 3 || n > SimProtocol::kMaxPieceData)
            return false;
        camera.setReplyPieceSize(int(n));
    } else if (key == "restartms" || key == "installms" || key == "shutterms" || key == "slowms") {
        if (!parseInt(value, n) || n < 0)
            return false;
        if (key == "restartms")
            camera.setRestartDurationMs(int(n));
        else if (key == "installms")
            camera.setInstallDurationMs(int(n));
        else if (key == "shutterms")
            camera.setShutterPauseMs(int(n));
        else
            camera.setSlowReplyMs(int(n));
    } else if (key == "nofaults") {
        camera.clearFaults();
    } else if (faultFromKey(key, fault) && bHasValue) {
        std::string amount = value;
        int nCode = -1;
        const size_t at = value.find('@');
        if (at != std::string::npos) {
            if (!parseInt(trim(value.substr(at + 1)), n) || n < 0 || n > 255)
                return false;
            nCode = int(n);
            amount = trim(value.substr(0, at));
        }
        if (!amount.empty() && amount.back() == '%') {
            if (!parseDouble(amount.substr(0, amount.size() - 1), x) || x < 0.0 || x > 100.0)
                return false;
            camera.setFaultShare(fault, x / 100.0, nCode);
        } else {
            if (!parseInt(amount, n) || n < 0)
                return false;
            camera.failNext(fault, int(n), nCode);
        }
    } else if (key == "unplug" && !bHasValue) {
        hotplug.push_back(false);
    } else if (key == "replug" && !bHasValue) {
        hotplug.push_back(true);
    } else {
        return false;
    }
    return true;
}

// =============================================================================================

SimCamera& SimCamera::instance()
{
    // Never destroyed: the camera link may still call the library while static objects are
    // torn down. Its threads are stopped at exit instead.
    static SimCamera* camera = [] {
        SimCamera* c = new SimCamera;
        std::atexit([] {
            State& s = *SimCamera::instance().d;
            std::unique_lock<std::mutex> lk(s.m);
            s.bBusStop = true;
            s.cvBus.notify_all();
            std::thread bus = std::move(s.busThread);
            s.killSession();
            s.joinStream(lk);
            lk.unlock();
            if (bus.joinable())
                bus.join();
        });
        if (const char* env = std::getenv("THERMAVA_SIM")) {
            if (!c->configure(env))
                std::fprintf(stderr, "THERMAVA_SIM: unknown or malformed entries ignored in \"%s\"\n", env);
        }
        return c;
    }();
    return *camera;
}

SimCamera::SimCamera() : d(new State)
{
    d->applyDefaults(Clock::now());
}

SimCamera::~SimCamera()
{
    std::unique_lock<std::mutex> lk(d->m);
    d->bBusStop = true;
    d->cvBus.notify_all();
    std::thread bus = std::move(d->busThread);
    d->killSession();
    d->joinStream(lk);
    lk.unlock();
    if (bus.joinable())
        bus.join();
}

bool SimCamera::configure(const std::string& spec)
{
    bool bOk = true;
    std::vector<bool> hotplug;
    size_t start = 0;
    while (start <= spec.size()) {
        const size_t semi = spec.find(';', start);
        const std::string entry = trim(spec.substr(start, semi == std::string::npos ? std::string::npos : semi - start));
        if (!entry.empty()) {
            const size_t eq = entry.find('=');
            const std::string key = trim(entry.substr(0, eq));
            const std::string value = eq == std::string::npos ? std::string() : trim(entry.substr(eq + 1));
            if (!d->configureEntry(key, value, eq != std::string::npos, hotplug, *this))
                bOk = false;
        }
        if (semi == std::string::npos)
            break;
        start = semi + 1;
    }
    for (bool bArrive : hotplug) {
        if (bArrive)
            replug();
        else
            unplug();
    }
    return bOk;
}

void SimCamera::reset()
{
    std::unique_lock<std::mutex> lk(d->m);
    d->killSession();
    d->joinStream(lk);
    d->applyDefaults(Clock::now());
    d->killSession();
}

// ---- switches -------------------------------------------------------------------------------

void SimCamera::setPresent(bool bPresent)
{
    std::lock_guard<std::mutex> lk(d->m);
    if (bPresent && !d->bPlugged) {
        d->bPlugged = true;
        if (!d->bBusOff)
            d->powerCycle(Clock::now());
    } else if (!bPresent && d->bPlugged) {
        d->bPlugged = false;
        d->killSession();
    }
}

bool SimCamera::isPresent() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->onBus();
}

void SimCamera::setPartNumber(const std::string& part)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->part = part;
}

std::string SimCamera::partNumber() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->part;
}

void SimCamera::setSerialNumber(const std::string& serial)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->serial = serial.substr(0, 31);
}

std::string SimCamera::serialNumber() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->serial;
}

void SimCamera::setSoftwareVersion(const std::string& version)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->version = fixedText(version, 32);
}

std::string SimCamera::softwareVersion() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->version;
}

void SimCamera::setCapabilities(bool bSuperRes, bool bLowTemp)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->bCapSr = bSuperRes;
    d->bCapLowTemp = bLowTemp;
}

std::vector<uint8_t> SimCamera::capabilityBlock() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->capabilityBlock();
}

void SimCamera::setStreamFormatQuery(bool bAnswers)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->bFormatQuery = bAnswers;
}

void SimCamera::setImageWidth(int nWidth)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->nImageWidth = nWidth >= 512 ? 512 : 256;
}

void SimCamera::setFrameRate(double fps)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->fps = std::clamp(fps, 0.1, 240.0);
    d->kick();
}

void SimCamera::setHotTemperature(float fDegC)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->scene.fHotTemper = fDegC;
}

void SimCamera::setSceneSettings(const SimSceneSettings& settings)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->scene = settings;
}

SimSceneSettings SimCamera::sceneSettings() const
{
    std::lock_guard<std::mutex> lk(d->m);
    SimSceneSettings s = d->scene;
    const SimStreamLayout l = d->currentLayout();
    s.nWidth = l.nImageWidth;
    s.nHeight = l.nImageHeight;
    return s;
}

void SimCamera::setSceneTime(double t)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->fixedTime = t;
}

void SimCamera::setSeed(uint32_t nSeed)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->nSeed = nSeed;
    d->scene.nSeed = nSeed;
    d->rng.seed(nSeed);
    d->sensor.reset();
}

// ---- faults -----------------------------------------------------------------------------------

void SimCamera::failNext(SimFault fault, int nCount, int nCode)
{
    std::lock_guard<std::mutex> lk(d->m);
    if (nCount > 0)
        d->faults.push_back({fault, nCode, nCount, 0.0});
}

void SimCamera::setFaultShare(SimFault fault, double share, int nCode)
{
    std::lock_guard<std::mutex> lk(d->m);
    auto& faults = d->faults;
    faults.erase(std::remove_if(faults.begin(), faults.end(),
                                [&](const FaultRule& f) {
                                    return f.fault == fault && f.nCode == nCode && f.nRemaining <= 0;
                                }),
                 faults.end());
    if (share > 0.0)
        faults.push_back({fault, nCode, 0, std::min(1.0, share)});
}

void SimCamera::clearFaults()
{
    std::lock_guard<std::mutex> lk(d->m);
    d->faults.clear();
}

void SimCamera::setSlowReplyMs(int nMs)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->slowMs = std::max(0, nMs);
}

void SimCamera::setFixedPatternGrowth(float fDegPerSecond)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->fpnRate = std::max(0.0f, fDegPerSecond);
}

float SimCamera::fixedPatternAmplitude() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->fpnAmplitude(Clock::now());
}

void SimCamera::setReplyPieceSize(int nBytes)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->pieceSize = std::clamp(nBytes, 3, SimProtocol::kMaxPieceData);
}

void SimCamera::setRestartDurationMs(int nMs)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->restartMs = std::max(0, nMs);
}

void SimCamera::setInstallDurationMs(int nMs)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->installMs = std::max(0, nMs);
    d->cvBus.notify_all();
}

void SimCamera::setShutterPauseMs(int nMs)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->shutterMs = std::max(0, nMs);
}

// ---- hot-plug -----------------------------------------------------------------------------------

void SimCamera::unplug()
{
    std::vector<std::function<void(bool)>> ls;
    {
        std::lock_guard<std::mutex> lk(d->m);
        if (!d->bPlugged)
            return;
        const bool bWasOnBus = d->onBus();
        d->bPlugged = false;
        d->killSession();
        if (!bWasOnBus)
            return;
        for (auto& kv : d->listeners)
            ls.push_back(kv.second);
    }
    for (auto& l : ls)
        l(false);
}

void SimCamera::replug()
{
    std::vector<std::function<void(bool)>> ls;
    {
        std::lock_guard<std::mutex> lk(d->m);
        if (d->bPlugged)
            return;
        d->bPlugged = true;
        if (d->bBusOff)
            return;   // still rebooting: it announces itself when it is back
        d->powerCycle(Clock::now());
        for (auto& kv : d->listeners)
            ls.push_back(kv.second);
    }
    for (auto& l : ls)
        l(true);
}

int SimCamera::addHotplugListener(std::function<void(bool bArrived)> listener)
{
    std::lock_guard<std::mutex> lk(d->m);
    const int id = d->nextListener++;
    d->listeners[id] = std::move(listener);
    return id;
}

void SimCamera::removeHotplugListener(int nId)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->listeners.erase(nId);
}

// ---- observation --------------------------------------------------------------------------------

uint64_t SimCamera::commandCount() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->nCommands;
}

uint64_t SimCamera::commandCount(uint8_t nCode, int nSub) const
{
    std::lock_guard<std::mutex> lk(d->m);
    if (nSub < 0) {
        auto it = d->countByCode.find(nCode);
        return it == d->countByCode.end() ? 0 : it->second;
    }
    auto it = d->countBySub.find({nCode, nSub});
    return it == d->countBySub.end() ? 0 : it->second;
}

SimCommandRecord SimCamera::lastCommand() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->log.empty() ? SimCommandRecord() : d->log.back();
}

std::vector<SimCommandRecord> SimCamera::commandLog() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return std::vector<SimCommandRecord>(d->log.begin(), d->log.end());
}

void SimCamera::clearCommandLog()
{
    std::lock_guard<std::mutex> lk(d->m);
    d->log.clear();
    d->nCommands = 0;
    d->countByCode.clear();
    d->countBySub.clear();
    d->nProtoErrors = 0;
    d->lastProtoError.clear();
}

uint64_t SimCamera::protocolErrorCount() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->nProtoErrors;
}

std::string SimCamera::lastProtocolError() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->lastProtoError;
}

std::vector<SimBadPixel> SimCamera::badPixels() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->pixels;
}

std::vector<int> SimCamera::badColumns() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->columns;
}

std::vector<SimBadPixel> SimCamera::savedBadPixels() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->savedPixels;
}

std::vector<int> SimCamera::savedBadColumns() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->savedColumns;
}

void SimCamera::setBadPixels(const std::vector<SimBadPixel>& pixels)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->pixels = pixels;
}

void SimCamera::setBadColumns(const std::vector<int>& columns)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->columns = columns;
}

std::vector<SimBadPixel> SimCamera::stuckPixels() const
{
    std::lock_guard<std::mutex> lk(d->m);
    const SimStreamLayout l = d->currentLayout();
    return d->sensorFor(l.nImageWidth, l.nImageHeight)->stuckPixels();
}

int SimCamera::deadColumn() const
{
    std::lock_guard<std::mutex> lk(d->m);
    const SimStreamLayout l = d->currentLayout();
    return d->sensorFor(l.nImageWidth, l.nImageHeight)->deadColumn();
}

bool SimCamera::isOpen() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->bOpen;
}

bool SimCamera::isStreaming() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->bInit && d->streamThread.joinable();
}

bool SimCamera::isSleeping() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->workMode == 5;
}

int SimCamera::workMode() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->workMode;
}

int SimCamera::gainMode() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->gain;
}

int SimCamera::autoGain() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->autoGain;
}

int SimCamera::colorization() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->colour;
}

int SimCamera::sharpness() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->sharp;
}

int SimCamera::superResMode() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->srMode;
}

int SimCamera::usbMode() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->usbMode;
}

void SimCamera::lowTempGear(int& nGear, int& nAuto) const
{
    std::lock_guard<std::mutex> lk(d->m);
    nGear = d->gear;
    nAuto = d->gearAuto;
}

int SimCamera::restartCount() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->restartCount;
}

int SimCamera::installCount() const
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    return d->installCount;
}

int SimCamera::installProgress() const
{
    std::lock_guard<std::mutex> lk(d->m);
    const auto now = Clock::now();
    d->advance(now);
    return d->progress(now);
}

std::vector<uint8_t> SimCamera::receivedImage() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return std::vector<uint8_t>(d->image.begin(), d->image.begin() + std::min<size_t>(d->received, d->image.size()));
}

SimStreamLayout SimCamera::streamLayout() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->currentLayout();
}

void SimCamera::lastInitStreamSize(int& nWidth, int& nHeight) const
{
    std::lock_guard<std::mutex> lk(d->m);
    nWidth = d->initW;
    nHeight = d->initH;
}

uint64_t SimCamera::frameNumber() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->nFrames;
}

SimMeasurement SimCamera::lastMeasurement() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->lastMeas;
}

void SimCamera::setStreamPaused(bool bPaused)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->bPaused = bPaused;
    d->kick();
}

int SimCamera::deliverFrameNow()
{
    std::unique_lock<std::mutex> lk(d->m);
    d->advance(Clock::now());
    if (!d->bInit || !d->cb)
        return -2;
    FrameJob job = d->makeJob(Clock::now());
    UsbStreamCallback f = d->cb;
    void* u = d->user;
    lk.unlock();
    std::vector<float> work;
    std::vector<uint8_t> grey, frame;
    SimMeasurement meas;
    renderFrame(job, work, grey, frame, meas);
    lk.lock();
    d->lastMeas = meas;
    lk.unlock();
    return f(job.layout.nStreamWidth, job.layout.nStreamHeight, frame.data(), int(frame.size()), u);
}

int SimCamera::deliverRawFrame(const unsigned char* pData, int nLength, int nArg1, int nArg2)
{
    UsbStreamCallback f = nullptr;
    void* u = nullptr;
    {
        std::lock_guard<std::mutex> lk(d->m);
        f = d->cb;
        u = d->user;
    }
    if (!f)
        return -2;
    return f(nArg1, nArg2, const_cast<unsigned char*>(pData), nLength, u);
}

int SimCamera::pendingReplyFrames() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return int(d->replies.size());
}

void SimCamera::flushReplies()
{
    std::lock_guard<std::mutex> lk(d->m);
    d->replies.clear();
}

// ---- library operations -----------------------------------------------------------------------

bool SimCamera::libGetUsbDeviceNum(int32_t* pnCount, UsbDeviceRecord* pList)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    const bool bFound = d->onBus();
    if (pnCount)
        *pnCount = bFound ? 1 : 0;
    if (pList) {
        for (int i = 0; i < kUsbDeviceListSize; ++i) {
            UsbDeviceRecord& r = pList[i];
            std::memset(&r, 0, sizeof r);
            r.nCamID = -1;
        }
        if (bFound) {
            pList[0].nCamID = kCamID;
            std::snprintf(reinterpret_cast<char*>(pList[0].reserved), sizeof pList[0].reserved,
                          "usb:sim-0 %s %s", d->part.c_str(), d->serial.c_str());
        }
    }
    return bFound;
}

bool SimCamera::libOpenUSBCam(UsbDeviceRecord* pDevice)
{
    if (!pDevice)
        return false;
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    if (!d->onBus() || pDevice->nCamID != kCamID)
        return false;
    d->bOpen = true;
    return true;
}

int SimCamera::libInitUSBCam(UsbDeviceRecord* pDevice, int nStreamWidth, int nStreamHeight, int, int, int)
{
    if (!pDevice)
        return -1;
    std::unique_lock<std::mutex> lk(d->m);
    d->advance(Clock::now());
    if (!d->onBus() || !d->bOpen || pDevice->nCamID != kCamID)
        return -1;
    if (nStreamWidth <= 0 || nStreamHeight <= 0)
        return -2;
    d->bInit = false;
    d->cb = nullptr;
    d->user = nullptr;
    d->joinStream(lk);
    if (!d->onBus() || !d->bOpen)
        return -1;
    // The camera streams in its own layout whatever size was asked for; the size asked for
    // is kept for inspection.
    d->initW = nStreamWidth;
    d->initH = nStreamHeight;
    d->layout = SimFrameFormat::layoutFor(d->part, d->nImageWidth);
    d->bInit = true;
    const uint64_t run = ++d->streamRun;
    State* s = d.get();
    d->streamThread = std::thread([s, run] { s->streamLoop(run); });
    return 0;
}

int SimCamera::libRegisterUSBStreamCallBack(int nCamID, UsbStreamCallback pfnCallback, void* pUser)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->advance(Clock::now());
    if (nCamID != kCamID || !d->bInit || !pfnCallback)
        return -1;
    d->cb = pfnCallback;
    d->user = pUser;
    d->kick();
    return 0;
}

bool SimCamera::libSendDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int)
{
    if (!pData || !pnLength)
        return false;
    std::lock_guard<std::mutex> lk(d->m);
    const auto now = Clock::now();
    d->advance(now);
    if (!d->bOpen || nCamID != kCamID)
        return false;
    const int n = *pnLength;
    if (n <= 0 || n > SimProtocol::kMaxTransfer)
        return false;
    ++d->nCommands;
    // The bytes went over the wire whatever they hold; a transfer the camera cannot use
    // is ignored and simply never answered.
    *pnLength = n;
    SimProtocol::Transfer transfer;
    std::string error = SimProtocol::parseTransfer(pData, n, transfer);
    if (!error.empty()) {
        d->protoError(error);
        return true;
    }
    if (transfer.bReservedDirty)
        d->protoError("reserved header bytes are not zero");
    SimProtocol::Packet pkt;
    int nCode = -1;
    error = SimProtocol::parsePacket(transfer.pData, transfer.nDataLength, pkt, nCode);
    if (!error.empty()) {
        d->protoError(error);
        if (nCode >= 0) {
            Reply r;
            r.nStatus = kStatusBadPacket;
            d->queueReply(uint8_t(nCode), r, now, State::FaultHits());
        }
        return true;
    }
    d->record(pkt);
    const State::FaultHits hits = d->decideFaults(pkt.nCode);
    if (hits.s22) {
        d->queueReply(pkt.nCode, State::invalid(), now, hits);
    } else if (hits.wrong) {
        State::FaultHits plain = hits;
        plain.magic = plain.oversize = false;
        d->queueReply(uint8_t(pkt.nCode ^ 0x80), Reply(), now, plain);
    } else {
        d->queueReply(pkt.nCode, d->execute(pkt, now), now, hits);
    }
    return true;
}

bool SimCamera::libRecvDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    if (!pData || !pnLength)
        return false;
    std::unique_lock<std::mutex> lk(d->m);
    auto now = Clock::now();
    d->advance(now);
    const int room = *pnLength;
    *pnLength = 0;
    if (!d->bOpen || nCamID != kCamID)
        return false;
    const auto deadline = now + Ms(std::max(0, nTimeoutMs));
    for (;;) {
        if (!d->bOpen)
            return false;   // the camera went away while we waited
        now = Clock::now();
        if (!d->replies.empty() && d->replies.front().ready <= now) {
            OutFrame f = std::move(d->replies.front());
            d->replies.pop_front();
            if (int(f.bytes.size()) > room)
                return false;   // overflow: the transfer is lost
            std::memcpy(pData, f.bytes.data(), f.bytes.size());
            *pnLength = int32_t(f.bytes.size());
            if (f.bRestart && d->bRestartPending) {
                d->restartAt = now;
                d->cvBus.notify_all();
            }
            return true;
        }
        if (now >= deadline)
            return false;
        auto wake = deadline;
        if (!d->replies.empty())
            wake = std::min(wake, d->replies.front().ready);
        d->cvReply.wait_until(lk, wake);
    }
}

void SimCamera::libCloseUSBStreaming(int nCamID)
{
    std::unique_lock<std::mutex> lk(d->m);
    if (nCamID != kCamID)
        return;
    d->bInit = false;
    d->cb = nullptr;
    d->user = nullptr;
    d->joinStream(lk);
}

void SimCamera::libCloseUSBCam(int nCamID)
{
    std::unique_lock<std::mutex> lk(d->m);
    if (nCamID != kCamID)
        return;
    d->bInit = false;
    d->bOpen = false;
    d->cb = nullptr;
    d->user = nullptr;
    d->replies.clear();
    d->joinStream(lk);
}

void SimCamera::libUinitUSBCam()
{
    std::unique_lock<std::mutex> lk(d->m);
    d->bInit = false;
    d->bOpen = false;
    d->cb = nullptr;
    d->user = nullptr;
    d->replies.clear();
    d->joinStream(lk);
}
