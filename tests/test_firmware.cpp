// Firmware files: header fields, CRC over the file in blocks, the camera codes the checks
// compare with, chunk packets, and the file builder used by the tools.

#include "maintenance/FirmwareImage.h"

#include <QBuffer>
#include <QtTest>
#include <cstring>

using namespace Firmware;

namespace {

QByteArray text32(const char* psz)
{
    QByteArray b(32, '\0');
    std::memcpy(b.data(), psz, std::min<size_t>(32, std::strlen(psz)));
    return b;
}

// Bitwise CRC-32 (reflected 0xEDB88320), written out independently of the table one.
uint32_t crcPlain(const char* p, size_t n)
{
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) {
        c ^= uint8_t(p[i]);
        for (int b = 0; b < 8; ++b)
            c = (c & 1) ? (c >> 1) ^ 0xEDB88320u : c >> 1;
    }
    return c ^ 0xFFFFFFFFu;
}

const uint8_t* u8(const QByteArray& b) { return reinterpret_cast<const uint8_t*>(b.constData()); }

uint32_t platformOf(const char* psz) { const QByteArray b = text32(psz); return platformCode(u8(b), 32); }
uint32_t variantOf(const char* psz) { const QByteArray b = text32(psz); return variantCode(u8(b), 32); }
uint32_t classOf(const char* psz) { const QByteArray b = text32(psz); return sensorClass(u8(b), 32); }

} // namespace

class TestFirmware : public QObject
{
    Q_OBJECT

private slots:
    // Field positions and byte orders, read from bytes written by hand (not by the builder).
    void headerFieldsAndByteOrder()
    {
        uint8_t raw[112] = {};
        const uint8_t crc[4] = {0x12, 0x34, 0x56, 0x78};   // big-endian 0x12345678
        std::memcpy(raw + 24, crc, 4);
        const uint8_t fields[24] = {1, 0, 0, 0, 8, 0, 0, 0,   // platform on, 8
                                    0, 0, 0, 0, 2, 0, 0, 0,   // sensor off, 2
                                    0, 0, 1, 0, 4, 1, 0, 0};  // variant on (0x10000), 0x104
        std::memcpy(raw + 76, fields, sizeof(fields));
        Header h;
        QVERIFY(parseHeader(raw, sizeof(raw), &h));
        QCOMPARE(h.nCrc, 0x12345678u);
        QVERIFY(h.bPlatformCheck);
        QCOMPARE(h.nPlatform, 8u);
        QVERIFY(!h.bSensorCheck);
        QCOMPARE(h.nSensorClass, 2u);
        QVERIFY(h.bVariantCheck);
        QCOMPARE(h.nVariant, 0x104u);
        QVERIFY(!parseHeader(raw, 99, &h));

        // The builder writes the same layout back.
        BuildOptions o;
        o.bSensorCheck = true;
        o.nSensorClass = 32;
        o.bVariantCheck = true;
        o.nVariant = 0x104;
        const QByteArray built = buildFile(o);
        QCOMPARE(built.size(), int(kHeaderRegionSize));
        QVERIFY(parseHeader(u8(built), size_t(built.size()), &h));
        QVERIFY(!h.bPlatformCheck && h.bSensorCheck && h.bVariantCheck);
        QCOMPARE(h.nSensorClass, 32u);
        QCOMPARE(std::memcmp(built.constData() + 92, "\x01\x00\x00\x00\x04\x01\x00\x00", 8), 0);
    }

    // The CRC covers bytes 64..end and is stored big-endian; reading in blocks gives the same
    // value as one pass over memory, across block borders and for an odd tail.
    void crcOverFileInBlocks()
    {
        BuildOptions o;
        o.image = patternImage(200003, 7);
        const QByteArray file = buildFile(o);
        const uint32_t nWhole = crcPlain(file.constData() + 64, size_t(file.size() - 64));
        QCOMPARE(crcPlain("123456789", 9), 0xCBF43926u);
        Header h;
        parseHeader(u8(file), size_t(file.size()), &h);
        QCOMPARE(h.nCrc, nWhole);
        QCOMPARE(computeCrc(file), nWhole);

        QBuffer buffer;
        buffer.setData(file);
        QVERIFY(buffer.open(QIODevice::ReadOnly));
        uint32_t nStreamed = 0;
        QVERIFY(computeFileCrc(buffer, file.size(), &nStreamed));
        QCOMPARE(nStreamed, nWhole);

        // A file that is shorter than announced gives no verdict instead of a wrong CRC.
        QVERIFY(!computeFileCrc(buffer, file.size() + 10, &nStreamed));

        // Bytes 0..63 are outside the CRC; a change after 64 is not.
        QByteArray changed = file;
        changed[10] = char(changed[10] ^ 1);
        QCOMPARE(computeCrc(changed), nWhole);
        changed[64] = char(changed[64] ^ 1);
        QVERIFY(computeCrc(changed) != nWhole);

        o.bBreakCrc = true;
        const QByteArray broken = buildFile(o);
        parseHeader(u8(broken), size_t(broken.size()), &h);
        QVERIFY(h.nCrc != computeCrc(broken));
    }

