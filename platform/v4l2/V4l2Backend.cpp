#include "platform/v4l2/V4l2Backend.h"

#include "platform/v4l2/UsbBulkTransport.h"
#include "platform/v4l2/UvcXuTransport.h"
#include "platform/v4l2/V4l2Capture.h"
#include "platform/v4l2/V4l2Enumerate.h"
#include "platform/v4l2/V4l2Hotplug.h"
#include "platform/v4l2/V4l2Record.h"
#include "platform/v4l2/V4l2Target.h"

#include <QtGlobal>
#include <algorithm>
#include <atomic>
#include <linux/videodev2.h>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

// What the person asked for, the last failure, and what describe() reports. Taken only
// briefly, never while waiting on the camera.
struct State
{
    std::mutex mutex;
    V4l2Target target;
    std::string lastError;
    std::vector<std::string> recentlyLogged;   // reasons already logged since the last stream start
    CameraBackendDescription description;
};

// Neither is ever destroyed: the link closes the camera from its own destructor at exit,
// which may run after function-local statics made later than the link are gone.
State& state()
{
    static State* pState = new State();
    return *pState;
}

void setLastError(const std::string& reason)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    // Callers show the reason themselves; the log keeps a trace. The connect loop asks again
    // every second: trace each reason once, not once a second.
    if (!reason.empty() && std::find(s.recentlyLogged.begin(), s.recentlyLogged.end(), reason) == s.recentlyLogged.end()) {
        qDebug("V4L2 camera: %s", reason.c_str());
        if (s.recentlyLogged.size() >= 8)
            s.recentlyLogged.erase(s.recentlyLogged.begin());
        s.recentlyLogged.push_back(reason);
    }
    s.lastError = reason;
}

V4l2Target currentTarget()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().target;
}

// The opened camera. The session mutex covers open, stream start and close; the command
// channel only takes the transport under its own short lock, so a command in flight keeps
// its transport alive while the camera is closed under it.
struct Session
{
    std::mutex mutex;
    int fd = -1;
    int nCamID = -1;
    std::string node;
    bool bStreamOnly = false;
    int nStreamWidth = 0;
    int nStreamHeight = 0;
    V4l2Capture capture;
    V4l2StreamStats lastStats;

    std::mutex transportMutex;
    std::shared_ptr<CommandTransport> transport;
};

Session& session()
{
    static Session* pSession = new Session();
    return *pSession;
}

void publishDescription()
{
    Session& se = session();
    CameraBackendDescription d;
    d.backend = "v4l2";
    d.device = se.node;
    {
        std::lock_guard<std::mutex> lock(se.transportMutex);
        d.transport = se.transport ? se.transport->kind() : "";
    }
    d.bStreamOnly = se.fd >= 0 && se.bStreamOnly;
    d.nStreamWidth = se.nStreamWidth;
    d.nStreamHeight = se.nStreamHeight;
    std::lock_guard<std::mutex> lock(state().mutex);
    state().description = d;
}

V4l2StreamStats toStats(const V4l2Capture::Stats& s) { return {s.nDelivered, s.nErrorFlagged, s.nWrongSize}; }

// With the session mutex held.
void closeSessionLocked()
{
    Session& se = session();
    if (se.capture.isRunning())
        se.lastStats = toStats(se.capture.stats());
    se.capture.stop();
    {
        std::lock_guard<std::mutex> lock(se.transportMutex);
        se.transport.reset();
    }
    if (se.fd >= 0)
        ::close(se.fd);
    se.fd = -1;
    se.nCamID = -1;
    se.node.clear();
    se.bStreamOnly = false;
    se.nStreamWidth = se.nStreamHeight = 0;
    V4l2Hotplug::watchRemoval("");
    publishDescription();
}

