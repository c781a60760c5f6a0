#pragma once
// What sits beside the camera library table: which backend the table reaches (for the status
// area and the tool's reports) and the bound camera's own arrival and removal events, so that
// nothing above platform/ has to know which backend it is talking to.

#include <functional>
#include <string>

struct CameraBackendDescription
{
    std::string backend;     // "v4l2", "simulated" or "replay"
    std::string device;      // node path or replay file; empty for the simulated camera
    std::string transport;   // "bulk", "xu", or empty (simulated, replay, stream-only)
    bool bStreamOnly = false; // picture and trailer only: no command channel answers
    // The stream geometry the device is set to deliver, where the backend knows it without
    // asking the camera (stream-only mode takes the picture's size from it); 0 when unknown.
    int nStreamWidth = 0;
    int nStreamHeight = 0;
    // Why the last enumeration or open failed, in plain words with the path and the fix (for
    // example a missing permission or a camera held by another program); empty when it did not.
    std::string lastError;
};

struct CameraBackendEvents
{
    // Subscribes to the bound camera's arrival (true) and removal (false). The callback may run
    // on any thread. Returns an id for removeHotplugListener, or -1 when the backend has no source.
    int (*addHotplugListener)(std::function<void(bool bArrived)> fnListener);
    void (*removeHotplugListener)(int nId);
    // The backend and the device it is bound to at this moment.
    CameraBackendDescription (*describe)();
};

// The events of the backend the camera library table reaches now.
const CameraBackendEvents& cameraBackendEvents();
// Binds the events beside setCameraLibrary (null restores the simulated camera's).
void setCameraBackendEvents(const CameraBackendEvents* pEvents);
// The simulated camera's events (bound when nothing else is).
const CameraBackendEvents& simCameraBackendEvents();
