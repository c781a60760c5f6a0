#include "platform/v4l2/V4l2Capture.h"

#include "platform/v4l2/V4l2Device.h"
#include "platform/v4l2/V4l2Pixels.h"

#include <QtGlobal>
#include <algorithm>
#include <cerrno>
#include <cstring>
#include <linux/videodev2.h>
#include <poll.h>
#include <sys/mman.h>

namespace {

constexpr uint32_t kBufferCount = 4;
constexpr int kPollSliceMs = 50;   // how soon the thread sees a stop request

std::string sizeText(uint32_t nFourcc, int nWidth, int nHeight)
{
    return std::to_string(nWidth) + "x" + std::to_string(nHeight) + " " + V4l2Device::fourccText(nFourcc);
}

// Asks for nCount mmap buffers (0 frees them); the count the driver gives, or -1.
int requestBuffers(int fd, uint32_t nCount)
{
    v4l2_requestbuffers req{};
    req.count = nCount;
    req.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    req.memory = V4L2_MEMORY_MMAP;
    return V4l2Device::xioctl(fd, VIDIOC_REQBUFS, &req) < 0 ? -1 : int(req.count);
}

} // namespace

bool V4l2Capture::start(int fd, const std::string& path, uint32_t nFourcc, int nWidth, int nHeight, std::string* pError)
{
    stop();
    auto fail = [&](const std::string& reason) {
        if (pError)
            *pError = reason;
        releaseBuffers();
        return false;
    };
    m_fd = fd;
    m_path = path;

    v4l2_format fmt{};
    fmt.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    fmt.fmt.pix.width = uint32_t(nWidth);
    fmt.fmt.pix.height = uint32_t(nHeight);
    fmt.fmt.pix.pixelformat = nFourcc;
    fmt.fmt.pix.field = V4L2_FIELD_NONE;
    if (V4l2Device::xioctl(fd, VIDIOC_S_FMT, &fmt) < 0)
        return fail(V4l2Device::errorText(path, errno));
    // The driver picks the nearest size it has; any other size would be read with the wrong
    // geometry, so it is a failure, not a fallback.
    if (int(fmt.fmt.pix.width) != nWidth || int(fmt.fmt.pix.height) != nHeight || fmt.fmt.pix.pixelformat != nFourcc) {
        return fail(path + " does not offer the stream " + sizeText(nFourcc, nWidth, nHeight) + " (the driver offers "
                    + sizeText(fmt.fmt.pix.pixelformat, int(fmt.fmt.pix.width), int(fmt.fmt.pix.height)) + ")");
    }
    m_nWidth = nWidth;
    m_nHeight = nHeight;
    m_nBytesPerLine = std::max(int(fmt.fmt.pix.bytesperline), nWidth * 2);
    m_bYuyv = nFourcc == V4L2_PIX_FMT_YUYV;

    const int nCount = requestBuffers(fd, kBufferCount);
    if (nCount < 0)
        return fail(V4l2Device::errorText(path, errno));
    m_buffers.resize(size_t(nCount));   // before the check, so that a failure frees them
    if (nCount < 2)
        return fail(path + ": the driver gives too few capture buffers (" + std::to_string(nCount) + ")");
    for (uint32_t i = 0; i < uint32_t(nCount); ++i) {
        v4l2_buffer buf{};
        buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        buf.memory = V4L2_MEMORY_MMAP;
        buf.index = i;
        if (V4l2Device::xioctl(fd, VIDIOC_QUERYBUF, &buf) < 0)
            return fail(V4l2Device::errorText(path, errno));
        void* p = ::mmap(nullptr, buf.length, PROT_READ | PROT_WRITE, MAP_SHARED, fd, buf.m.offset);
        if (p == MAP_FAILED)
            return fail(path + ": cannot map the capture buffers: " + std::strerror(errno));
        m_buffers[i] = {p, buf.length};
        if (V4l2Device::xioctl(fd, VIDIOC_QBUF, &buf) < 0)
            return fail(V4l2Device::errorText(path, errno));
    }
    m_frame.assign(size_t(nWidth) * size_t(nHeight) * 2, 0);
    int nType = V4L2_BUF_TYPE_VIDEO_CAPTURE;
    if (V4l2Device::xioctl(fd, VIDIOC_STREAMON, &nType) < 0)
        return fail(V4l2Device::errorText(path, errno));
    m_bStreamOn = true;
    m_nDelivered = 0;
    m_nErrorFlagged = 0;
    m_nWrongSize = 0;
    m_bStop = false;
    m_thread = std::thread(&V4l2Capture::run, this);
    return true;
}