// The record for a node, with the transport the target asks for or the descriptors offer.
V4l2Record recordFor(const V4l2NodeInfo& info, const V4l2Target& target)
{
    V4l2Record r;
    r.node = info.nodePath;
    r.port = info.port;
    r.nBus = info.nBus;
    r.nAddress = info.nAddress;
    r.bExplicit = !target.isAuto();
    using T = V4l2Target::Transport;
    const bool bOverride = r.bExplicit && target.eTransport != T::FromDescriptors;
    if (bOverride && target.eTransport == T::Bulk) {
        r.eTransport = V4l2Record::Transport::Bulk;
        r.nInterface = target.nInterface;
        r.nEndpointOut = target.nEndpointOut;
        r.nEndpointIn = target.nEndpointIn;
    } else if (bOverride && target.eTransport == T::Xu) {
        r.eTransport = V4l2Record::Transport::Xu;
        r.nUnit = target.nUnit;
        r.nSelector = target.nSelector;
    } else if (!bOverride && info.transport == "bulk") {
        const UsbVendorBulkInterface& b = info.descriptors.vendorBulk.front();
        r.eTransport = V4l2Record::Transport::Bulk;
        r.nInterface = b.nInterface;
        r.nEndpointOut = b.nEndpointOut;
        r.nEndpointIn = b.nEndpointIn;
    } else if (!bOverride && info.transport == "xu") {
        r.eTransport = V4l2Record::Transport::Xu;
        r.nUnit = info.nXuUnit;
        r.nSelector = info.nXuSelector;
    }
    return r;
}

// Why no camera was found automatically: a USB node that could not be opened is worth
// saying (permission, busy); plain absence is not an error.
std::string autoFailure(const std::vector<V4l2NodeInfo>& nodes)
{
    for (const V4l2NodeInfo& n : nodes) {
        if (n.bUsb && !n.bOpened && (n.nOpenErrno == EACCES || n.nOpenErrno == EPERM || n.nOpenErrno == EBUSY))
            return n.openError;
    }
    return std::string();
}

bool v4l2GetUsbDeviceNum(int32_t* pnCount, UsbDeviceRecord* pList)
{
    const V4l2Target target = currentTarget();
    std::string failure;
    int32_t nCount = 0;
    if (target.isAuto()) {
        const std::vector<V4l2NodeInfo> nodes = enumerateV4l2Nodes();
        for (const V4l2NodeInfo& n : nodes) {
            if (n.bCandidate && nCount < kUsbDeviceListSize)
                encodeV4l2Record(recordFor(n, target), n.nIndex, &pList[nCount++]);
        }
        if (nCount == 0)
            failure = autoFailure(nodes);
    } else {
        V4l2NodeInfo n;
        if (!probeV4l2Node(target.node, &n))
            failure = target.node + ": no such video device (\"thermava-cli devices\" lists them)";
        else if (!n.bOpened)
            failure = n.openError;
        else if (!n.bCapture)
            failure = target.node + " is not a video capture node";
        else if (n.streams.empty())
            failure = target.node + " offers no UYVY or YUYV stream of a thermal image with its trailer rows";
        else
            encodeV4l2Record(recordFor(n, target), n.nIndex, &pList[nCount++]);
    }
    setLastError(failure);
    if (pnCount)
        *pnCount = nCount;
    return nCount > 0;
}

// The stream a stream-only node delivers: its current format when that is one the link
// reads, else the first such one it offers.
void chooseStreamOnlySize(int fd, int* pnWidth, int* pnHeight)
{
    const std::vector<V4l2Device::LinkStream> streams = V4l2Device::linkStreams(V4l2Device::queryFormats(fd));
    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (V4l2Device::xioctl(fd, VIDIOC_G_FMT, &fmt) == 0) {
        for (const V4l2Device::LinkStream& s : streams) {
            if (s.nFourcc == fmt.fmt.pix.pixelformat && s.nWidth == int(fmt.fmt.pix.width)
                && s.nHeight == int(fmt.fmt.pix.height)) {
                *pnWidth = s.nWidth;
                *pnHeight = s.nHeight;
                return;
            }
        }
    }
    *pnWidth = streams.empty() ? 0 : streams.front().nWidth;
    *pnHeight = streams.empty() ? 0 : streams.front().nHeight;
}

