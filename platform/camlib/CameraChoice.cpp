#include "platform/camlib/CameraChoice.h"

#include "platform/camlib/CameraBackend.h"
#include "platform/camlib/CameraLibrary.h"
#include "platform/replay/ReplayCamera.h"
#include "platform/simcam/SimCameraLibrary.h"
#include "platform/v4l2/V4l2Backend.h"

#include <atomic>
#include <map>
#include <memory>
#include <mutex>

namespace {

enum class Resolved { Undecided, Sim, V4l2 };

std::atomic<CameraChoice::Kind> g_kind{CameraChoice::Kind::Sim};   // nothing bound: the simulated camera
std::atomic<Resolved> g_resolved{Resolved::Undecided};

// ---- "auto": the real camera when one is attached at connect time, else the simulated one.

const CameraLibraryApi& autoCurrent()
{
    return g_resolved.load() == Resolved::V4l2 ? v4l2CameraLibrary() : simCameraLibraryApi();
}

bool autoGetUsbDeviceNum(int32_t* pnCount, UsbDeviceRecord* pList)
{
    g_resolved = v4l2HasCandidate() ? Resolved::V4l2 : Resolved::Sim;
    return autoCurrent().GetUsbDeviceNum(pnCount, pList);
}
bool autoOpenUSBCam(UsbDeviceRecord* pDevice) { return autoCurrent().OpenUSBCam(pDevice); }
int autoInitUSBCam(UsbDeviceRecord* pDevice, int nWidth, int nHeight, int nArg1, int nArg2, int nArg3)
{
    return autoCurrent().InitUSBCam(pDevice, nWidth, nHeight, nArg1, nArg2, nArg3);
}
int autoRegisterUSBStreamCallBack(int nCamID, UsbStreamCallback pfnCallback, void* pUser)
{
    return autoCurrent().RegisterUSBStreamCallBack(nCamID, pfnCallback, pUser);
}
bool autoSendDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    return autoCurrent().SendDeviceData(nCamID, pData, pnLength, nTimeoutMs);
}
bool autoRecvDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    return autoCurrent().RecvDeviceData(nCamID, pData, pnLength, nTimeoutMs);
}
void autoCloseUSBStreaming(int nCamID) { autoCurrent().CloseUSBStreaming(nCamID); }
void autoCloseUSBCam(int nCamID) { autoCurrent().CloseUSBCam(nCamID); }
void autoUinitUSBCam() { autoCurrent().UinitUSBCam(); }

const CameraLibraryApi kAutoApi = {
    autoGetUsbDeviceNum, autoOpenUSBCam,     autoInitUSBCam,        autoRegisterUSBStreamCallBack,
    autoSendDeviceData,  autoRecvDeviceData, autoCloseUSBStreaming, autoCloseUSBCam,
    autoUinitUSBCam,
};

// A listener hears both backends; each passes on only while its backend is the chosen one
// (or nothing is chosen yet).
struct AutoListeners
{
    std::mutex m;
    int nNextId = 0;
    std::map<int, std::pair<int, int>> ids;   // own id -> (simulated id, V4L2 id)
};
AutoListeners& autoListeners()
{
    static AutoListeners listeners;
    return listeners;
}

int autoAddHotplugListener(std::function<void(bool)> fnListener)
{
    auto shared = std::make_shared<std::function<void(bool)>>(std::move(fnListener));
    const auto relay = [shared](Resolved eFrom) {
        return [shared, eFrom](bool bArrived) {
            const Resolved eNow = g_resolved.load();
            if (eNow == Resolved::Undecided || eNow == eFrom)
                (*shared)(bArrived);
        };
    };
    const int nSim = simCameraBackendEvents().addHotplugListener(relay(Resolved::Sim));
    const int nV4l2 = v4l2CameraBackendEvents().addHotplugListener(relay(Resolved::V4l2));
    AutoListeners& listeners = autoListeners();
    std::lock_guard<std::mutex> lk(listeners.m);
    const int nId = listeners.nNextId++;
    listeners.ids[nId] = {nSim, nV4l2};
    return nId;
}

void autoRemoveHotplugListener(int nId)
{
    std::pair<int, int> ids{-1, -1};
    {
        AutoListeners& listeners = autoListeners();
        std::lock_guard<std::mutex> lk(listeners.m);
        const auto it = listeners.ids.find(nId);
        if (it == listeners.ids.end())
            return;
        ids = it->second;
        listeners.ids.erase(it);
    }
    if (ids.first >= 0)
        simCameraBackendEvents().removeHotplugListener(ids.first);
    if (ids.second >= 0)
        v4l2CameraBackendEvents().removeHotplugListener(ids.second);
}

