#include "platform/camlib/CameraLibrary.h"
#include "platform/camlib/CameraBackend.h"

#include "platform/simcam/SimCamera.h"
#include "platform/simcam/SimCameraLibrary.h"

#include <atomic>

namespace {
std::atomic<const CameraLibraryApi*> g_boundLibrary{nullptr};
std::atomic<const CameraBackendEvents*> g_boundEvents{nullptr};
} // namespace

const CameraBackendEvents& simCameraBackendEvents()
{
    static const CameraBackendEvents events = {
        [](std::function<void(bool)> fnListener) { return SimCamera::instance().addHotplugListener(std::move(fnListener)); },
        [](int nId) { SimCamera::instance().removeHotplugListener(nId); },
        [] {
            CameraBackendDescription desc;
            desc.backend = "simulated";
            desc.lastError = SimCamera::instance().lastError();
            return desc;
        },
    };
    return events;
}

const CameraLibraryApi& cameraLibrary()
{
    const CameraLibraryApi* pApi = g_boundLibrary.load();
    return pApi ? *pApi : simCameraLibraryApi();
}

void setCameraLibrary(const CameraLibraryApi* pApi) { g_boundLibrary.store(pApi); }

const CameraBackendEvents& cameraBackendEvents()
{
    const CameraBackendEvents* pEvents = g_boundEvents.load();
    return pEvents ? *pEvents : simCameraBackendEvents();
}

void setCameraBackendEvents(const CameraBackendEvents* pEvents) { g_boundEvents.store(pEvents); }
