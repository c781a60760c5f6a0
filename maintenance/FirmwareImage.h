#pragma once
// Firmware files (.bin) as the upgrade reads them, free of any camera or widget:
//
//   offset 24        CRC-32 of bytes 64..end, big-endian
//   offsets 76..99   three checks (enabled flag + expected code, u32 little-endian each):
//                    platform, sensor class, variant
//   0 .. 0x1FFFF     header region, sent nowhere
//   0x20000 .. end   the image written to the camera; chunk offsets count from here
//
// The camera's own codes come from its software version text (platform, variant) and from
// the sensor width in its part number (sensor class).

#include <QByteArray>
#include <QtGlobal>
#include <cstddef>
#include <cstdint>

class QIODevice;

namespace Firmware {

constexpr qint64 kHeaderRegionSize = 0x20000;   // 131,072 bytes before the image
constexpr qint64 kMinFileSize = 112;            // shorter files cannot hold the check fields
// Larger files are refused before anything is read: no camera image comes near this, and
// it keeps every offset inside the 32-bit fields of the chunk packets and progress signals.
constexpr qint64 kMaxFileSize = qint64(256) << 20;

constexpr int kCrcFieldOffset = 24;
constexpr int kCrcStart = 64;                   // the CRC covers bytes 64..end
constexpr int kPlatformEnableOffset = 76;
constexpr int kPlatformOffset = 80;
constexpr int kSensorEnableOffset = 84;
constexpr int kSensorOffset = 88;
constexpr int kVariantEnableOffset = 92;
constexpr int kVariantOffset = 96;
constexpr int kCheckFieldsEnd = 100;

constexpr int kChunkSize = 30720;               // image bytes per upgrade packet
constexpr int kChunkHeaderSize = 9;             // 0x22, image length (BE32), offset (BE32)
constexpr uint8_t kSubChunk = 0x22;
constexpr uint8_t kSubProgress = 0x2B;
constexpr int kInstallDone = 100;               // progress value of a finished install

// An expected sensor class of 32 is accepted for cameras of class 2.
constexpr uint32_t kSensorClassAlias = 32;

struct Header
{
    uint32_t nCrc = 0;
    bool bPlatformCheck = false;
    uint32_t nPlatform = 0;
    bool bSensorCheck = false;
    uint32_t nSensorClass = 0;   // as stored (32 not yet folded)
    bool bVariantCheck = false;
    uint32_t nVariant = 0;
};

// Reads the fields from the first bytes of a file; nLen must be at least kCheckFieldsEnd.
bool parseHeader(const uint8_t* pData, size_t nLen, Header* pHeader);

// CRC-32 of bytes kCrcStart..nFileSize-1 read from the device in blocks, so that memory use
// does not grow with the file. False when the device cannot be read to the end.
bool computeFileCrc(QIODevice& device, qint64 nFileSize, uint32_t* pnCrc);
// Same over a buffer holding a whole file (builders, tests).
uint32_t computeCrc(const QByteArray& file);

// Camera codes. The version text is the 32-byte reply of the software version query; the
// part number the reply of the part number query (zero-terminated, up to 32 bytes).
uint32_t platformCode(const uint8_t* pVersion, int nLen);   // characters 8-9
uint32_t variantCode(const uint8_t* pVersion, int nLen);    // character 5
// Sensor width named by the part number, or 0 when it does not parse.
int sensorWidth(const uint8_t* pPart, int nLen);
uint32_t sensorClassForWidth(int nWidth);
uint32_t sensorClass(const uint8_t* pPart, int nLen);
uint32_t foldSensorClass(uint32_t nExpected);

enum class CheckFailure { None, Platform, SensorClass, Variant };
// The enabled checks against the camera's codes, in the order platform, sensor, variant.
// pPart may be null when the sensor check is disabled.
CheckFailure checkCamera(const Header& header, const uint8_t* pVersion, int nVersionLen, const uint8_t* pPart,
                         int nPartLen);

// The upgrade packet for one chunk: returns its length (kChunkHeaderSize + nLen).
int buildChunkPayload(uint8_t* pOut, uint32_t nImageLen, uint32_t nOffset, const uint8_t* pData, int nLen);

// ---- building files (tools and tests) --------------------------------------------------

struct BuildOptions
{
    QByteArray image;                         // bytes after the header region
    qint64 nHeaderBytes = kHeaderRegionSize;  // below kHeaderRegionSize only with an empty image
    bool bPlatformCheck = false;
    uint32_t nPlatform = 0;
    bool bSensorCheck = false;
    uint32_t nSensorClass = 0;
    bool bVariantCheck = false;
    uint32_t nVariant = 0;
    bool bBreakCrc = false;                   // store a CRC that does not match
};

// A complete file. Headers shorter than kCheckFieldsEnd bytes are cut after the fields are
// written (and without a CRC when it would not fit).
QByteArray buildFile(const BuildOptions& options);
// Recomputes the CRC field of a file held in memory (no-op below kCrcStart + 4 bytes).
void stampCrc(QByteArray& file);
// Deterministic filler for images: the same seed gives the same bytes.
QByteArray patternImage(qint64 nLen, uint32_t nSeed = 1);

} // namespace Firmware
