// The emulated camera's /dev/videoN node: the V4L2 capture ioctls with mmap buffers, and the
// UVC extension unit that carries the command channel when transport=xu. Each open node is an
// eventfd, readable while a buffer waits or the device is gone, so poll/select/epoll work on it
// beside real fds.

#include "tests/fakecam/FakeCam.h"

#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <linux/videodev2.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <fcntl.h>
#include <pthread.h>
#include <map>
#include <atomic>
#include <mutex>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <time.h>
#include <unistd.h>

namespace fakecam {

namespace {

constexpr int kXuUnit = 3, kXuSmall = 1, kXuChannel = 2, kSmallLen = 4;
constexpr int kMaxBuffers = 32;

struct Buffer
{
    bool bQueued = false, bDone = false;
    v4l2_buffer info{};
};

struct OpenNode
{
    uint64_t nGeneration = 0;
    bool bNonBlock = false;
    bool bSignalled = false;   // the eventfd counts one
};

struct Node
{
    std::mutex m;
    std::condition_variable cv;
    std::map<int, OpenNode> fds;
    uint32_t nPixFmt = 0;
    int nWidth = 0, nHeight = 0;
    int nOwner = -1;           // the fd that holds the buffers
    int nMemFd = -1;
    uint8_t* pMem = nullptr;
    size_t nStride = 0;        // page-aligned room per buffer
    std::vector<Buffer> bufs;
    std::deque<int> queued, done;
    bool bStreaming = false;
    uint32_t nSequence = 0;
    std::vector<uint8_t> xuIn, xuOut;
    size_t nXuOutPos = 0;
};

Node& node()
{
    static Node* n = new Node;   // never destroyed: a stream thread may still deliver at exit
    return *n;
}

uint32_t bytesPerLine(const Node& n) { return uint32_t(n.nWidth * 2 + switches().nPad); }

// Keeps each fd's eventfd readable exactly while poll should report it.
void signal(Node& n)
{
    for (auto& [fd, o] : n.fds) {
        const bool bWant = !alive(o.nGeneration) || (fd == n.nOwner && !n.done.empty());
        uint64_t v = 1;
        if (bWant != o.bSignalled && (bWant ? ::write(fd, &v, 8) : ::read(fd, &v, 8)) == 8)
            o.bSignalled = bWant;
    }
    n.cv.notify_all();
}

void fillFormat(const Node& n, v4l2_pix_format& f)
{
    f = v4l2_pix_format{};
    f.width = uint32_t(n.nWidth);
    f.height = uint32_t(n.nHeight);
    f.pixelformat = n.nPixFmt;
    f.field = V4L2_FIELD_NONE;
    f.bytesperline = bytesPerLine(n);
    f.sizeimage = f.bytesperline * f.height;
    f.colorspace = V4L2_COLORSPACE_SRGB;
}

void freeBuffers(Node& n)
{
    // Mappings the host still holds keep the memory alive.
    if (n.pMem)
        ::munmap(n.pMem, n.nStride * n.bufs.size());
    if (n.nMemFd >= 0)
        FAKECAM_REAL(close)(n.nMemFd);
    n.pMem = nullptr;
    n.nMemFd = -1;
    n.bufs.clear();
    n.queued.clear();
    n.done.clear();
    n.nOwner = -1;
}

// Runs on the simulated camera's stream thread: fills the oldest queued buffer, or drops the
// frame when the host has none queued, as the driver does.
int onFrame(int, int, unsigned char* pSrc, int nLength, void*)
{
    Node& n = node();
    std::lock_guard<std::mutex> lk(n.m);
    if (!n.bStreaming || n.queued.empty() || !pSrc)
        return 0;
    const int i = n.queued.front();
    n.queued.pop_front();
    Buffer& b = n.bufs[size_t(i)];
    uint8_t* pDst = n.pMem + size_t(i) * n.nStride;
    const size_t nRow = size_t(n.nWidth) * 2, nLine = bytesPerLine(n);
    const int nRows = std::min(n.nHeight, int(size_t(nLength) / nRow));
    for (int r = 0; r < nRows; ++r) {
        uint8_t* d = pDst + r * nLine;
        std::memcpy(d, pSrc + r * nRow, nRow);
        std::memset(d + nRow, 0xA5, nLine - nRow);   // padding holds junk, as hardware leaves it
        if (n.nPixFmt == V4L2_PIX_FMT_YUYV)
            for (size_t x = 0; x < nRow; x += 2)
                std::swap(d[x], d[x + 1]);
    }
    b.info.bytesused = uint32_t(nRows * nLine);
    b.info.flags = V4L2_BUF_FLAG_TIMESTAMP_MONOTONIC | V4L2_BUF_FLAG_DONE;
    b.info.sequence = n.nSequence++;
    const int nEvery = switches().nErrorEvery;
    if (nEvery > 0 && b.info.sequence % uint32_t(nEvery) == uint32_t(nEvery - 1)) {
        // A frame the camera broke off: its second half never arrived.
        b.info.flags |= V4L2_BUF_FLAG_ERROR;
        std::memset(pDst + b.info.bytesused / 2, 0, b.info.bytesused - b.info.bytesused / 2);
    }
    timespec ts{};
    clock_gettime(CLOCK_MONOTONIC, &ts);
    b.info.timestamp = {ts.tv_sec, ts.tv_nsec / 1000};
    b.bQueued = false;
    b.bDone = true;
    n.done.push_back(i);
    signal(n);
    return 0;
}

// Stops the stream without the node's lock (the stream thread may be waiting for it).
void stopStreaming(Node& n, std::unique_lock<std::mutex>& lk)
{
    if (!n.bStreaming)
        return;
    n.bStreaming = false;
    lk.unlock();
    stopStream();
    lk.lock();
    for (Buffer& b : n.bufs)
        b.bQueued = b.bDone = false;
    n.queued.clear();
    n.done.clear();
    signal(n);
}

int fail(int nErrno)
{
    errno = nErrno;
    return -1;
}

bool captureType(uint32_t nType) { return nType == V4L2_BUF_TYPE_VIDEO_CAPTURE; }

int xuQuery(Node& n, std::unique_lock<std::mutex>& lk, uvc_xu_control_query& q)
{
    if (switches().transport != Transport::Xu || q.unit != kXuUnit || (q.selector != kXuSmall && q.selector != kXuChannel))
        return fail(ENOENT);
    const int nLen = q.selector == kXuSmall ? kSmallLen : switches().nXuLen;
    const size_t nSize = q.query == UVC_GET_LEN ? 2 : q.query == UVC_GET_INFO ? 1 : size_t(nLen);
    if (q.size != nSize || !q.data)
        return fail(ENOBUFS);
    switch (q.query) {
    case UVC_GET_LEN:
        q.data[0] = uint8_t(nLen), q.data[1] = uint8_t(nLen >> 8);
        return 0;
    case UVC_GET_INFO:
        q.data[0] = UVC_CONTROL_CAP_GET | UVC_CONTROL_CAP_SET;
        return 0;
    case UVC_GET_MIN: case UVC_GET_MAX: case UVC_GET_DEF: case UVC_GET_RES:
        std::memset(q.data, 0, nSize);
        return 0;
    case UVC_SET_CUR: {
        if (q.selector == kXuSmall)
            return 0;
        // Pieces gather until the transfer frame announced in its header is complete.
        n.xuIn.insert(n.xuIn.end(), q.data, q.data + nSize);
        if (n.xuIn.size() >= 4 && std::memcmp(n.xuIn.data(), "BHHU", 4) != 0) {
            n.xuIn.clear();
            return fail(EIO);
        }
        if (n.xuIn.size() < 64)
            return 0;
        uint32_t nData = 0;
        std::memcpy(&nData, &n.xuIn[40], 4);
        const size_t nTotal = 64 + size_t(nData);
        if (n.xuIn.size() < nTotal)
            return 0;
        std::vector<uint8_t> frame(n.xuIn.begin(), n.xuIn.begin() + long(nTotal));
        n.xuIn.clear();
        lk.unlock();
        const bool bSent = sendToCamera(frame.data(), int(frame.size()), 1000);
        lk.lock();
        return bSent ? 0 : fail(EIO);
    }
    case UVC_GET_CUR: {
        std::memset(q.data, 0, nSize);
        if (q.selector == kXuSmall)
            return 0;
        if (n.nXuOutPos >= n.xuOut.size()) {
            std::vector<uint8_t> frame(64 + 32768);
            lk.unlock();
            const int nGot = recvFromCamera(frame.data(), int(frame.size()), 0);
            lk.lock();
            n.xuOut.assign(frame.begin(), frame.begin() + std::max(0, nGot));
            n.nXuOutPos = 0;
        }
        const size_t nCopy = std::min(nSize, n.xuOut.size() - n.nXuOutPos);
        std::memcpy(q.data, n.xuOut.data() + n.nXuOutPos, nCopy);
        n.nXuOutPos += nCopy;
        return 0;
    }
    default:
        return fail(EINVAL);
    }
}

int reqbufs(Node& n, std::unique_lock<std::mutex>& lk, int fd, v4l2_requestbuffers& r)
{
    if (!captureType(r.type) || r.memory != V4L2_MEMORY_MMAP)
        return fail(EINVAL);
    if (switches().bBusy || (n.nOwner >= 0 && n.nOwner != fd))
        return fail(EBUSY);
    stopStreaming(n, lk);
    freeBuffers(n);
    std::memset(r.reserved, 0, sizeof r.reserved);
    r.capabilities = V4L2_BUF_CAP_SUPPORTS_MMAP;
    if (r.count == 0)
        return 0;
    r.count = std::min<uint32_t>(std::max<uint32_t>(r.count, 2), kMaxBuffers);
    v4l2_pix_format f;
    fillFormat(n, f);
    const size_t nPage = size_t(sysconf(_SC_PAGESIZE));
    n.nStride = (f.sizeimage + nPage - 1) / nPage * nPage;
    n.nMemFd = memfd_create("fakecam-buffers", MFD_CLOEXEC);
    if (n.nMemFd < 0 || ftruncate(n.nMemFd, off_t(n.nStride * r.count)) != 0)
        return freeBuffers(n), fail(ENOMEM);
    void* p = FAKECAM_REAL(mmap)(nullptr, n.nStride * r.count, PROT_READ | PROT_WRITE, MAP_SHARED, n.nMemFd, 0);
    if (p == MAP_FAILED)
        return freeBuffers(n), fail(ENOMEM);
    n.pMem = static_cast<uint8_t*>(p);
    n.bufs.resize(r.count);
    for (uint32_t i = 0; i < r.count; ++i) {
        v4l2_buffer& b = n.bufs[i].info;
        b.index = i;
        b.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        b.memory = V4L2_MEMORY_MMAP;
        b.length = f.sizeimage;
        b.m.offset = uint32_t(i * n.nStride);
        b.field = V4L2_FIELD_NONE;
    }
    n.nOwner = fd;
    return 0;
}

// Copies a buffer's state out to the caller, as QUERYBUF and DQBUF report it.
void reportBuffer(const Buffer& b, v4l2_buffer& out)
{
    out = b.info;
    out.flags = (b.info.flags & ~(V4L2_BUF_FLAG_QUEUED | V4L2_BUF_FLAG_DONE)) | V4L2_BUF_FLAG_MAPPED |
                (b.bQueued ? V4L2_BUF_FLAG_QUEUED : 0) | (b.bDone ? V4L2_BUF_FLAG_DONE : 0);
}

int bufferIoctl(Node& n, std::unique_lock<std::mutex>& lk, int fd, unsigned long nRequest, v4l2_buffer& b)
{
    if (!captureType(b.type) || fd != n.nOwner)
        return fail(EINVAL);
    if (nRequest == VIDIOC_DQBUF) {
        if (!n.bStreaming)
            return fail(EINVAL);
        while (n.done.empty()) {
            if (n.fds[fd].bNonBlock)
                return fail(EAGAIN);
            n.cv.wait(lk);
            if (!alive(n.fds[fd].nGeneration))
                return fail(ENODEV);
            if (!n.bStreaming || fd != n.nOwner)
                return fail(EINVAL);
        }
        Buffer& d = n.bufs[size_t(n.done.front())];
        n.done.pop_front();
        d.bDone = false;
        reportBuffer(d, b);
        signal(n);
        return 0;
    }
    if (b.index >= n.bufs.size() || b.memory != V4L2_MEMORY_MMAP)
        return fail(EINVAL);
    Buffer& x = n.bufs[b.index];
    if (nRequest == VIDIOC_QBUF) {
        if (x.bQueued || x.bDone)
            return fail(EINVAL);
        x.bQueued = true;
        n.queued.push_back(int(b.index));
    }
    reportBuffer(x, b);
    return 0;
}

int streamOn(Node& n, std::unique_lock<std::mutex>& lk, int fd)
{
    if (fd != n.nOwner)
        return fail(EINVAL);
    if (switches().bBusy)
        return fail(EBUSY);
    if (n.bStreaming)
        return 0;
    n.bStreaming = true;
    n.nSequence = 0;
    const int w = n.nWidth, h = n.nHeight;
    lk.unlock();
    const bool bOk = startStream(w, h, onFrame);
    lk.lock();
    if (!bOk) {
        stopStreaming(n, lk);
        return fail(EIO);
    }
    armUnplugTimer();
    return 0;
}

int formatIoctl(Node& n, int fd, unsigned long nRequest, v4l2_format& f)
{
    if (!captureType(f.type))
        return fail(EINVAL);
    if (nRequest == VIDIOC_S_FMT && (switches().bBusy || (n.nOwner >= 0 && n.nOwner != fd) || n.bStreaming))
        return fail(EBUSY);
    // The one format and size on offer, whatever was asked for, as the driver adjusts.
    fillFormat(n, f.fmt.pix);
    return 0;
}

int enumIoctl(const Node& n, unsigned long nRequest, void* pArg)
{
    if (nRequest == VIDIOC_ENUM_FMT) {
        v4l2_fmtdesc& d = *static_cast<v4l2_fmtdesc*>(pArg);
        if (d.index != 0 || !captureType(d.type))
            return fail(EINVAL);
        d.flags = 0;
        d.pixelformat = n.nPixFmt;
        std::snprintf(reinterpret_cast<char*>(d.description), sizeof d.description, "%s",
                      n.nPixFmt == V4L2_PIX_FMT_YUYV ? "YUYV 4:2:2" : "UYVY 4:2:2");
        return 0;
    }
    if (nRequest == VIDIOC_ENUM_FRAMESIZES) {
        v4l2_frmsizeenum& s = *static_cast<v4l2_frmsizeenum*>(pArg);
        if (s.index != 0 || s.pixel_format != n.nPixFmt)
            return fail(EINVAL);
        s.type = V4L2_FRMSIZE_TYPE_DISCRETE;
        s.discrete = {uint32_t(n.nWidth), uint32_t(n.nHeight)};
        return 0;
    }
    v4l2_frmivalenum& i = *static_cast<v4l2_frmivalenum*>(pArg);
    if (i.index != 0 || i.pixel_format != n.nPixFmt || i.width != uint32_t(n.nWidth) || i.height != uint32_t(n.nHeight))
        return fail(EINVAL);
    i.type = V4L2_FRMIVAL_TYPE_DISCRETE;
    i.discrete = {1, 25};
    return 0;
}

} // namespace

bool isNodePath(const char* pszPath) { return pszPath && nodePath() == pszPath; }

// Which fds are the node's, readable without the node's lock: every close() and poll() of the
// process asks, including those of a child forked while another thread held the lock (D-Bus's
// autolaunch does that), which would otherwise wait for ever.
constexpr int kMaxTrackedFd = 65536;
std::atomic<bool> g_bNodeFd[kMaxTrackedFd];

void markNodeFd(int fd, bool bNode)
{
    if (fd >= 0 && fd < kMaxTrackedFd)
        g_bNodeFd[fd].store(bNode);
}

// A child forked without exec (D-Bus's autolaunch closes every inherited fd before it execs)
// has a copy of the node's fds but not of its threads, and the node's lock may have been held at
// the fork: to the child those fds are plain fds.
void forgetNodeFdsInChild()
{
    for (std::atomic<bool>& b : g_bNodeFd)
        b.store(false, std::memory_order_relaxed);
}
const int g_nAtFork = pthread_atfork(nullptr, nullptr, forgetNodeFdsInChild);

bool isNodeFd(int fd)
{
    if (fd >= 0 && fd < kMaxTrackedFd)
        return g_bNodeFd[fd].load();
    Node& n = node();
    std::lock_guard<std::mutex> lk(n.m);
    return n.fds.count(fd) != 0;
}

int nodeOpen(int nFlags)
{
    if (switches().bNoPerm)
        return fail(EACCES);
    const uint64_t nGeneration = attachUser();
    if (nGeneration == 0)
        return -1;
    const int fd = eventfd(0, EFD_NONBLOCK | ((nFlags & O_CLOEXEC) ? EFD_CLOEXEC : 0));
    if (fd < 0) {
        detachUser(nGeneration);
        return -1;
    }
    Node& n = node();
    std::lock_guard<std::mutex> lk(n.m);
    if (n.nWidth == 0) {
        streamSize(n.nWidth, n.nHeight);
        n.nPixFmt = switches().bUyvy ? V4L2_PIX_FMT_UYVY : V4L2_PIX_FMT_YUYV;
    }
    n.fds[fd] = OpenNode{nGeneration, (nFlags & O_NONBLOCK) != 0, false};
    markNodeFd(fd, true);
    signal(n);
    return fd;
}

void nodeClose(int fd)
{
    Node& n = node();
    std::unique_lock<std::mutex> lk(n.m);
    auto it = n.fds.find(fd);
    if (it == n.fds.end())
        return;
    const uint64_t nGeneration = it->second.nGeneration;
    if (n.nOwner == fd) {
        stopStreaming(n, lk);
        freeBuffers(n);
    }
    n.fds.erase(fd);
    markNodeFd(fd, false);
    n.xuIn.clear();
    lk.unlock();
    detachUser(nGeneration);
}

void nodeDeviceLeft()
{
    Node& n = node();
    std::lock_guard<std::mutex> lk(n.m);
    n.bStreaming = false;   // the simulated camera has stopped its stream already
    n.queued.clear();
    n.done.clear();
    n.xuIn.clear();
    n.xuOut.clear();
    signal(n);
}

int nodeIoctl(int fd, unsigned long nRequest, void* pArg)
{
    Node& n = node();
    std::unique_lock<std::mutex> lk(n.m);
    auto it = n.fds.find(fd);
    if (it == n.fds.end())
        return fail(EBADF);
    if (!alive(it->second.nGeneration))
        return fail(ENODEV);
    if (!pArg)
        return fail(EFAULT);
    switch (nRequest) {
    case VIDIOC_QUERYCAP: {
        v4l2_capability& c = *static_cast<v4l2_capability*>(pArg);
        c = v4l2_capability{};
        std::snprintf(reinterpret_cast<char*>(c.driver), sizeof c.driver, "uvcvideo");
        std::snprintf(reinterpret_cast<char*>(c.card), sizeof c.card, "Thermava emulated camera");
        std::snprintf(reinterpret_cast<char*>(c.bus_info), sizeof c.bus_info, "usb-0000:00:14.0-%d", kPortNumber);
        c.version = 0x060100;
        c.device_caps = V4L2_CAP_VIDEO_CAPTURE | V4L2_CAP_STREAMING;
        c.capabilities = c.device_caps | V4L2_CAP_DEVICE_CAPS;
        return 0;
    }
    case VIDIOC_ENUM_FMT:
    case VIDIOC_ENUM_FRAMESIZES:
    case VIDIOC_ENUM_FRAMEINTERVALS:
        return enumIoctl(n, nRequest, pArg);
    case VIDIOC_G_FMT:
    case VIDIOC_S_FMT:
    case VIDIOC_TRY_FMT:
        return formatIoctl(n, fd, nRequest, *static_cast<v4l2_format*>(pArg));
    case VIDIOC_G_PARM:
    case VIDIOC_S_PARM: {
        v4l2_streamparm& p = *static_cast<v4l2_streamparm*>(pArg);
        if (!captureType(p.type))
            return fail(EINVAL);
        p.parm.capture = v4l2_captureparm{};
        p.parm.capture.capability = V4L2_CAP_TIMEPERFRAME;
        p.parm.capture.timeperframe = {1, 25};
        p.parm.capture.readbuffers = 0;
        return 0;
    }
    case VIDIOC_REQBUFS:
        return reqbufs(n, lk, fd, *static_cast<v4l2_requestbuffers*>(pArg));
    case VIDIOC_QUERYBUF:
    case VIDIOC_QBUF:
    case VIDIOC_DQBUF:
        return bufferIoctl(n, lk, fd, nRequest, *static_cast<v4l2_buffer*>(pArg));
    case VIDIOC_STREAMON:
    case VIDIOC_STREAMOFF:
        if (!captureType(*static_cast<uint32_t*>(pArg)))
            return fail(EINVAL);
        if (nRequest == VIDIOC_STREAMON)
            return streamOn(n, lk, fd);
        if (fd != n.nOwner)
            return fail(EINVAL);
        stopStreaming(n, lk);
        return 0;
    case UVCIOC_CTRL_QUERY:
        return xuQuery(n, lk, *static_cast<uvc_xu_control_query*>(pArg));
    default:
        return fail(ENOTTY);
    }
}

void* nodeMmap(void* pAddr, size_t nLength, int nProt, int nFlags, int fd, off_t nOffset)
{
    Node& n = node();
    std::lock_guard<std::mutex> lk(n.m);
    const auto it = n.fds.find(fd);
    if (it == n.fds.end() || !alive(it->second.nGeneration)) {
        errno = ENODEV;
        return MAP_FAILED;
    }
    if (fd != n.nOwner || !(nFlags & MAP_SHARED) || n.nStride == 0 || size_t(nOffset) % n.nStride != 0 ||
        size_t(nOffset) / n.nStride >= n.bufs.size() || nLength == 0 || nLength > n.nStride) {
        errno = EINVAL;
        return MAP_FAILED;
    }
    return FAKECAM_REAL(mmap)(pAddr, nLength, nProt, nFlags, n.nMemFd, nOffset);
}

short nodeRevents(int fd, short nEvents)
{
    Node& n = node();
    std::lock_guard<std::mutex> lk(n.m);
    const auto it = n.fds.find(fd);
    if (it == n.fds.end())
        return POLLNVAL;
    if (!alive(it->second.nGeneration))
        return POLLERR | POLLHUP;
    return fd == n.nOwner && !n.done.empty() ? short(nEvents & (POLLIN | POLLRDNORM)) : 0;
}

void nodeStat(struct stat* pSt)
{
    std::memset(pSt, 0, sizeof *pSt);
    pSt->st_mode = S_IFCHR | 0660;
    pSt->st_rdev = makedev(81, unsigned(switches().nNode));
    pSt->st_gid = 44;   // "video" on Debian
    pSt->st_nlink = 1;
    pSt->st_blksize = 4096;
}

} // namespace fakecam