std::unique_ptr<CommandTransport> openTransport(const V4l2Record& r, int fd, std::string* pError)
{
    if (r.eTransport == V4l2Record::Transport::Bulk)
        return UsbBulkTransport::open(r.nBus, r.nAddress, r.nInterface, r.nEndpointOut, r.nEndpointIn, pError);
    if (r.eTransport == V4l2Record::Transport::Xu)
        return UvcXuTransport::open(fd, r.node, r.nUnit, r.nSelector, pError);
    *pError = r.node + ": the camera offers no command channel";
    return nullptr;
}

bool v4l2OpenUSBCam(UsbDeviceRecord* pDevice)
{
    V4l2Record r;
    if (!pDevice || !decodeV4l2Record(*pDevice, &r)) {
        setLastError("the camera record does not come from the V4L2 enumeration");
        return false;
    }
    Session& se = session();
    std::lock_guard<std::mutex> lock(se.mutex);
    // Opened already (the link may open again after a failed connect), unless the device has
    // gone since: then it is opened afresh, as after a replug.
    if (se.fd >= 0 && se.node == r.node && se.nCamID == pDevice->nCamID && V4l2Device::isVideoCapture(se.fd))
        return true;
    closeSessionLocked();

    std::string error;
    const int fd = V4l2Device::openNode(r.node, &error);
    if (fd < 0) {
        setLastError(error);
        return false;
    }
    if (!V4l2Device::isVideoCapture(fd)) {
        ::close(fd);
        setLastError(r.node + " is not a video capture node");
        return false;
    }
    std::string transportError;
    std::unique_ptr<CommandTransport> transport;
    if (r.eTransport != V4l2Record::Transport::None || !r.bExplicit)
        transport = openTransport(r, fd, &transportError);
    if (!transport && !r.bExplicit) {
        ::close(fd);
        setLastError(transportError);
        return false;
    }
    se.fd = fd;
    se.nCamID = pDevice->nCamID;
    se.node = r.node;
    se.bStreamOnly = !transport;
    se.nStreamWidth = se.nStreamHeight = 0;
    if (se.bStreamOnly)
        chooseStreamOnlySize(fd, &se.nStreamWidth, &se.nStreamHeight);
    {
        std::lock_guard<std::mutex> tlock(se.transportMutex);
        se.transport = std::move(transport);
    }
    // A named node without a working command channel still gives its picture; say why the
    // commands are missing.
    setLastError(transportError);
    V4l2Hotplug::watchRemoval(r.node);
    publishDescription();
    return true;
}

uint32_t chooseFourcc(int fd, int nWidth, int nHeight)
{
    const std::vector<V4l2Format> formats = V4l2Device::queryFormats(fd);
    for (const V4l2Device::LinkStream& s : V4l2Device::linkStreams(formats)) {
        if (s.nWidth == nWidth && s.nHeight == nHeight)
            return s.nFourcc;
    }
    // Not listed: let S_FMT say what the driver makes of it.
    for (const V4l2Format& f : formats) {
        if (f.nFourcc == V4L2_PIX_FMT_UYVY)
            return f.nFourcc;
    }
    return V4L2_PIX_FMT_YUYV;
}

int v4l2InitUSBCam(UsbDeviceRecord* pDevice, int nStreamWidth, int nStreamHeight, int, int, int)
{
    Session& se = session();
    std::lock_guard<std::mutex> lock(se.mutex);
    if (!pDevice || se.fd < 0 || pDevice->nCamID != se.nCamID) {
        setLastError("the camera is not open");
        return -1;
    }
    if (se.capture.isRunning())
        se.lastStats = toStats(se.capture.stats());
    se.capture.stop();
    const uint32_t nFourcc = chooseFourcc(se.fd, nStreamWidth, nStreamHeight);
    const std::string node = se.node;
    se.capture.setRemovalHandler([node] { V4l2Hotplug::report(node, false); });
    std::string error;
    if (!se.capture.start(se.fd, se.node, nFourcc, nStreamWidth, nStreamHeight, &error)) {
        setLastError(error);
        return -1;
    }
    se.nStreamWidth = nStreamWidth;
    se.nStreamHeight = nStreamHeight;
    publishDescription();
    std::lock_guard<std::mutex> stateLock(state().mutex);
    state().recentlyLogged.clear();   // a later failure is news again
    return 0;
}

