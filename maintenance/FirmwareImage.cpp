#include "maintenance/FirmwareImage.h"

#include "device/CommandFrame.h"

#include <QIODevice>
#include <algorithm>
#include <cstring>

namespace Firmware {

namespace {

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }
uint32_t be32(const uint8_t* p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | uint32_t(p[3]); }

void putLe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (8 * i));
}

void putBe32(uint8_t* p, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(v >> (24 - 8 * i));
}

constexpr qint64 kReadBlock = 64 * 1024;

} // namespace

bool parseHeader(const uint8_t* pData, size_t nLen, Header* pHeader)
{
    if (!pData || !pHeader || nLen < size_t(kCheckFieldsEnd))
        return false;
    pHeader->nCrc = be32(pData + kCrcFieldOffset);
    pHeader->bPlatformCheck = le32(pData + kPlatformEnableOffset) != 0;
    pHeader->nPlatform = le32(pData + kPlatformOffset);
    pHeader->bSensorCheck = le32(pData + kSensorEnableOffset) != 0;
    pHeader->nSensorClass = le32(pData + kSensorOffset);
    pHeader->bVariantCheck = le32(pData + kVariantEnableOffset) != 0;
    pHeader->nVariant = le32(pData + kVariantOffset);
    return true;
}

bool computeFileCrc(QIODevice& device, qint64 nFileSize, uint32_t* pnCrc)
{
    if (!pnCrc || nFileSize < kCrcStart || !device.seek(kCrcStart))
        return false;
    QByteArray block(int(kReadBlock), Qt::Uninitialized);
    uint32_t nCrc = 0;
    qint64 nLeft = nFileSize - kCrcStart;
    while (nLeft > 0) {
        const qint64 nWant = std::min(nLeft, kReadBlock);
        const qint64 nGot = device.read(block.data(), nWant);
        if (nGot <= 0)
            return false;   // the file shrank or cannot be read: no verdict
        nCrc = crc32Update(nCrc, block.constData(), size_t(nGot));
        nLeft -= nGot;
    }
    *pnCrc = nCrc;
    return true;
}

uint32_t computeCrc(const QByteArray& file)
{
    if (file.size() <= kCrcStart)
        return crc32(nullptr, 0);
    return crc32(file.constData() + kCrcStart, size_t(file.size() - kCrcStart));
}

uint32_t platformCode(const uint8_t* pVersion, int nLen)
{
    if (!pVersion || nLen < 10)
        return 0;
    const char a = char(pVersion[8]);
    const char b = char(pVersion[9]);
    if (a == 'M' && b == 'S')
        return 4;
    if (a == 'A' && b == '4')
        return 2;
    if (a == 'A' && b == '5')
        return 1;
    if (a == 'A' && b == '7')
        return 8;
    if (a == 'N' && b == '6')
        return 64;
    return 0;
}

uint32_t variantCode(const uint8_t* pVersion, int nLen)
{
    if (!pVersion || nLen < 6)
        return 0;
    switch (char(pVersion[5])) {
    case 'C': return 1;
    case 'W': return 2;
    case 'M': return 4;
    default: return 0;
    }
}

int sensorWidth(const uint8_t* pPart, int nLen)
{
    if (!pPart || nLen <= 0)
        return 0;
    const int nText = int(strnlen(reinterpret_cast<const char*>(pPart), size_t(nLen)));
    if (nText < 15 || std::memcmp(pPart, "KRM", 3) != 0)
        return 0;
    int nWidth = 0;
    if (std::memcmp(pPart + 3, "500", 3) == 0) {
        nWidth = 1280;
    } else {
        for (int i = 3; i < 6; ++i) {
            if (pPart[i] < '0' || pPart[i] > '9')
                return 0;
            nWidth = nWidth * 10 + (pPart[i] - '0');
        }
    }
    static const int kWidths[] = {120, 256, 324, 336, 384, 400, 640, 800, 1280};
    return std::find(std::begin(kWidths), std::end(kWidths), nWidth) != std::end(kWidths) ? nWidth : 0;
}

