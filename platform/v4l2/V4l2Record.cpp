#include "platform/v4l2/V4l2Record.h"

#include <algorithm>
#include <cstring>

namespace {

// Offsets in the spare bytes.
constexpr char kMagic[4] = {'T', 'V', '4', 'L'};
constexpr int kVersion = 1;
constexpr size_t kAtVersion = 4, kAtTransport = 5, kAtExplicit = 6, kAtBus = 7, kAtAddress = 8, kAtInterface = 9,
                 kAtEndpointOut = 10, kAtEndpointIn = 11, kAtUnit = 12, kAtSelector = 13;
constexpr size_t kAtPort = 16, kPortBytes = 32;
constexpr size_t kAtNode = 48, kNodeBytes = 128;

void putText(uint8_t* p, size_t nRoom, const std::string& s)
{
    std::memcpy(p, s.data(), std::min(s.size(), nRoom - 1));
}

std::string getText(const uint8_t* p, size_t nRoom)
{
    const char* psz = reinterpret_cast<const char*>(p);
    return std::string(psz, strnlen(psz, nRoom));
}

} // namespace

static_assert(kAtNode + kNodeBytes <= sizeof(UsbDeviceRecord::reserved), "record layout fits the spare bytes");

void encodeV4l2Record(const V4l2Record& r, int32_t nCamID, UsbDeviceRecord* pOut)
{
    std::memset(pOut, 0, sizeof(*pOut));
    pOut->nCamID = nCamID;
    uint8_t* p = pOut->reserved;
    std::memcpy(p, kMagic, 4);
    p[kAtVersion] = kVersion;
    p[kAtTransport] = uint8_t(r.eTransport);
    p[kAtExplicit] = r.bExplicit ? 1 : 0;
    p[kAtBus] = uint8_t(r.nBus);
    p[kAtAddress] = uint8_t(r.nAddress);
    p[kAtInterface] = uint8_t(r.nInterface);
    p[kAtEndpointOut] = uint8_t(r.nEndpointOut);
    p[kAtEndpointIn] = uint8_t(r.nEndpointIn);
    p[kAtUnit] = uint8_t(r.nUnit);
    p[kAtSelector] = uint8_t(r.nSelector);
    putText(p + kAtPort, kPortBytes, r.port);
    putText(p + kAtNode, kNodeBytes, r.node);
}

bool decodeV4l2Record(const UsbDeviceRecord& in, V4l2Record* pOut)
{
    const uint8_t* p = in.reserved;
    if (std::memcmp(p, kMagic, 4) != 0 || p[kAtVersion] != kVersion || p[kAtTransport] > 2)
        return false;
    V4l2Record r;
    r.eTransport = V4l2Record::Transport(p[kAtTransport]);
    r.bExplicit = p[kAtExplicit] != 0;
    r.nBus = p[kAtBus];
    r.nAddress = p[kAtAddress];
    r.nInterface = p[kAtInterface];
    r.nEndpointOut = p[kAtEndpointOut];
    r.nEndpointIn = p[kAtEndpointIn];
    r.nUnit = p[kAtUnit];
    r.nSelector = p[kAtSelector];
    r.port = getText(p + kAtPort, kPortBytes);
    r.node = getText(p + kAtNode, kNodeBytes);
    if (r.node.empty())
        return false;
    *pOut = r;
    return true;
}
