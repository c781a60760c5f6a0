#pragma once
// The video node itself: opening it with errors a person can act on, and asking it what it
// captures (capabilities, formats, discrete frame sizes).

#include <cstdint>
#include <string>
#include <vector>

struct V4l2Format
{
    uint32_t nFourcc = 0;
    std::string description;
    std::vector<std::pair<int, int>> sizes;   // discrete sizes; empty when the driver lists none
};

namespace V4l2Device {

// ioctl that retries when a signal interrupts it.
int xioctl(int fd, unsigned long nRequest, void* pArg);

// open(O_RDWR | O_NONBLOCK | O_CLOEXEC); -1 with *pError set for the reasons people meet:
// no permission, held by another program, gone.
int openNode(const std::string& path, std::string* pError);

// The reason text for an errno met while opening or starting the stream of path.
std::string errorText(const std::string& path, int nErrno);

// True when the node captures video (device capabilities, or the whole device's when the
// driver reports no per-node ones) and streams through buffers.
bool isVideoCapture(int fd, std::string* pDriver = nullptr, std::string* pCard = nullptr);

std::vector<V4l2Format> queryFormats(int fd);

// "YUYV" for V4L2_PIX_FMT_YUYV, and so on.
std::string fourccText(uint32_t nFourcc);

bool isPacked422(uint32_t nFourcc);

// The packed 4:2:2 formats offered at a stream size the link can ask for, UYVY first.
struct LinkStream
{
    uint32_t nFourcc = 0;
    int nWidth = 0;
    int nHeight = 0;
};
std::vector<LinkStream> linkStreams(const std::vector<V4l2Format>& formats);

} // namespace V4l2Device
