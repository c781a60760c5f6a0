#pragma once
// Finding cameras: the kernel's video nodes (sysfs class/video4linux under
// THERMAVA_SYSFS_ROOT, default /sys), the USB device each belongs to, what each captures, which
// command transport its descriptors offer, and whether this program can use it.

#include "platform/v4l2/UsbDescriptors.h"
#include "platform/v4l2/V4l2Device.h"

#include <string>
#include <vector>

struct V4l2NodeInfo
{
    std::string name;        // "video0"
    std::string nodePath;    // "/dev/video0"
    int nIndex = -1;         // N of videoN

    bool bUsb = false;
    uint16_t nVendorId = 0;
    uint16_t nProductId = 0;
    int nBus = 0;
    int nAddress = 0;
    std::string port;        // the device's port path on its bus, "2" or "1.4"
    std::string manufacturer, product, serial;
    UsbDescriptorSummary descriptors;

    bool bOpened = false;    // the node could be opened and asked what it captures
    int nOpenErrno = 0;
    std::string openError;
    bool bCapture = false;   // video capture with streaming
    std::string driver, card;
    std::vector<V4l2Format> formats;
    std::vector<V4l2Device::LinkStream> streams;   // packed 4:2:2 at a size the link reads

    std::string transport;   // "bulk", "xu" or "" (what the descriptors offer)
    int nXuUnit = 0;
    int nXuSelector = 0;
    int nXuLength = 0;

    bool bCandidate = false; // usable for the automatic choice
    std::string reason;      // why not, when it is not
};

std::string v4l2SysfsRoot();

// Every video node the kernel lists, capture nodes and the ones that could not be opened
// (their kind is unknown then), in node number order.
std::vector<V4l2NodeInfo> enumerateV4l2Nodes();

// One node by its path (/dev/videoN, or a link to it). False when the kernel lists no such node.
bool probeV4l2Node(const std::string& path, V4l2NodeInfo* pInfo);

// The udev rule line that gives the logged-in user the camera's USB device.
std::string v4l2UdevRule(uint16_t nVendorId, uint16_t nProductId);
