#pragma once
// The part of the simulated camera that belongs to the machine rather than to one process,
// kept in a state file so that every process sees one device, as with a real camera: the
// tables in the camera (working and saved), the installed software, standby and power. A
// lock file serialises the read-modify-write of the state; a session lock marks the
// process that has the camera open. Both are flock() locks, which the kernel drops when
// their holder dies, so a crashed process never leaves the camera taken.

#include "platform/simcam/SimSensor.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct SimSharedState
{
    std::string version;   // 32 bytes
    std::vector<SimBadPixel> pixels, savedPixels;
    std::vector<int> columns, savedColumns;
    int workMode = 4;
    int64_t busOffUntilMs = 0;   // steady (monotonic) clock: off the bus until then
    uint64_t powerEpoch = 0;     // counts power losses, so a process notices one it missed
};

namespace SimStateText {
std::string write(const SimSharedState& s, const std::string& bootId);
// False when the text is not a whole, sound state.
bool read(const std::string& text, SimSharedState& s, std::string& bootId);
} // namespace SimStateText

class SimDeviceStore
{
public:
    // dir empty: $XDG_RUNTIME_DIR, else $TMPDIR, else /tmp.
    explicit SimDeviceStore(const std::string& dir);
    ~SimDeviceStore();
    SimDeviceStore(const SimDeviceStore&) = delete;
    SimDeviceStore& operator=(const SimDeviceStore&) = delete;

    bool usable() const { return m_nLockFd >= 0; }
    const std::string& error() const { return m_error; }
    const std::string& statePath() const { return m_statePath; }

    // Runs fn on the state with the machine-wide lock held and writes the state back when fn
    // changed it. A missing state starts from factory; a damaged one too, with a warning in
    // *pWarning. A state from before the machine's last boot has lost power since. False
    // when the lock or the file could not be used (the reason in *pWarning).
    bool transact(const SimSharedState& factory, const std::function<void(SimSharedState&)>& fn,
                  std::string* pWarning);

    // The session lock. False when another live process holds it; *pHolder then names it.
    bool claimSession(std::string* pHolder);
    void releaseSession();

private:
    std::string m_statePath, m_lockPath, m_sessionPath, m_error;
    int m_nLockFd = -1;
    int m_nSessionFd = -1;
};