    void cameraCodes()
    {
        // Platform from characters 8-9 of the version text, variant from character 5.
        QCOMPARE(platformOf("TV2.1C1.MS.0101"), 4u);
        QCOMPARE(platformOf("TV2.1W1.A4.0101"), 2u);
        QCOMPARE(platformOf("TV2.1M1.A5.0101"), 1u);
        QCOMPARE(platformOf("TV2.1C1.A7.0101"), 8u);
        QCOMPARE(platformOf("TV2.1C1.N6.0101"), 64u);
        QCOMPARE(platformOf("TV2.1C1.ms.0101"), 0u);
        QCOMPARE(platformOf("TV2.1C1.A6.0101"), 0u);
        QCOMPARE(variantOf("TV2.1C1.MS"), 1u);
        QCOMPARE(variantOf("TV2.1W1.MS"), 2u);
        QCOMPARE(variantOf("TV2.1M1.MS"), 4u);
        QCOMPARE(variantOf("TV2.1c1.MS"), 0u);
        QCOMPARE(platformCode(nullptr, 0), 0u);

        // Sensor class from the width in the part number.
        QCOMPARE(classOf("KRM2560101A1RT1"), 4u);
        QCOMPARE(classOf("KRM3840101A1RT1"), 8u);
        QCOMPARE(classOf("KRM4000101A1RT1"), 1u);
        QCOMPARE(classOf("KRM6400101A1RT1"), 2u);
        QCOMPARE(classOf("KRM5000404D4PT4"), 64u);   // "500" names the 1280 sensor
        QCOMPARE(classOf("KRM1200101A1RT1"), 0u);    // a sensor width without a class
        QCOMPARE(classOf("KRM9990101A1RT1"), 0u);    // digits, but no such sensor
        QCOMPARE(classOf("KRMA560101A1RT1"), 0u);
        QCOMPARE(classOf("XRM2560101A1RT1"), 0u);
        QCOMPARE(classOf("KRM25601"), 0u);           // shorter than 15 characters
        QByteArray part = text32("KRM2560101A1RT1");
        part[9] = '\0';                              // text ends early inside the 32 bytes
        QCOMPARE(sensorClass(u8(part), 32), 0u);
    }

    void checksAgainstCamera()
    {
        const QByteArray ver = text32("TV2.1C1.MS.0101.20240312");
        const QByteArray part640 = text32("KRM6400101A1RT1");
        Header h;
        QCOMPARE(checkCamera(h, u8(ver), 32, nullptr, 0), CheckFailure::None);   // all off

        h.bSensorCheck = true;
        h.nSensorClass = kSensorClassAlias;   // 32 accepts class 2
        QCOMPARE(checkCamera(h, u8(ver), 32, u8(part640), 32), CheckFailure::None);
        h.nSensorClass = 2;
        QCOMPARE(checkCamera(h, u8(ver), 32, u8(part640), 32), CheckFailure::None);
        h.nSensorClass = 4;
        QCOMPARE(checkCamera(h, u8(ver), 32, u8(part640), 32), CheckFailure::SensorClass);

        h = Header();
        h.bPlatformCheck = true;
        h.nPlatform = 4;
        h.bVariantCheck = true;
        h.nVariant = 2;
        QCOMPARE(checkCamera(h, u8(ver), 32, nullptr, 0), CheckFailure::Variant);
        h.nVariant = 1;
        QCOMPARE(checkCamera(h, u8(ver), 32, nullptr, 0), CheckFailure::None);
        h.nPlatform = 2;
        QCOMPARE(checkCamera(h, u8(ver), 32, nullptr, 0), CheckFailure::Platform);
        // A disabled check ignores its expected value entirely.
        h.bPlatformCheck = false;
        QCOMPARE(checkCamera(h, u8(ver), 32, nullptr, 0), CheckFailure::None);
    }

    void chunkPacket()
    {
        uint8_t out[kChunkHeaderSize + 4] = {};
        const uint8_t data[1] = {0xAB};
        QCOMPARE(buildChunkPayload(out, 30721, 30720, data, 1), 10);
        const uint8_t expected[10] = {0x22, 0x00, 0x00, 0x78, 0x01, 0x00, 0x00, 0x78, 0x00, 0xAB};
        QCOMPARE(QByteArray(reinterpret_cast<char*>(out), 10), QByteArray(reinterpret_cast<const char*>(expected), 10));
    }

    // Short and header-only files as the tools build them.
    void builtFileSizes()
    {
        BuildOptions o;
        o.nHeaderBytes = 100;
        const QByteArray tiny = buildFile(o);
        QCOMPARE(tiny.size(), 100);
        Header h;
        QVERIFY(parseHeader(u8(tiny), size_t(tiny.size()), &h));
        QCOMPARE(h.nCrc, computeCrc(tiny));

        o.nHeaderBytes = 20;   // too short even for the CRC field
        QCOMPARE(buildFile(o).size(), 20);

        o.nHeaderBytes = kHeaderRegionSize;
        QCOMPARE(buildFile(o).size(), int(kHeaderRegionSize));
        o.image = patternImage(5, 3);
        const QByteArray withImage = buildFile(o);
        QCOMPARE(withImage.size(), int(kHeaderRegionSize) + 5);
        QCOMPARE(withImage.mid(int(kHeaderRegionSize)), patternImage(5, 3));
        QVERIFY(patternImage(64, 3) != patternImage(64, 4));
    }
};

QTEST_GUILESS_MAIN(TestFirmware)
#include "test_firmware.moc"
