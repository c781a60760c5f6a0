#include "platform/camlib/CameraLibrary.h"

#include "platform/simcam/SimCameraLibrary.h"

#include <atomic>

namespace {
std::atomic<const CameraLibraryApi*> g_boundLibrary{nullptr};
}

const CameraLibraryApi& cameraLibrary()
{
    const CameraLibraryApi* pApi = g_boundLibrary.load();
    return pApi ? *pApi : simCameraLibraryApi();
}

void setCameraLibrary(const CameraLibraryApi* pApi) { g_boundLibrary.store(pApi); }
