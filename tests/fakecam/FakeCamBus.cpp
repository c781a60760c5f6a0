// The emulated camera as the bus sees it: switches, USB descriptors, the sysfs entries the
// enumeration reads, and the session with the simulated camera behind them.

#include "tests/fakecam/FakeCam.h"

#include "platform/simcam/SimCamera.h"
#include "platform/simcam/SimCameraLibrary.h"

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <ftw.h>
#include <mutex>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace fakecam {

namespace {

const CameraLibraryApi& sim() { return simCameraLibraryApi(); }

Switches parseSwitches()
{
    Switches s;
    const char* env = std::getenv("THERMAVA_FAKECAM");
    std::string text = env ? env : "";
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find(';', start);
        if (end == std::string::npos)
            end = text.size();
        const std::string entry = text.substr(start, end - start);
        start = end + 1;
        const size_t eq = entry.find('=');
        const std::string key = entry.substr(0, eq), value = eq == std::string::npos ? "" : entry.substr(eq + 1);
        const int n = std::atoi(value.c_str());
        if (key == "transport" && (value == "bulk" || value == "xu" || value == "none"))
            s.transport = value == "bulk" ? Transport::Bulk : value == "xu" ? Transport::Xu : Transport::None;
        else if (key == "format" && (value == "yuyv" || value == "uyvy"))
            s.bUyvy = value == "uyvy";
        else if (key == "pad" && n >= 0)
            s.nPad = n;
        else if (key == "errors" && n > 0)
            s.nErrorEvery = n;
        else if (key == "busy" || key == "noperm")
            (key == "busy" ? s.bBusy : s.bNoPerm) = true;
        else if (key == "unplugms" && n >= 0 && !value.empty())
            s.nUnplugMs = n;
        else if (key == "xulen" && n >= 1 && n <= 65535)
            s.nXuLen = n;
        else if (key == "node" && n >= 0 && n < 256 && !value.empty())
            s.nNode = n;
        else if (!entry.empty())
            std::fprintf(stderr, "THERMAVA_FAKECAM: ignored \"%s\"\n", entry.c_str());
    }
    return s;
}

void put16(std::vector<uint8_t>& v, unsigned x) { v.insert(v.end(), {uint8_t(x), uint8_t(x >> 8)}); }
void put32(std::vector<uint8_t>& v, uint32_t x) { put16(v, x & 0xFFFF), put16(v, x >> 16); }

// The bus's own state; the simulated camera is never called with this lock held.
std::mutex g_m;
bool g_bPresent = false;
uint64_t g_nGeneration = 1;   // bumps each time the device leaves the bus
int g_nAddress = 5;
int g_nUsers = 0;             // node fds and USB handles of this generation
bool g_bListening = false;
bool g_bUnplugArmed = false;

std::string sysfsRoot()
{
    const char* root = std::getenv("THERMAVA_SYSFS_ROOT");
    // Never write into the real sysfs.
    return root && *root && std::strcmp(root, "/sys") != 0 ? root : "";
}

// Plain text, not std::string: the constructor below may run before dynamic initialisers.
constexpr const char* kBusDir = "devices/pci0000:00/0000:00:14.0/usb1";

void writeFile(const std::string& path, const std::string& content)
{
    // Written aside and renamed, so a process reading the tree never sees half a file.
    const std::string tmp = path + ".tmp" + std::to_string(getpid());
    const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        return;
    const bool bOk = ::write(fd, content.data(), content.size()) == ssize_t(content.size());
    ::close(fd);
    if (!bOk || ::rename(tmp.c_str(), path.c_str()) != 0)
        ::unlink(tmp.c_str());
}

void makeDirs(const std::string& path)
{
    for (size_t i = 1; i <= path.size(); ++i)
        if (i == path.size() || path[i] == '/')
            ::mkdir(path.substr(0, i).c_str(), 0755);
}

void removeTree(const std::string& path)
{
    // Not through a shell: a child process would load this library and lay the tree out again.
    nftw(path.c_str(), [](const char* p, const struct stat*, int, FTW*) { return ::remove(p); }, 16, FTW_DEPTH | FTW_PHYS);
}

