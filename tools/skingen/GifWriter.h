#pragma once
// Minimal animated GIF writer: one shared 256-colour table, one fully transparent index,
// LZW-compressed frames, endless loop. Enough for small flat animations.

#include <QImage>
#include <QString>
#include <QVector>

namespace GifWriter {

// Writes the frames (all of one size) as a looping animation with the given delay per frame
// in milliseconds (GIF keeps hundredths of a second). Pixels with alpha below 128 become
// transparent, the rest opaque; colours are reduced until they fit the table.
// Returns false when there are no frames, sizes differ or the file cannot be written.
bool write(const QString& qStrPath, const QVector<QImage>& frames, int nDelayMs);

// The encoded file as bytes (what write() stores); empty on invalid input.
QByteArray encode(const QVector<QImage>& frames, int nDelayMs);

} // namespace GifWriter