CameraBackendDescription autoDescribe()
{
    return g_resolved.load() == Resolved::V4l2 ? v4l2CameraBackendEvents().describe()
                                               : simCameraBackendEvents().describe();
}

const CameraBackendEvents kAutoEvents = {autoAddHotplugListener, autoRemoveHotplugListener, autoDescribe};

bool startsWith(const std::string& text, const char* pszPrefix) { return text.rfind(pszPrefix, 0) == 0; }

std::string trimmed(const std::string& text)
{
    const size_t nBegin = text.find_first_not_of(" \t\r\n");
    if (nBegin == std::string::npos)
        return std::string();
    return text.substr(nBegin, text.find_last_not_of(" \t\r\n") - nBegin + 1);
}

} // namespace

bool parseCameraChoice(const std::string& text, CameraChoice* pChoice, std::string* pError)
{
    const std::string value = trimmed(text);
    CameraChoice choice;
    if (value.empty() || value == "auto") {
        choice.eKind = CameraChoice::Kind::Auto;
    } else if (value == "sim") {
        choice.eKind = CameraChoice::Kind::Sim;
    } else if (startsWith(value, "/dev/")) {
        choice.eKind = CameraChoice::Kind::Node;
        choice.value = value;
    } else if (startsWith(value, "replay:") && value.size() > 7) {
        choice.eKind = CameraChoice::Kind::Replay;
        choice.value = value.substr(7);
    } else {
        if (pError)
            *pError = "unknown camera choice \"" + value + "\": use auto, sim, /dev/videoN or replay:FILE";
        return false;
    }
    *pChoice = choice;
    return true;
}

bool bindCameraChoice(const std::string& text, std::string* pError)
{
    CameraChoice choice;
    if (!parseCameraChoice(text, &choice, pError))
        return false;
    const CameraLibraryApi* pApi = nullptr;
    const CameraBackendEvents* pEvents = nullptr;
    switch (choice.eKind) {
    case CameraChoice::Kind::Sim:
        break;
    case CameraChoice::Kind::Auto:
        if (!v4l2SetTarget(std::string(), pError))
            return false;
        pApi = &kAutoApi;
        pEvents = &kAutoEvents;
        break;
    case CameraChoice::Kind::Node:
        if (!v4l2SetTarget(choice.value, pError))
            return false;
        pApi = &v4l2CameraLibrary();
        pEvents = &v4l2CameraBackendEvents();
        break;
    case CameraChoice::Kind::Replay:
        if (!replaySetFile(choice.value, pError))
            return false;
        pApi = &replayCameraLibrary();
        pEvents = &replayCameraBackendEvents();
        break;
    }
    g_resolved = Resolved::Undecided;
    g_kind = choice.eKind;
    setCameraLibrary(pApi);
    setCameraBackendEvents(pEvents);
    return true;
}

const char* cameraStatusTextKey()
{
    if (g_kind.load() == CameraChoice::Kind::Auto && g_resolved.load() == Resolved::Undecided)
        return "";
    const CameraBackendDescription desc = cameraBackendEvents().describe();
    if (desc.bStreamOnly)
        return kStreamOnlyStatusKey;
    if (desc.backend == "simulated")
        return "Simulated camera";
    if (desc.backend == "replay")
        return "Replay";
    return "";
}

bool cameraStreamOnly() { return cameraBackendEvents().describe().bStreamOnly; }

bool streamOnlyGeometry(int nStreamWidth, int nStreamHeight, int* pImageWidth, int* pImageHeight, int* pDoubleWidth)
{
    // Plain rows first: a 512-wide stream is a 512-wide image only when it is tall enough.
    for (int nDouble = 0; nDouble <= 1; ++nDouble) {
        for (int nImageWidth : {256, 512}) {
            const int nImageHeight = nImageWidth * 3 / 4;
            if (nStreamWidth == nImageWidth * (1 + nDouble) && nStreamHeight > nImageHeight) {
                *pImageWidth = nImageWidth;
                *pImageHeight = nImageHeight;
                *pDoubleWidth = nDouble;
                return true;
            }
        }
    }
    return false;
}
