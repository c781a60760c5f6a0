#include "platform/v4l2/UsbDescriptors.h"

#include <cstdio>

namespace {

constexpr uint8_t kTypeDevice = 0x01;
constexpr uint8_t kTypeConfiguration = 0x02;
constexpr uint8_t kTypeInterface = 0x04;
constexpr uint8_t kTypeEndpoint = 0x05;
constexpr uint8_t kTypeClassInterface = 0x24;
constexpr uint8_t kClassVideo = 0x0E;
constexpr uint8_t kSubclassVideoControl = 0x01;
constexpr uint8_t kSubclassVideoStreaming = 0x02;
constexpr uint8_t kClassVendor = 0xFF;
constexpr uint8_t kVcExtensionUnit = 0x06;
constexpr uint8_t kTransferBulk = 0x02;

uint16_t le16(const uint8_t* p) { return uint16_t(p[0] | (p[1] << 8)); }

// An extension unit descriptor: id, GUID, control count, input pins, then the control bitmap.
bool parseExtensionUnit(const uint8_t* d, size_t nLen, UvcExtensionUnit* pUnit)
{
    if (nLen < 24)
        return false;
    pUnit->nUnitId = d[3];
    for (int i = 0; i < 16; ++i)
        pUnit->guid[i] = d[4 + i];
    const size_t nPins = d[21];
    if (22 + nPins >= nLen)
        return false;
    const size_t nControlSize = d[22 + nPins];
    if (23 + nPins + nControlSize > nLen)
        return false;
    const uint8_t* pControls = d + 23 + nPins;
    for (size_t nByte = 0; nByte < nControlSize; ++nByte) {
        for (int nBit = 0; nBit < 8; ++nBit) {
            if (pControls[nByte] & (1u << nBit))
                pUnit->selectors.push_back(int(nByte * 8) + nBit + 1);
        }
    }
    return pUnit->nUnitId != 0;
}

} // namespace

std::string UvcExtensionUnit::guidText() const
{
    // The first three fields are stored little-endian, the rest byte by byte.
    char sz[40];
    std::snprintf(sz, sizeof(sz), "%02x%02x%02x%02x-%02x%02x-%02x%02x-%02x%02x-%02x%02x%02x%02x%02x%02x",
                  guid[3], guid[2], guid[1], guid[0], guid[5], guid[4], guid[7], guid[6], guid[8], guid[9],
                  guid[10], guid[11], guid[12], guid[13], guid[14], guid[15]);
    return sz;
}

UsbDescriptorSummary parseUsbDescriptors(const uint8_t* pData, size_t nLength)
{
    UsbDescriptorSummary s;
    bool bDevice = false;
    int nConfigurations = 0;
    // The interface being walked: its class, subclass, number and alternate setting.
    int nClass = -1, nSubclass = -1, nInterface = -1, nAlternate = -1;
    UsbVendorBulkInterface bulk;
    auto finishInterface = [&] {
        if (nClass == kClassVendor && nAlternate == 0 && bulk.nEndpointIn >= 0 && bulk.nEndpointOut >= 0)
            s.vendorBulk.push_back(bulk);
        bulk = UsbVendorBulkInterface();
    };

    size_t nPos = 0;
    while (nPos + 2 <= nLength) {
        const uint8_t* d = pData + nPos;
        const size_t nLen = d[0];
        if (nLen < 2 || nPos + nLen > nLength)
            break;
        const uint8_t nType = d[1];
        if (nType == kTypeDevice && nLen >= 18 && !bDevice) {
            bDevice = true;
            s.nVendorId = le16(d + 8);
            s.nProductId = le16(d + 10);
        } else if (nType == kTypeConfiguration) {
            // Only the first configuration (the active one, as the kernel lists it) counts.
            if (++nConfigurations > 1)
                break;
        } else if (nType == kTypeInterface && nLen >= 9) {
            finishInterface();
            nInterface = d[2];
            nAlternate = d[3];
            nClass = d[5];
            nSubclass = d[6];
            bulk.nInterface = nInterface;
            if (nClass == kClassVideo && nSubclass == kSubclassVideoControl && s.nVideoControlInterface < 0)
                s.nVideoControlInterface = nInterface;
            if (nClass == kClassVideo && nSubclass == kSubclassVideoStreaming)
                s.bVideoStreaming = true;
        } else if (nType == kTypeEndpoint && nLen >= 7 && nClass == kClassVendor && nAlternate == 0) {
            const int nAddress = d[2];
            if ((d[3] & 0x03) == kTransferBulk) {
                int& nSlot = (nAddress & 0x80) ? bulk.nEndpointIn : bulk.nEndpointOut;
                if (nSlot < 0)
                    nSlot = nAddress;
            }
        } else if (nType == kTypeClassInterface && nLen >= 3 && nClass == kClassVideo
                   && nSubclass == kSubclassVideoControl && d[2] == kVcExtensionUnit) {
            UvcExtensionUnit unit;
            if (parseExtensionUnit(d, nLen, &unit))
                s.extensionUnits.push_back(unit);
        }
        nPos += nLen;
    }
    finishInterface();
    s.bValid = bDevice && nConfigurations > 0;
    return s;
}
