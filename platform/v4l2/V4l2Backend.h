#pragma once
// The real-camera backend: a UVC camera through the kernel's V4L2 interface for the picture,
// and its vendor command channel over a vendor-specific USB interface (libusb bulk) or a UVC
// extension unit. Binding it is the camera choice's job; nothing above platform/ names it.

#include "platform/camlib/CameraBackend.h"
#include "platform/camlib/CameraLibrary.h"

#include <cstdint>
#include <string>

// The V4L2 camera library table and its events.
const CameraLibraryApi& v4l2CameraLibrary();
const CameraBackendEvents& v4l2CameraBackendEvents();

// What GetUsbDeviceNum reports from now on: "" (or "auto") for the first candidate found, or
// "/dev/videoN[,bulk=IF:OUT:IN|,xu=UNIT:SEL|,nocmd]" for that node. False with a reason when
// the text cannot be parsed (the previous target then stays).
bool v4l2SetTarget(const std::string& spec, std::string* pError);

// For auto: true when at least one usable real camera (candidate) is attached now. When false,
// v4l2LastError() says why if a USB video node could not be opened (permission, busy).
bool v4l2HasCandidate();

// Why the last GetUsbDeviceNum/OpenUSBCam/InitUSBCam failed, in plain English with the path
// and the fix, or "". In stream-only mode: why the command channel is unavailable, if known.
// Also reported as describe().lastError.
std::string v4l2LastError();

// Buffers of the current (or last) stream: handed on, and dropped as damaged or short.
struct V4l2StreamStats
{
    uint64_t nDelivered = 0;
    uint64_t nErrorFlagged = 0;
    uint64_t nWrongSize = 0;
};
V4l2StreamStats v4l2StreamStats();