void layOutSysfs(bool bPresent, int nAddress)
{
    const std::string root = sysfsRoot();
    if (root.empty())
        return;
    const std::string name = "video" + std::to_string(switches().nNode);
    const std::string usb = root + "/" + kBusDir + "/1-2", cls = root + "/class/video4linux/" + name;
    // The bus and the class stay when the camera is away, as the kernel keeps them.
    makeDirs(root + "/class/video4linux");
    makeDirs(root + "/" + kBusDir);
    if (!bPresent) {
        ::unlink(cls.c_str());
        removeTree(usb);
        return;
    }
    const std::string node = usb + "/1-2:1.0/video4linux/" + name;
    makeDirs(node);
    const std::vector<uint8_t> desc = descriptors();
    writeFile(usb + "/descriptors", std::string(desc.begin(), desc.end()));
    const std::pair<const char*, std::string> usbFiles[] = {
        {"idVendor", "1209"},         {"idProduct", "0001"},    {"busnum", std::to_string(kBusNumber)},
        {"devnum", std::to_string(nAddress)}, {"devpath", std::to_string(kPortNumber)},
        {"manufacturer", "Thermava"}, {"product", "Thermava emulated camera"},
        {"serial", SimCamera::instance().serialNumber()}, {"speed", "480"}};
    for (const auto& f : usbFiles)
        writeFile(usb + "/" + f.first, f.second + "\n");
    const int nInterfaces = switches().transport == Transport::Bulk ? 3 : 2;
    for (int i = 0; i < nInterfaces; ++i) {
        const std::string dir = usb + "/1-2:1." + std::to_string(i);
        makeDirs(dir);
        writeFile(dir + "/bInterfaceNumber", "0" + std::to_string(i) + "\n");
        writeFile(dir + "/bInterfaceClass", i == 2 ? "ff\n" : "0e\n");
        writeFile(dir + "/bInterfaceSubClass", i == 2 ? "00\n" : i == 0 ? "01\n" : "02\n");
    }
    const std::string dev = "81:" + std::to_string(switches().nNode);
    writeFile(node + "/name", "Thermava emulated camera\n");
    writeFile(node + "/index", "0\n");
    writeFile(node + "/dev", dev + "\n");
    writeFile(node + "/uevent", "MAJOR=81\nMINOR=" + std::to_string(switches().nNode) + "\nDEVNAME=" + name + "\n");
    ::symlink("../../../1-2:1.0", (node + "/device").c_str());
    ::symlink(("../../" + std::string(kBusDir) + "/1-2/1-2:1.0/video4linux/" + name).c_str(), cls.c_str());
}

void onHotplug(bool bArrived)
{
    int nAddress = 0;
    {
        std::lock_guard<std::mutex> lk(g_m);
        if (bArrived == g_bPresent)
            return;
        g_bPresent = bArrived;
        if (bArrived) {
            nAddress = ++g_nAddress;
        } else {
            ++g_nGeneration;
            g_nUsers = 0;
        }
    }
    if (!bArrived)
        nodeDeviceLeft();
    layOutSysfs(bArrived, nAddress);
}

// Follows the simulated camera on and off the bus from the first use on.
void listen()
{
    std::lock_guard<std::mutex> lk(g_m);
    if (g_bListening)
        return;
    g_bListening = true;
    // A device of its own, not the machine's simulated camera, unless THERMAVA_SIM names a
    // state folder to share.
    const char* sim = std::getenv("THERMAVA_SIM");
    if (!sim || !std::strstr(sim, "statedir="))
        SimCamera::instance().setPrivate(true);
    SimCamera::instance().addHotplugListener(onHotplug);
    g_bPresent = SimCamera::instance().isPresent();
}

// The first process that loads the library lays the tree out, before anything enumerates;
// the processes it starts find it there (and do not bring back a camera it saw leave).
__attribute__((constructor)) void startUp()
{
    struct stat st;
    const std::string root = sysfsRoot();
    if (!root.empty() && ::stat((root + "/devices").c_str(), &st) != 0)
        layOutSysfs(present(), deviceAddress());
}

} // namespace

