#include "platform/v4l2/V4l2Device.h"

#include "platform/v4l2/V4l2Pixels.h"

#include <cerrno>
#include <cstring>
#include <initializer_list>
#include <fcntl.h>
#include <linux/videodev2.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace V4l2Device {

int xioctl(int fd, unsigned long nRequest, void* pArg)
{
    int r;
    do {
        r = ::ioctl(fd, nRequest, pArg);
    } while (r < 0 && errno == EINTR);
    return r;
}

std::string errorText(const std::string& path, int nErrno)
{
    switch (nErrno) {
    case EACCES:
    case EPERM:
        return "permission denied on " + path
               + ": add your user to the \"video\" group (sudo usermod -aG video $USER, then log in again)"
                 " or install the udev rule that \"thermava-cli devices\" prints";
    case EBUSY:
        return "camera in use by another program (" + path + "): close the other program and connect again";
    case ENOENT:
    case ENODEV:
    case ENXIO:
        return path + " is gone: the camera was unplugged";
    default:
        return path + ": " + std::strerror(nErrno);
    }
}

int openNode(const std::string& path, std::string* pError)
{
    const int fd = ::open(path.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 && pError) {
        const int nErrno = errno;
        *pError = errorText(path, nErrno);
        errno = nErrno;   // callers look at it too
    }
    return fd;
}

bool isVideoCapture(int fd, std::string* pDriver, std::string* pCard)
{
    v4l2_capability cap{};
    if (xioctl(fd, VIDIOC_QUERYCAP, &cap) < 0)
        return false;
    const uint32_t nCaps = (cap.capabilities & V4L2_CAP_DEVICE_CAPS) ? cap.device_caps : cap.capabilities;
    if (pDriver)
        *pDriver = std::string(reinterpret_cast<const char*>(cap.driver), strnlen(reinterpret_cast<const char*>(cap.driver), sizeof(cap.driver)));
    if (pCard)
        *pCard = std::string(reinterpret_cast<const char*>(cap.card), strnlen(reinterpret_cast<const char*>(cap.card), sizeof(cap.card)));
    return (nCaps & V4L2_CAP_VIDEO_CAPTURE) && (nCaps & V4L2_CAP_STREAMING);
}

std::vector<V4l2Format> queryFormats(int fd)
{
    std::vector<V4l2Format> formats;
    for (uint32_t i = 0; i < 64; ++i) {
        v4l2_fmtdesc desc{};
        desc.index = i;
        desc.type = V4L2_BUF_TYPE_VIDEO_CAPTURE;
        if (xioctl(fd, VIDIOC_ENUM_FMT, &desc) < 0)
            break;
        V4l2Format f;
        f.nFourcc = desc.pixelformat;
        f.description.assign(reinterpret_cast<const char*>(desc.description),
                             strnlen(reinterpret_cast<const char*>(desc.description), sizeof(desc.description)));
        for (uint32_t j = 0; j < 256; ++j) {
            v4l2_frmsizeenum size{};
            size.index = j;
            size.pixel_format = desc.pixelformat;
            if (xioctl(fd, VIDIOC_ENUM_FRAMESIZES, &size) < 0 || size.type != V4L2_FRMSIZE_TYPE_DISCRETE)
                break;
            f.sizes.emplace_back(int(size.discrete.width), int(size.discrete.height));
        }
        formats.push_back(std::move(f));
    }
    return formats;
}

std::string fourccText(uint32_t nFourcc)
{
    std::string s;
    for (int i = 0; i < 4; ++i) {
        const char c = char((nFourcc >> (8 * i)) & 0xFF);
        s += (c >= 0x20 && c < 0x7F) ? c : '?';
    }
    while (!s.empty() && s.back() == ' ')
        s.pop_back();
    return s;
}

bool isPacked422(uint32_t nFourcc) { return nFourcc == V4L2_PIX_FMT_UYVY || nFourcc == V4L2_PIX_FMT_YUYV; }

std::vector<LinkStream> linkStreams(const std::vector<V4l2Format>& formats)
{
    std::vector<LinkStream> streams;
    for (uint32_t nWanted : {uint32_t(V4L2_PIX_FMT_UYVY), uint32_t(V4L2_PIX_FMT_YUYV)}) {
        for (const V4l2Format& f : formats) {
            if (f.nFourcc != nWanted)
                continue;
            for (const auto& size : f.sizes) {
                if (V4l2Pixels::isLinkStreamSize(size.first, size.second))
                    streams.push_back({f.nFourcc, size.first, size.second});
            }
        }
    }
    return streams;
}

} // namespace V4l2Device