int v4l2RegisterUSBStreamCallBack(int nCamID, UsbStreamCallback pfnCallback, void* pUser)
{
    Session& se = session();
    std::lock_guard<std::mutex> lock(se.mutex);
    if (se.fd < 0 || nCamID != se.nCamID || !se.capture.isRunning())
        return -1;
    se.capture.setCallback(pfnCallback, pUser);
    return 0;
}

std::shared_ptr<CommandTransport> transportFor(int nCamID)
{
    Session& se = session();
    std::lock_guard<std::mutex> lock(se.transportMutex);
    return nCamID == se.nCamID ? se.transport : nullptr;
}

bool v4l2SendDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    const std::shared_ptr<CommandTransport> t = transportFor(nCamID);
    if (!t || !pData || !pnLength || *pnLength < 0) {
        if (pnLength)
            *pnLength = 0;
        return false;   // stream-only or closed: fail at once
    }
    return t->send(pData, pnLength, nTimeoutMs);
}

bool v4l2RecvDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs)
{
    const std::shared_ptr<CommandTransport> t = transportFor(nCamID);
    if (!t || !pData || !pnLength || *pnLength < 0) {
        if (pnLength)
            *pnLength = 0;
        return false;
    }
    return t->recv(pData, pnLength, nTimeoutMs);
}

void v4l2CloseUSBStreaming(int nCamID)
{
    Session& se = session();
    std::lock_guard<std::mutex> lock(se.mutex);
    if (nCamID != se.nCamID)
        return;
    if (se.capture.isRunning())
        se.lastStats = toStats(se.capture.stats());
    se.capture.stop();
}

void v4l2CloseUSBCam(int nCamID)
{
    Session& se = session();
    std::lock_guard<std::mutex> lock(se.mutex);
    if (nCamID == se.nCamID)
        closeSessionLocked();
}

void v4l2UinitUSBCam()
{
    Session& se = session();
    std::lock_guard<std::mutex> lock(se.mutex);
    closeSessionLocked();
}

const CameraLibraryApi kV4l2Api = {
    v4l2GetUsbDeviceNum,   v4l2OpenUSBCam,        v4l2InitUSBCam,  v4l2RegisterUSBStreamCallBack,
    v4l2SendDeviceData,    v4l2RecvDeviceData,    v4l2CloseUSBStreaming, v4l2CloseUSBCam,
    v4l2UinitUSBCam,
};

CameraBackendDescription v4l2Describe()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    CameraBackendDescription d = state().description;
    d.backend = "v4l2";
    if (d.device.empty())
        d.device = state().target.node;
    d.lastError = state().lastError;
    return d;
}

const CameraBackendEvents kV4l2Events = {
    [](std::function<void(bool)> fnListener) { return V4l2Hotplug::addListener(std::move(fnListener)); },
    [](int nId) { V4l2Hotplug::removeListener(nId); },
    v4l2Describe,
};

} // namespace

const CameraLibraryApi& v4l2CameraLibrary() { return kV4l2Api; }

const CameraBackendEvents& v4l2CameraBackendEvents() { return kV4l2Events; }

bool v4l2SetTarget(const std::string& spec, std::string* pError)
{
    V4l2Target target;
    if (!parseV4l2Target(spec, &target, pError))
        return false;
    {
        std::lock_guard<std::mutex> lock(state().mutex);
        state().target = target;
    }
    V4l2Hotplug::watchArrival(target.node);
    return true;
}

bool v4l2HasCandidate()
{
    const std::vector<V4l2NodeInfo> nodes = enumerateV4l2Nodes();
    if (std::any_of(nodes.begin(), nodes.end(), [](const V4l2NodeInfo& n) { return n.bCandidate; }))
        return true;
    // A camera that is there but cannot be opened is not "no camera": keep the reason.
    setLastError(autoFailure(nodes));
    return false;
}

std::string v4l2LastError()
{
    std::lock_guard<std::mutex> lock(state().mutex);
    return state().lastError;
}

V4l2StreamStats v4l2StreamStats()
{
    Session& se = session();
    std::lock_guard<std::mutex> lock(se.mutex);
    return se.capture.isRunning() ? toStats(se.capture.stats()) : se.lastStats;
}
