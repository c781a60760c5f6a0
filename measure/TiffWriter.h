#pragma once
// A minimal baseline TIFF writer for one-channel 32-bit floating-point images (temperatures in
// degrees Celsius): little-endian, uncompressed, one strip.

#include <QString>
#include <QVector>

namespace TiffWriter {

// nWidth x nHeight values, row-major. False (with a reason) when the size does not match or
// the file cannot be written; a failed write leaves no partial file behind.
bool writeFloat32(const QString& qStrPath, const QVector<float>& values, int nWidth, int nHeight,
                  const QString& qStrDescription = QString(), QString* pError = nullptr);

} // namespace TiffWriter
