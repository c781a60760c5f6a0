// The simulated camera as one device for the whole machine: which part of its state every
// process shares through the state file, and how a process learns what others did to it
// (a restart, a power cut, new tables, standby).
#include "platform/simcam/SimCameraState.h"

using namespace simcam;

namespace {

int64_t toMs(Clock::time_point t) { return std::chrono::duration_cast<Ms>(t.time_since_epoch()).count(); }
Clock::time_point fromMs(int64_t ms) { return Clock::time_point(std::chrono::duration_cast<Clock::duration>(Ms(ms))); }

} // namespace

SimDeviceStore* SimCamera::State::sharedStore()
{
    if (bPrivate || bStoreFailed)
        return nullptr;
    if (!store) {
        auto st = std::make_unique<SimDeviceStore>(stateDir);
        if (!st->usable()) {
            std::fprintf(stderr, "thermava: %s; the simulated camera is private to this program\n", st->error().c_str());
            bStoreFailed = true;
            return nullptr;
        }
        store = std::move(st);
        bSynced = false;
        ensureBusThread();
    }
    return store.get();
}

SimSharedState SimCamera::State::factoryShared() const
{
    SimSharedState s;
    s.version = fixedText(kDefaultVersion, 32);
    return s;
}

void SimCamera::State::pull(const SimSharedState& s, Clock::time_point now)
{
    const Clock::time_point offUntil = fromMs(s.busOffUntilMs);
    if (!bSynced) {
        // First look: take the camera as it is, nothing happened to this process.
        bSynced = true;
        epochSeen = s.powerEpoch;
        if (offUntil > now) {
            bBusOff = true;
            busOffUntil = offUntil;
        }
    } else if (s.powerEpoch != epochSeen) {
        // Another process restarted the camera or cut its power: the session is gone here too.
        epochSeen = s.powerEpoch;
        const bool bWasOnBus = onBus();
        killSession();
        bRestartPending = false;
        bBusOff = true;
        busOffUntil = std::max(offUntil, now);
        if (bWasOnBus)
            pushEvent(false);
    }
    if (workMode != s.workMode) {
        workMode = s.workMode;
        kick();
    }
    version = s.version;
    pixels = s.pixels;
    columns = s.columns;
    savedPixels = s.savedPixels;
    savedColumns = s.savedColumns;
}

void SimCamera::State::push(SimSharedState& s) const
{
    s.version = version;
    s.pixels = pixels;
    s.columns = columns;
    s.savedPixels = savedPixels;
    s.savedColumns = savedColumns;
    s.workMode = workMode;
    s.powerEpoch = epochSeen;
    if (bBusOff)
        s.busOffUntilMs = toMs(busOffUntil);
}

void SimCamera::State::advance(Clock::time_point now)
{
    if (sharedStore()) {
        const bool bDue = (bRestartPending && now >= restartAt) || (bBusOff && now >= busOffUntil)
                          || (bInstalling && now >= installStart + Ms(installMs));
        if (bDue || !bSynced || now - lastSync >= Ms(kSharedSyncMs)) {
            shared(now, [&] { advanceLocal(now); });
            return;
        }
    }
    advanceLocal(now);
}

void SimCamera::State::dropOffBus(Clock::time_point now)
{
    bRestartPending = false;
    const bool bWasOnBus = onBus();
    bBusOff = true;
    busOffUntil = now + Ms(restartMs);
    killSession();
    if (bWasOnBus)
        pushEvent(false);
    if (store) {
        // Every process sees the power loss at once: the working tables and standby go now.
        powerCycleShared();
        ++epochSeen;
    }
    ensureBusThread();
    cvBus.notify_all();
}

// ---- public ---------------------------------------------------------------------------------

void SimCamera::setPrivate(bool bPrivate)
{
    std::unique_lock<std::mutex> lk(d->m);
    if (d->bPrivate == bPrivate)
        return;
    d->bPrivate = bPrivate;
    d->store.reset();
    d->bStoreFailed = false;
}

bool SimCamera::isPrivate() const
{
    std::lock_guard<std::mutex> lk(d->m);
    return d->bPrivate;
}

void SimCamera::setStateDir(const std::string& dir)
{
    std::lock_guard<std::mutex> lk(d->m);
    d->bPrivate = false;
    d->stateDir = dir;
    d->store.reset();
    d->bStoreFailed = false;
}

std::string SimCamera::stateFile() const
{
    std::lock_guard<std::mutex> lk(d->m);
    SimDeviceStore* st = d->sharedStore();
    return st ? st->statePath() : std::string();
}

void SimCamera::cutPower(bool bFactory)
{
    std::lock_guard<std::mutex> lk(d->m);
    const auto now = Clock::now();
    d->shared(now, [&] {
        if (bFactory) {
            d->savedPixels.clear();
            d->savedColumns.clear();
            d->version = fixedText(kDefaultVersion, 32);
        }
        d->dropOffBus(now);
    });
}