const Switches& switches()
{
    static const Switches s = parseSwitches();
    return s;
}

const std::string& nodePath()
{
    static const std::string path = "/dev/video" + std::to_string(switches().nNode);
    return path;
}

bool present()
{
    listen();
    std::lock_guard<std::mutex> lk(g_m);
    return g_bPresent;
}

int deviceAddress()
{
    std::lock_guard<std::mutex> lk(g_m);
    return g_nAddress;
}

void streamSize(int& nWidth, int& nHeight)
{
    const SimStreamLayout l = SimCamera::instance().streamLayout();
    nWidth = l.nStreamWidth;
    nHeight = l.nStreamHeight;
}

std::vector<uint8_t> descriptors()
{
    const Switches& s = switches();
    int w = 0, h = 0;
    streamSize(w, h);
    std::vector<uint8_t> d = {18, 1, 0x00, 0x02, 0xEF, 2, 1, 64};   // composite device with IADs
    put16(d, 0x1209), put16(d, 0x0001), put16(d, 0x0100);
    d.insert(d.end(), {1, 2, 3, 1});
    const size_t config = d.size();
    const int nInterfaces = s.transport == Transport::Bulk ? 3 : 2;
    d.insert(d.end(), {9, 2, 0, 0, uint8_t(nInterfaces), 1, 0, 0x80, 250});
    d.insert(d.end(), {8, 0x0B, 0, 2, 0x0E, 0x03, 0, 0});   // video function: interfaces 0 and 1
    d.insert(d.end(), {9, 4, 0, 0, 1, 0x0E, 0x01, 0, 0});   // VideoControl
    const size_t vc = d.size();
    d.insert(d.end(), {13, 0x24, 0x01, 0x10, 0x01, 0, 0});
    put32(d, 48000000);
    d.insert(d.end(), {1, 1});
    d.insert(d.end(), {18, 0x24, 0x02, 1, 0x01, 0x02, 0, 0, 0, 0, 0, 0, 0, 0, 3, 0, 0, 0});   // camera terminal
    if (s.transport == Transport::Xu) {
        // Selector 1 is a small control; the command channel is selector 2.
        d.insert(d.end(), {26, 0x24, 0x06, 3, 0x7A, 0x1C, 0x4E, 0x53, 0x9D, 0x41, 0x4B, 0x2A, 0x8E, 0x0F, 0x52, 0x31,
                           0x6A, 0x77, 0x2E, 0x01, 2, 1, 1, 1, 0x03, 0});
    }
    d.insert(d.end(), {9, 0x24, 0x03, 2, 0x01, 0x01, 0, uint8_t(s.transport == Transport::Xu ? 3 : 1), 0});
    d[vc + 5] = uint8_t(d.size() - vc), d[vc + 6] = uint8_t((d.size() - vc) >> 8);
    d.insert(d.end(), {7, 5, 0x83, 0x03, 16, 0, 8, 5, 0x25, 0x03, 16, 0});
    d.insert(d.end(), {9, 4, 1, 0, 1, 0x0E, 0x02, 0, 0});   // VideoStreaming
    const size_t vs = d.size();
    d.insert(d.end(), {14, 0x24, 0x01, 1, 0, 0, 0x82, 0, 2, 0, 0, 0, 1, 0});
    const uint8_t fourcc[4] = {uint8_t(s.bUyvy ? 'U' : 'Y'), uint8_t(s.bUyvy ? 'Y' : 'U'), uint8_t(s.bUyvy ? 'V' : 'Y'),
                               uint8_t(s.bUyvy ? 'Y' : '2')};
    d.insert(d.end(), {27, 0x24, 0x04, 1, 1, fourcc[0], fourcc[1], fourcc[2], fourcc[3], 0x00, 0x00, 0x10, 0x00, 0x80,
                       0x00, 0x00, 0xAA, 0x00, 0x38, 0x9B, 0x71, 16, 1, 0, 0, 0, 0});
    d.insert(d.end(), {30, 0x24, 0x05, 1, 0});
    put16(d, unsigned(w)), put16(d, unsigned(h));
    const uint32_t nFrameBytes = uint32_t(w * h * 2);
    put32(d, nFrameBytes * 8 * 25), put32(d, nFrameBytes * 8 * 25), put32(d, nFrameBytes), put32(d, 400000);
    d.push_back(1), put32(d, 400000);
    d[vs + 4] = uint8_t(d.size() - vs), d[vs + 5] = uint8_t((d.size() - vs) >> 8);
    d.insert(d.end(), {7, 5, 0x82, 0x02, 0x00, 0x02, 0});
    if (s.transport == Transport::Bulk) {
        d.insert(d.end(), {9, 4, uint8_t(kVendorInterface), 0, 2, 0xFF, 0, 0, 0});
        d.insert(d.end(), {7, 5, kBulkOut, 0x02, 0x00, 0x02, 0, 7, 5, kBulkIn, 0x02, 0x00, 0x02, 0});
    }
    d[config + 2] = uint8_t(d.size() - config), d[config + 3] = uint8_t((d.size() - config) >> 8);
    return d;
}

