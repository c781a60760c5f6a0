#pragma once
// What the V4L2 backend keeps in the spare bytes of a camera record, so that OpenUSBCam can
// reopen the camera the enumeration found: its node, its place on the USB, and the command
// transport chosen for it.

#include "platform/camlib/CameraLibrary.h"

#include <string>

struct V4l2Record
{
    enum class Transport : uint8_t { None = 0, Bulk = 1, Xu = 2 };

    std::string node;          // /dev/videoN, at most 127 bytes
    std::string port;          // USB port path, at most 31 bytes
    int nBus = 0;
    int nAddress = 0;
    bool bExplicit = false;    // named by the person: may run stream-only
    Transport eTransport = Transport::None;
    int nInterface = 0, nEndpointOut = 0, nEndpointIn = 0;
    int nUnit = 0, nSelector = 0;
};

// nCamID := nCamID; the rest into the spare bytes.
void encodeV4l2Record(const V4l2Record& r, int32_t nCamID, UsbDeviceRecord* pOut);
// False for a record this backend did not write.
bool decodeV4l2Record(const UsbDeviceRecord& in, V4l2Record* pOut);
