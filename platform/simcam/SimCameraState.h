#pragma once
// Inside of the simulated camera, shared by its source files (SimCamera*.cpp): the one
// state block behind SimCamera, guarded by its mutex, and the small records it keeps.
// Not for use outside platform/simcam/.

#include "platform/simcam/SimCamera.h"
#include "platform/simcam/SimDeviceStore.h"
#include "platform/simcam/SimProtocol.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <map>
#include <mutex>
#include <random>
#include <string>
#include <thread>

namespace simcam {

using Clock = std::chrono::steady_clock;
using Ms = std::chrono::milliseconds;

inline constexpr const char* kDefaultPart = "KRM2560101A1RT1";
inline constexpr const char* kDefaultSerial = "TV2403150042";
// Character 5 is the hardware variant ('C'), characters 8-9 the platform ("MS"),
// characters 11-14 the build number that an installed image raises.
inline constexpr const char* kDefaultVersion = "TV2.1C1.MS.0101.20240312";

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
// How often a camera shared by the machine looks at what other processes did to it.
constexpr int kSharedPollMs = 200;
constexpr int kSharedSyncMs = 100;
// A late reply arrives this long after the time-out the host gave with its request.
constexpr int kLateMarginMs = 200;

std::string fixedText(const std::string& s, size_t n);

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
                 std::vector<uint8_t>& frame, SimMeasurement& meas);

} // namespace simcam

struct SimCamera::State
{
    using Clock = simcam::Clock;
    using Reply = simcam::Reply;
    using OutFrame = simcam::OutFrame;
    using FrameJob = simcam::FrameJob;
    using FaultRule = simcam::FaultRule;

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
    // The hot object's temperature moving from low to high and back every period seconds
    // (a triangle); period 0 keeps scene.fHotTemper.
    float hotLow = 0.0f, hotHigh = 0.0f;
    double hotPeriod = 0.0;
    double fixedTime = -1.0;
    uint32_t nSeed = 1;
    int restartMs = 5000, installMs = 3000, shutterMs = 250, slowMs = 1000;
    int pieceSize = SimProtocol::kMaxPieceData;
    bool bSplitCrc = false, bMute = false;
    float fpnRate = simcam::kFpnGrowthDefault;
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
    std::string lastError;   // why the last open or stream start was refused

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

    // the machine-wide device (unless private): the store and what this process saw of it
    bool bPrivate = false;
    std::string stateDir;
    std::unique_ptr<SimDeviceStore> store;
    bool bStoreFailed = false;
    bool bSynced = false;
    uint64_t epochSeen = 0;
    Clock::time_point lastSync;

    // ---------------------------------------------------------------------------------------

    void applyDefaults(Clock::time_point now);

    // What survives losing power: the saved tables and the installed software.
    void powerCycle(Clock::time_point now);

    void powerCycleShared();
    void powerCycleLocal(Clock::time_point now);

    bool onBus() const { return bPlugged && !bBusOff; }

    // A restart or power cut: off the bus for restartMs, the session gone.
    void dropOffBus(Clock::time_point now);

    // ---- the machine-wide device (SimCameraShared.cpp) ----
    // The store, opened on first use; null for a private camera or when it cannot be used.
    SimDeviceStore* sharedStore();
    SimSharedState factoryShared() const;
    void pull(const SimSharedState& s, Clock::time_point now);
    void push(SimSharedState& s) const;
    // Runs f with the machine-wide state loaded and writes back what f changed (just f for a
    // private camera). The state mutex must be held.
    template <class F>
    void shared(Clock::time_point now, F&& f)
    {
        SimDeviceStore* st = sharedStore();
        if (!st) {
            f();
            return;
        }
        std::string warning;
        st->transact(factoryShared(), [&](SimSharedState& s) { pull(s, now); f(); push(s); }, &warning);
        lastSync = now;
        if (!warning.empty())
            std::fprintf(stderr, "thermava: %s\n", warning.c_str());
    }
    // Timed events (restart, return, install) and, for a shared camera, what other processes
    // did since the last look.
    void advance(Clock::time_point now);
    void advanceLocal(Clock::time_point now);
    // advance() with a look at the machine-wide state whatever the time since the last one.
    void sync(Clock::time_point now)
    {
        shared(now, [&] { advanceLocal(now); });
    }

    SimStreamLayout currentLayout() const
    {
        return bInit ? layout : SimFrameFormat::layoutFor(part, nImageWidth);
    }

    void kick()
    {
        ++streamKick;
        cvStream.notify_all();
    }

    void killSession();

    void pushEvent(bool bArrived)
    {
        events.push_back(bArrived);
        cvBus.notify_all();
    }

    void finishInstall();

    int progress(Clock::time_point now) const;

    void ensureBusThread()
    {
        if (!busThread.joinable() && !bBusStop)
            busThread = std::thread([this] { busLoop(); });
    }

    void busLoop();

    // Stops the stream thread and waits for it (never from the stream thread itself).
    void joinStream(std::unique_lock<std::mutex>& lk);

    std::shared_ptr<const SimSensor> sensorFor(int w, int h)
    {
        if (!sensor || sensor->width() != w || sensor->height() != h)
            sensor = std::make_shared<SimSensor>(w, h, nSeed);
        return sensor;
    }

    FrameJob makeJob(Clock::time_point now);

    float fpnAmplitude(Clock::time_point now) const
    {
        const double sinceFfc = std::chrono::duration<double>(now - lastFfc).count();
        return std::min(simcam::kFpnMax, float(sinceFfc) * fpnRate);
    }

    void streamLoop(uint64_t run);

    void protoError(const std::string& text)
    {
        ++nProtoErrors;
        lastProtoError = text;
    }

    void record(const SimProtocol::Packet& pkt);

    struct FaultHits
    {
        bool drop = false, wrong = false, s22 = false, magic = false, slow = false, oversize = false,
             corrupt = false, late = false;
        int nLateMs = 0;   // how late a late reply is: past the host's time-out
    };

    FaultHits decideFaults(uint8_t nCode);

    void queueReply(uint8_t nCode, const Reply& r, Clock::time_point now, const FaultHits& h);

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

    Reply execute(const SimProtocol::Packet& pkt, Clock::time_point now);

    Reply executeGain(const std::vector<uint8_t>& p);

    Reply executeZero(const std::vector<uint8_t>& p, Clock::time_point now);

    std::vector<uint8_t> capabilityBlock() const;

    Reply executeTables(const std::vector<uint8_t>& p);

    Reply executeChunk(const std::vector<uint8_t>& p, Clock::time_point now);

    // ---- switches ---------------------------------------------------------------------------

    bool configureEntry(const std::string& key, const std::string& value, bool bHasValue,
                        std::vector<bool>& hotplug, SimCamera& camera);
};
