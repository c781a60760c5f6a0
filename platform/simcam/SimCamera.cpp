// The simulated camera's device core: identity and switches, power and the bus (restart,
// install, hot-plug), opening and closing a session.
#include "platform/simcam/SimCameraState.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>

using namespace simcam;

std::string simcam::fixedText(const std::string& s, size_t n)
{
    std::string r = s.substr(0, n);
    r.resize(n, '\0');
    return r;
}

void SimCamera::State::applyDefaults(Clock::time_point now)
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
    hotPeriod = 0.0;
    fixedTime = -1.0;
    nSeed = 1;
    scene.nSeed = nSeed;
    restartMs = 5000;
    installMs = 3000;
    shutterMs = 250;
    slowMs = 1000;
    pieceSize = SimProtocol::kMaxPieceData;
    bSplitCrc = bMute = false;
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
    lastError.clear();
    nFrames = 0;
    lastMeas = SimMeasurement();
    sensor.reset();
    powerCycle(now);
}

// What survives losing power: the saved tables and the installed software.
void SimCamera::State::powerCycle(Clock::time_point now)
{
    powerCycleShared();
    powerCycleLocal(now);
}

void SimCamera::State::powerCycleShared()
{
    workMode = 4;
    pixels = savedPixels;
    columns = savedColumns;
}

void SimCamera::State::powerCycleLocal(Clock::time_point now)
{
    gain = 0;
    autoGain = 1;
    colour = sharp = srMode = usbMode = gear = gearAuto = 0;
    pendingPixels.clear();
    pendingPixelSet.clear();
    pendingColumns.clear();
    image.clear();
    imageLen = received = 0;
    bInstalling = bInstalled = false;
    powerOn = lastFfc = shutterUntil = now;
}

void SimCamera::State::killSession()
{
    bOpen = bInit = false;
    cb = nullptr;
    user = nullptr;
    replies.clear();
    ++streamRun;
    cvStream.notify_all();
    cvReply.notify_all();
    if (store)
        store->releaseSession();
}

void SimCamera::State::advanceLocal(Clock::time_point now)
{
    if (bRestartPending && now >= restartAt)
        dropOffBus(now);
    if (bBusOff && now >= busOffUntil) {
        bBusOff = false;
        // A camera shared by the machine lost its shared state when power went.
        if (store)
            powerCycleLocal(now);
        else
            powerCycle(now);
        ++restartCount;
        if (bPlugged)
            pushEvent(true);
    }
    if (bInstalling && now >= installStart + Ms(installMs))
        finishInstall();
}

void SimCamera::State::finishInstall()
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

int SimCamera::State::progress(Clock::time_point now) const
{
    if (bInstalled)
        return 100;
    if (!bInstalling || installMs <= 0)
        return 0;
    const auto elapsed = std::chrono::duration_cast<Ms>(now - installStart).count();
    return int(std::clamp<long long>(elapsed * 100 / installMs, 0, 99));
}

void SimCamera::State::busLoop()
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
        if (store)
            consider(Clock::now() + Ms(kSharedPollMs));   // what other processes did to the camera
        if (bHas)
            cvBus.wait_until(lk, next);
        else
            cvBus.wait(lk);
    }
}

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

void SimCamera::reset()
{
    std::unique_lock<std::mutex> lk(d->m);
    d->killSession();
    d->joinStream(lk);
    const auto now = Clock::now();
    d->shared(now, [&] { d->applyDefaults(now); });
    d->killSession();
}

// ---- switches -------------------------------------------------------------------------------

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
    d->shared(Clock::now(), [&] { d->version = fixedText(version, 32); });
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

void SimCamera::setHotTemperature(float fDegC)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->scene.fHotTemper = fDegC;
    d->hotPeriod = 0.0;
}

void SimCamera::setHotRamp(float fLowDegC, float fHighDegC, double periodSeconds)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->hotLow = fLowDegC;
    d->hotHigh = fHighDegC;
    d->hotPeriod = std::max(0.0, periodSeconds);
    d->scene.fHotTemper = fLowDegC;
}

void SimCamera::setSceneSettings(const SimSceneSettings& settings)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->scene = settings;
    d->hotPeriod = 0.0;
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
// ---- library operations -----------------------------------------------------------------------

bool SimCamera::libGetUsbDeviceNum(int32_t* pnCount, UsbDeviceRecord* pList)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->sync(Clock::now());
    const bool bFound = d->onBus();
    if (!bFound)
        d->lastError.clear();   // a reason to refuse belongs to a camera that is there
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
    d->sync(Clock::now());
    if (!d->onBus() || pDevice->nCamID != kCamID)
        return false;
    std::string holder;
    if (d->store && !d->store->claimSession(&holder)) {
        d->lastError = "camera in use by another program (" + holder + ")";
        return false;
    }
    d->lastError.clear();
    d->bOpen = true;
    return true;
}

void SimCamera::libCloseUSBCam(int nCamID)
{
    if (nCamID == kCamID)
        libUinitUSBCam();
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
    if (d->store)
        d->store->releaseSession();
}