void V4l2Capture::stop()
{
    m_bStop = true;
    if (m_thread.joinable())
        m_thread.join();
    releaseBuffers();
}

void V4l2Capture::releaseBuffers()
{
    if (m_fd < 0)
        return;
    if (m_bStreamOn) {
        int nType = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        V4l2Device::xioctl(m_fd, VIDIOC_STREAMOFF, &nType);
        m_bStreamOn = false;
    }
    const bool bHadBuffers = !m_buffers.empty();
    for (const Buffer& b : m_buffers) {
        if (b.pStart)
            ::munmap(b.pStart, b.nLength);
    }
    m_buffers.clear();
    if (bHadBuffers)
        requestBuffers(m_fd, 0);
    m_fd = -1;
}

void V4l2Capture::setCallback(UsbStreamCallback pfnCallback, void* pUser)
{
    std::lock_guard<std::mutex> lock(m_callbackMutex);
    m_pfnCallback = pfnCallback;
    m_pUser = pUser;
}

V4l2Capture::Stats V4l2Capture::stats() const
{
    Stats s;
    s.nDelivered = m_nDelivered.load();
    s.nErrorFlagged = m_nErrorFlagged.load();
    s.nWrongSize = m_nWrongSize.load();
    return s;
}

void V4l2Capture::run()
{
    bool bRemoved = false;
    while (!m_bStop && !bRemoved) {
        pollfd p{m_fd, POLLIN, 0};
        const int r = ::poll(&p, 1, kPollSliceMs);
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0 || (p.revents & (POLLERR | POLLHUP | POLLNVAL))) {
            bRemoved = true;
            break;
        }
        if (r == 0)
            continue;
        // Take every buffer that is ready before waiting again.
        while (!m_bStop) {
            v4l2_buffer buf{};
            buf.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
            buf.memory = V4L2_MEMORY_MMAP;
            if (V4l2Device::xioctl(m_fd, VIDIOC_DQBUF, &buf) < 0) {
                // The queue fails for good when the device goes (ENODEV; EIO from the queue's
                // error state); an empty queue is only EAGAIN.
                if (errno != EAGAIN)
                    bRemoved = true;
                break;
            }
            if (buf.index < m_buffers.size())
                handleBuffer(buf.index, buf.bytesused, buf.flags);
            if (V4l2Device::xioctl(m_fd, VIDIOC_QBUF, &buf) < 0 && errno != EINVAL) {
                bRemoved = true;
                break;
            }
        }
    }
    if (bRemoved && !m_bStop) {
        qWarning("V4L2 capture: %s went away during streaming", m_path.c_str());
        if (m_fnRemoved)
            m_fnRemoved();
    }
}

void V4l2Capture::handleBuffer(uint32_t nIndex, uint32_t nBytesUsed, uint32_t nFlags)
{
    if (nFlags & V4L2_BUF_FLAG_ERROR) {
        if (m_nErrorFlagged++ == 0)
            qWarning("V4L2 capture: %s delivered a damaged buffer; such buffers are dropped", m_path.c_str());
        return;
    }
    const Buffer& b = m_buffers[nIndex];
    const size_t nNeeded = V4l2Pixels::neededBytes(m_nBytesPerLine, m_nWidth, m_nHeight);
    if (nBytesUsed < nNeeded || nBytesUsed > b.nLength) {
        if (m_nWrongSize++ == 0)
            qWarning("V4L2 capture: %s delivered %u bytes where a %dx%d frame needs %zu; such buffers are dropped",
                     m_path.c_str(), nBytesUsed, m_nWidth, m_nHeight, nNeeded);
        return;
    }
    uint8_t* pFrame = static_cast<uint8_t*>(b.pStart);
    if (m_bYuyv || m_nBytesPerLine != m_nWidth * 2) {
        V4l2Pixels::packFrame(pFrame, m_nBytesPerLine, m_nWidth, m_nHeight, m_bYuyv, m_frame.data());
        pFrame = m_frame.data();
    }
    std::lock_guard<std::mutex> lock(m_callbackMutex);
    if (m_pfnCallback) {
        m_pfnCallback(1, 1, pFrame, int(m_frame.size()), m_pUser);
        ++m_nDelivered;
    }
}
