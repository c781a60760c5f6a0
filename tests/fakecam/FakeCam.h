#pragma once
// The emulated USB thermal camera behind the preload library: one UVC device whose picture,
// trailer, command replies and faults are the simulated camera's own, reached only through the
// kernel's interfaces (a /dev/videoN node, its sysfs entries) and libusb-1.0. Test support:
// never linked into the client.

#include <cstddef>
#include <cstdint>
#include <dlfcn.h>
#include <string>
#include <sys/types.h>
#include <vector>

struct stat;

namespace fakecam {

enum class Transport { Bulk, Xu, None };

// THERMAVA_FAKECAM, read once (entries listed in scripts/fakecam.sh).
struct Switches
{
    Transport transport = Transport::Bulk;
    bool bUyvy = false;      // the node offers UYVY instead of YUYV
    int nPad = 0;            // bytes of padding after each row
    int nErrorEvery = 0;     // every n-th buffer comes back flagged V4L2_BUF_FLAG_ERROR
    bool bBusy = false;      // another process streams from the node and holds the interface
    bool bNoPerm = false;    // neither the node nor the USB device may be opened
    int nUnplugMs = -1;      // the device leaves the bus this long after the first STREAMON
    int nXuLen = 512;        // UVC_GET_LEN of the extension unit's command control
    int nNode = 90;
};
const Switches& switches();
const std::string& nodePath();

// The real libc function behind one we interpose.
template <typename F>
F realFn(F, const char* pszName)
{
    return reinterpret_cast<F>(dlsym(RTLD_NEXT, pszName));
}
#define FAKECAM_REAL(name) (*[] { static auto fn = fakecam::realFn(&::name, #name); return fn; }())

// ---- the device on the bus (FakeCamBus.cpp) --------------------------------------------------
constexpr int kBusNumber = 1;
constexpr int kPortNumber = 2;
constexpr int kVendorInterface = 2;
constexpr uint8_t kBulkOut = 0x01, kBulkIn = 0x81;

bool present();          // on the bus right now
int deviceAddress();     // devnum; one higher after each return to the bus
// Device descriptor followed by the configuration descriptor, as sysfs `descriptors` holds them.
std::vector<uint8_t> descriptors();
// The stream size the simulated camera delivers (the one size the node offers).
void streamSize(int& nWidth, int& nHeight);
// A new user of the device (node fd or USB handle) opens the simulated camera's session;
// the generation the user belongs to, or 0 with errno ENOENT (not on the bus) or EBUSY.
uint64_t attachUser();
void detachUser(uint64_t nGeneration);
bool alive(uint64_t nGeneration);   // the device has not left the bus since
uint64_t generation();              // the bus session now, 0 while off the bus
// The simulated camera's command channel (transfer frames as the host sends and receives them).
bool sendToCamera(const uint8_t* pData, int nLength, int nTimeoutMs);
int recvFromCamera(uint8_t* pData, int nRoom, int nTimeoutMs);   // bytes, or -1 after the time-out
// Told by the bus when the device leaves (the node's fds die) and comes back.
void nodeDeviceLeft();
// The simulated camera's stream (started and stopped without any lock of the node held).
bool startStream(int nWidth, int nHeight, int (*pfnFrame)(int, int, unsigned char*, int, void*));
void stopStream();
void armUnplugTimer();
void unplugNow();

// ---- the video node (FakeCamNode.cpp) ---------------------------------------------------------
bool isNodePath(const char* pszPath);
bool isNodeFd(int fd);
int nodeOpen(int nFlags);                    // fd, or -1 with errno
void nodeClose(int fd);                      // before the real close
int nodeIoctl(int fd, unsigned long nRequest, void* pArg);
void* nodeMmap(void* pAddr, size_t nLength, int nProt, int nFlags, int fd, off_t nOffset);
short nodeRevents(int fd, short nEvents);    // what poll reports for the node fd
void nodeStat(struct stat* pSt);

} // namespace fakecam
