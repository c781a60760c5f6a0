// Firmware file verification: the input is a whole .bin file; the header is parsed, its CRC
// computed in blocks from a device, and the camera checks run against codes taken from the
// file's own tail (as an arbitrary camera would answer).
#include "maintenance/FirmwareImage.h"

#include <QBuffer>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    const QByteArray file(reinterpret_cast<const char*>(pData), static_cast<int>(nSize));
    Firmware::Header header;
    if (nSize >= static_cast<size_t>(Firmware::kCheckFieldsEnd) && Firmware::parseHeader(pData, nSize, &header)) {
        QBuffer device;
        device.setData(file);
        device.open(QIODevice::ReadOnly);
        uint32_t nCrc = 0;
        if (Firmware::computeFileCrc(device, device.size(), &nCrc) && nSize > 64)
            (void)(nCrc == Firmware::computeCrc(file));
        const int nVersionLen = static_cast<int>(nSize % 40);
        const int nPartLen = static_cast<int>(nSize % 33);
        const uint8_t* pTail = pData + nSize - std::min<size_t>(nSize, 40);
        Firmware::checkCamera(header, pTail, std::min<int>(nVersionLen, static_cast<int>(nSize)), pTail,
                              std::min<int>(nPartLen, static_cast<int>(nSize)));
    }
    // The code readers must cope with any length, including none.
    for (int nLen = 0; nLen <= static_cast<int>(std::min<size_t>(nSize, 34)); ++nLen) {
        Firmware::platformCode(pData, nLen);
        Firmware::variantCode(pData, nLen);
        Firmware::sensorClass(pData, nLen);
    }
    return 0;
}
