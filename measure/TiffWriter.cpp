#include "measure/TiffWriter.h"

#include <QByteArray>
#include <QSaveFile>
#include <QtEndian>
#include <cstring>

namespace TiffWriter {
namespace {

void put16(QByteArray& b, quint16 v)
{
    char c[2];
    qToLittleEndian(v, c);
    b.append(c, 2);
}

void put32(QByteArray& b, quint32 v)
{
    char c[4];
    qToLittleEndian(v, c);
    b.append(c, 4);
}

// Field types of the image file directory.
constexpr quint16 kShort = 3, kLong = 4, kAscii = 2;

} // namespace

bool writeFloat32(const QString& qStrPath, const QVector<float>& values, int nWidth, int nHeight,
                  const QString& qStrDescription, QString* pError)
{
    if (nWidth < 1 || nHeight < 1 || values.size() != nWidth * nHeight) {
        if (pError)
            *pError = QStringLiteral("the picture size does not match its values");
        return false;
    }
    // The description lies outside the directory entry only from five bytes on.
    QByteArray desc = (qStrDescription.isEmpty() ? QStringLiteral("temperature, degrees Celsius") : qStrDescription).toUtf8();
    while (desc.size() < 4)
        desc.append(' ');
    desc.append('\0');
    const quint32 nPixelBytes = quint32(values.size()) * 4u;
    // Layout: header (8), pixel data, description, directory.
    const quint32 nPixelsAt = 8;
    const quint32 nDescAt = nPixelsAt + nPixelBytes;
    quint32 nIfdAt = nDescAt + quint32(desc.size());
    nIfdAt += nIfdAt & 1u;   // directories start on a word boundary

    QByteArray b;
    b.reserve(int(nIfdAt) + 200);
    b.append("II", 2);
    put16(b, 42);
    put32(b, nIfdAt);
    for (float f : values) {
        quint32 u;
        std::memcpy(&u, &f, 4);
        put32(b, u);
    }
    b.append(desc);
    if (b.size() & 1)
        b.append('\0');

    struct Entry
    {
        quint16 tag, type;
        quint32 count, value;
    };
    const Entry entries[] = {
        {256, kLong, 1, quint32(nWidth)},                // ImageWidth
        {257, kLong, 1, quint32(nHeight)},               // ImageLength
        {258, kShort, 1, 32},                            // BitsPerSample
        {259, kShort, 1, 1},                             // Compression: none
        {262, kShort, 1, 1},                             // Photometric: black is zero
        {270, kAscii, quint32(desc.size()), nDescAt},    // ImageDescription
        {273, kLong, 1, nPixelsAt},                      // StripOffsets
        {277, kShort, 1, 1},                             // SamplesPerPixel
        {278, kLong, 1, quint32(nHeight)},               // RowsPerStrip
        {279, kLong, 1, nPixelBytes},                    // StripByteCounts
        {284, kShort, 1, 1},                             // PlanarConfiguration: chunky
        {339, kShort, 1, 3},                             // SampleFormat: IEEE floating point
    };
    put16(b, quint16(sizeof(entries) / sizeof(entries[0])));
    for (const Entry& e : entries) {
        put16(b, e.tag);
        put16(b, e.type);
        put32(b, e.count);
        if (e.type == kShort && e.count == 1) {   // short values sit left-justified
            put16(b, quint16(e.value));
            put16(b, 0);
        } else {
            put32(b, e.value);
        }
    }
    put32(b, 0);   // no further directory

    QSaveFile out(qStrPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(b) != b.size() || !out.commit()) {
        if (pError)
            *pError = out.errorString();
        return false;
    }
    return true;
}

} // namespace TiffWriter