uint32_t sensorClassForWidth(int nWidth)
{
    switch (nWidth) {
    case 256: return 4;
    case 384: return 8;
    case 400: return 1;
    case 640: return 2;
    case 1280: return 64;
    default: return 0;
    }
}

uint32_t sensorClass(const uint8_t* pPart, int nLen) { return sensorClassForWidth(sensorWidth(pPart, nLen)); }

uint32_t foldSensorClass(uint32_t nExpected) { return nExpected == kSensorClassAlias ? 2 : nExpected; }

CheckFailure checkCamera(const Header& header, const uint8_t* pVersion, int nVersionLen, const uint8_t* pPart,
                         int nPartLen)
{
    if (header.bPlatformCheck && platformCode(pVersion, nVersionLen) != header.nPlatform)
        return CheckFailure::Platform;
    if (header.bSensorCheck && sensorClass(pPart, nPartLen) != foldSensorClass(header.nSensorClass))
        return CheckFailure::SensorClass;
    if (header.bVariantCheck && variantCode(pVersion, nVersionLen) != header.nVariant)
        return CheckFailure::Variant;
    return CheckFailure::None;
}

int buildChunkPayload(uint8_t* pOut, uint32_t nImageLen, uint32_t nOffset, const uint8_t* pData, int nLen)
{
    pOut[0] = kSubChunk;
    putBe32(pOut + 1, nImageLen);
    putBe32(pOut + 5, nOffset);
    if (nLen > 0)
        std::memcpy(pOut + kChunkHeaderSize, pData, size_t(nLen));
    return kChunkHeaderSize + std::max(nLen, 0);
}

// ---- building -------------------------------------------------------------------------

QByteArray buildFile(const BuildOptions& options)
{
    uint8_t fields[kCheckFieldsEnd] = {};
    // A readable tag for people looking at the file; the upgrade does not read it.
    std::memcpy(fields, "THERMAVA-FW", 11);
    putLe32(fields + kPlatformEnableOffset, options.bPlatformCheck ? 1 : 0);
    putLe32(fields + kPlatformOffset, options.nPlatform);
    putLe32(fields + kSensorEnableOffset, options.bSensorCheck ? 1 : 0);
    putLe32(fields + kSensorOffset, options.nSensorClass);
    putLe32(fields + kVariantEnableOffset, options.bVariantCheck ? 1 : 0);
    putLe32(fields + kVariantOffset, options.nVariant);

    const int nHeader = int(std::max<qint64>(0, options.nHeaderBytes));
    QByteArray file(nHeader, '\0');
    std::memcpy(file.data(), fields, size_t(std::min(nHeader, kCheckFieldsEnd)));
    if (nHeader >= kHeaderRegionSize)
        file.append(options.image);
    stampCrc(file);
    if (options.bBreakCrc && file.size() >= kCrcFieldOffset + 4)
        file[kCrcFieldOffset + 3] = char(file[kCrcFieldOffset + 3] ^ 0x5A);
    return file;
}

void stampCrc(QByteArray& file)
{
    if (file.size() < kCrcFieldOffset + 4)
        return;
    putBe32(reinterpret_cast<uint8_t*>(file.data()) + kCrcFieldOffset, computeCrc(file));
}

QByteArray patternImage(qint64 nLen, uint32_t nSeed)
{
    QByteArray image(int(std::max<qint64>(0, nLen)), Qt::Uninitialized);
    uint32_t x = nSeed ? nSeed : 0x9E3779B9u;
    for (int i = 0; i < image.size(); ++i) {
        // xorshift32: cheap, and no two neighbouring chunks look alike
        x ^= x << 13;
        x ^= x >> 17;
        x ^= x << 5;
        image[i] = char(x >> 24);
    }
    return image;
}

} // namespace Firmware
