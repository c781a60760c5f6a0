#include "platform/v4l2/V4l2Enumerate.h"

#include "platform/v4l2/UvcXuTransport.h"

#include <algorithm>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <dirent.h>
#include <fstream>
#include <iterator>
#include <sys/stat.h>
#include <unistd.h>

namespace {

std::string readText(const std::string& path)
{
    std::ifstream in(path);
    std::string s((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    while (!s.empty() && (s.back() == '\n' || s.back() == ' ' || s.back() == '\r' || s.back() == '\t'))
        s.pop_back();
    return s;
}

std::vector<uint8_t> readBinary(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

bool exists(const std::string& path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0;
}

std::string realPath(const std::string& path)
{
    char sz[PATH_MAX];
    return ::realpath(path.c_str(), sz) ? std::string(sz) : std::string();
}

// N of "videoN", or -1.
int nodeIndex(const std::string& name)
{
    if (name.size() < 6 || name.compare(0, 5, "video") != 0)
        return -1;
    int n = 0;
    for (size_t i = 5; i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000)
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

// The USB device above the node: the nearest directory holding idVendor, not above the root.
std::string usbDeviceDir(const std::string& root, const std::string& name)
{
    const std::string top = realPath(root);
    std::string dir = realPath(root + "/class/video4linux/" + name + "/device");
    while (!dir.empty() && !top.empty() && dir.size() > top.size() && dir.compare(0, top.size(), top) == 0) {
        if (exists(dir + "/idVendor"))
            return dir;
        dir = dir.substr(0, dir.rfind('/'));
    }
    return std::string();
}

void readUsbDevice(const std::string& dir, V4l2NodeInfo* p)
{
    p->bUsb = true;
    p->nVendorId = uint16_t(std::strtoul(readText(dir + "/idVendor").c_str(), nullptr, 16));
    p->nProductId = uint16_t(std::strtoul(readText(dir + "/idProduct").c_str(), nullptr, 16));
    p->nBus = std::atoi(readText(dir + "/busnum").c_str());
    p->nAddress = std::atoi(readText(dir + "/devnum").c_str());
    p->port = readText(dir + "/devpath");
    p->manufacturer = readText(dir + "/manufacturer");
    p->product = readText(dir + "/product");
    p->serial = readText(dir + "/serial");
    const std::vector<uint8_t> raw = readBinary(dir + "/descriptors");
    p->descriptors = parseUsbDescriptors(raw.data(), raw.size());
}

// Opens the node and fills in what it captures and which transport it offers; then decides.
void probeOpened(V4l2NodeInfo* p)
{
    const int fd = V4l2Device::openNode(p->nodePath, &p->openError);
    if (fd < 0) {
        p->nOpenErrno = errno;
        p->reason = p->openError;
        return;
    }
    p->bOpened = true;
    p->bCapture = V4l2Device::isVideoCapture(fd, &p->driver, &p->card);
    if (p->bCapture) {
        p->formats = V4l2Device::queryFormats(fd);
        p->streams = V4l2Device::linkStreams(p->formats);
    }
    if (!p->descriptors.vendorBulk.empty()) {
        p->transport = "bulk";
    } else if (UvcXuTransport::pickControl(fd, p->descriptors.extensionUnits, &p->nXuUnit, &p->nXuSelector,
                                           &p->nXuLength)) {
        p->transport = "xu";
    }
    ::close(fd);

    if (!p->bCapture)
        p->reason = "not a video capture node";
    else if (!p->bUsb)
        p->reason = "not a USB camera";
    else if (p->streams.empty())
        p->reason = "offers no UYVY or YUYV stream of a thermal image with its trailer rows";
    else if (p->transport.empty() && !p->descriptors.extensionUnits.empty())
        p->reason = "no extension unit control of at least 64 bytes to carry commands: the camera cannot be"
                    " identified (name the node to use its picture alone, stream only)";
    else if (p->transport.empty())
        p->reason = "no vendor command interface or extension unit: the camera cannot be identified"
                    " (name the node to use its picture alone, stream only)";
    p->bCandidate = p->reason.empty();
}

bool probeByName(const std::string& root, const std::string& name, V4l2NodeInfo* p)
{
    if (!exists(root + "/class/video4linux/" + name))
        return false;
    *p = V4l2NodeInfo();
    p->name = name;
    p->nodePath = "/dev/" + name;
    p->nIndex = nodeIndex(name);
    const std::string usbDir = usbDeviceDir(root, name);
    if (!usbDir.empty())
        readUsbDevice(usbDir, p);
    probeOpened(p);
    return true;
}

} // namespace

std::string v4l2SysfsRoot()
{
    const char* psz = std::getenv("THERMAVA_SYSFS_ROOT");
    return psz && *psz ? std::string(psz) : std::string("/sys");
}

std::vector<V4l2NodeInfo> enumerateV4l2Nodes()
{
    const std::string root = v4l2SysfsRoot();
    std::vector<std::string> names;
    if (DIR* pDir = ::opendir((root + "/class/video4linux").c_str())) {
        while (dirent* pEntry = ::readdir(pDir)) {
            if (nodeIndex(pEntry->d_name) >= 0)
                names.push_back(pEntry->d_name);
        }
        ::closedir(pDir);
    }
    std::sort(names.begin(), names.end(),
              [](const std::string& a, const std::string& b) { return nodeIndex(a) < nodeIndex(b); });
    std::vector<V4l2NodeInfo> nodes;
    for (const std::string& name : names) {
        V4l2NodeInfo info;
        if (probeByName(root, name, &info) && (info.bCapture || !info.bOpened))
            nodes.push_back(std::move(info));
    }
    return nodes;
}

bool probeV4l2Node(const std::string& path, V4l2NodeInfo* pInfo)
{
    std::string name = path.substr(path.rfind('/') + 1);
    if (nodeIndex(name) < 0) {
        // A link such as /dev/v4l/by-id/...: the node it points to.
        const std::string target = realPath(path);
        name = target.substr(target.rfind('/') + 1);
    }
    return nodeIndex(name) >= 0 && probeByName(v4l2SysfsRoot(), name, pInfo);
}

std::string v4l2UdevRule(uint16_t nVendorId, uint16_t nProductId)
{
    char sz[200];
    std::snprintf(sz, sizeof(sz),
                  "SUBSYSTEM==\"usb\", ENV{DEVTYPE}==\"usb_device\", ATTR{idVendor}==\"%04x\", ATTR{idProduct}==\"%04x\", "
                  "TAG+=\"uaccess\"",
                  nVendorId, nProductId);
    return sz;
}