uint64_t attachUser()
{
    errno = ENOENT;
    if (!present())
        return 0;
    int32_t nCount = 0;
    static UsbDeviceRecord list[kUsbDeviceListSize];   // 17 KB: not on the caller's stack
    static std::mutex listLock;
    {
        std::lock_guard<std::mutex> lk(listLock);
        if (!sim().GetUsbDeviceNum(&nCount, list))
            return 0;
        // A simulated camera shared with other programs (statedir=) may be theirs right now.
        if (!sim().OpenUSBCam(&list[0])) {
            errno = EBUSY;
            return 0;
        }
    }
    std::lock_guard<std::mutex> lk(g_m);
    errno = ENOENT;
    if (!g_bPresent)
        return 0;
    ++g_nUsers;
    return g_nGeneration;
}

void detachUser(uint64_t nGeneration)
{
    {
        std::lock_guard<std::mutex> lk(g_m);
        if (nGeneration != g_nGeneration || --g_nUsers > 0)
            return;
    }
    sim().CloseUSBCam(SimCamera::kCamID);
}

bool alive(uint64_t nGeneration)
{
    std::lock_guard<std::mutex> lk(g_m);
    return nGeneration != 0 && nGeneration == g_nGeneration;
}

uint64_t generation()
{
    const bool bPresent = present();
    std::lock_guard<std::mutex> lk(g_m);
    return bPresent && g_bPresent ? g_nGeneration : 0;
}

bool sendToCamera(const uint8_t* pData, int nLength, int nTimeoutMs)
{
    int32_t n = nLength;
    return sim().SendDeviceData(SimCamera::kCamID, const_cast<uint8_t*>(pData), &n, nTimeoutMs) && n == nLength;
}

int recvFromCamera(uint8_t* pData, int nRoom, int nTimeoutMs)
{
    int32_t n = nRoom;
    return sim().RecvDeviceData(SimCamera::kCamID, pData, &n, nTimeoutMs) ? n : -1;
}

bool startStream(int nWidth, int nHeight, int (*pfnFrame)(int, int, unsigned char*, int, void*))
{
    UsbDeviceRecord rec{};
    rec.nCamID = SimCamera::kCamID;
    return sim().InitUSBCam(&rec, nWidth, nHeight, 0, 0, 1) == 0 &&
           sim().RegisterUSBStreamCallBack(SimCamera::kCamID, pfnFrame, nullptr) != -1;
}

void stopStream() { sim().CloseUSBStreaming(SimCamera::kCamID); }

void armUnplugTimer()
{
    const int nMs = switches().nUnplugMs;
    {
        std::lock_guard<std::mutex> lk(g_m);
        if (nMs < 0 || g_bUnplugArmed)
            return;
        g_bUnplugArmed = true;
    }
    std::thread([nMs] {
        std::this_thread::sleep_for(std::chrono::milliseconds(nMs));
        unplugNow();
    }).detach();
}

void unplugNow() { SimCamera::instance().unplug(); }

} // namespace fakecam
