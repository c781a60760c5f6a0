#include "GifWriter.h"

#include <QFile>
#include <QHash>
#include <QMap>

namespace {

constexpr int kTransparentIndex = 0;
constexpr int kMinCodeSize = 8; // every index is one byte

// Packs variable-width codes LSB first and cuts them into data sub-blocks of 255 bytes.
class CodeStream
{
public:
    void put(int nCode, int nBits)
    {
        m_nBuffer |= quint32(nCode) << m_nBits;
        m_nBits += nBits;
        while (m_nBits >= 8) {
            pushByte(quint8(m_nBuffer & 0xFF));
            m_nBuffer >>= 8;
            m_nBits -= 8;
        }
    }

    QByteArray finish()
    {
        if (m_nBits > 0)
            pushByte(quint8(m_nBuffer & 0xFF));
        m_nBuffer = 0;
        m_nBits = 0;
        flushBlock();
        m_out.append(char(0)); // block terminator
        return m_out;
    }

private:
    void pushByte(quint8 byte)
    {
        m_block.append(char(byte));
        if (m_block.size() == 255)
            flushBlock();
    }
    void flushBlock()
    {
        if (m_block.isEmpty())
            return;
        m_out.append(char(m_block.size()));
        m_out.append(m_block);
        m_block.clear();
    }

    quint32 m_nBuffer = 0;
    int m_nBits = 0;
    QByteArray m_block;
    QByteArray m_out;
};

QByteArray lzwCompress(const QVector<quint8>& indices)
{
    const int nClear = 1 << kMinCodeSize;
    const int nEnd = nClear + 1;
    CodeStream stream;
    QHash<quint32, int> dict; // (prefix code << 8 | next index) -> code
    int nCodeSize = kMinCodeSize + 1;
    int nMaxCode = nEnd;
    stream.put(nClear, nCodeSize);

    int nCur = -1;
    for (quint8 index : indices) {
        if (nCur < 0) {
            nCur = index;
            continue;
        }
        const quint32 key = (quint32(nCur) << 8) | index;
        const auto it = dict.constFind(key);
        if (it != dict.constEnd()) {
            nCur = it.value();
            continue;
        }
        stream.put(nCur, nCodeSize);
        dict.insert(key, ++nMaxCode);
        if (nMaxCode >= (1 << nCodeSize))
            ++nCodeSize;
        if (nMaxCode == 4095) {
            // Table full: start over so the decoder never needs 13-bit codes.
            stream.put(nClear, nCodeSize);
            dict.clear();
            nCodeSize = kMinCodeSize + 1;
            nMaxCode = nEnd;
        }
        nCur = index;
    }
    if (nCur >= 0)
        stream.put(nCur, nCodeSize);
    stream.put(nClear, nCodeSize);
    stream.put(nEnd, kMinCodeSize + 1);
    return stream.finish();
}

void putWord(QByteArray& out, int nValue)
{
    out.append(char(nValue & 0xFF));
    out.append(char((nValue >> 8) & 0xFF));
}

QRgb quantise(QRgb rgb, int nStep)
{
    if (nStep <= 1)
        return rgb | 0xFF000000u;
    auto q = [nStep](int v) { return qMin(255, (v / nStep) * nStep + nStep / 2); };
    return qRgb(q(qRed(rgb)), q(qGreen(rgb)), q(qBlue(rgb)));
}

} // namespace

namespace GifWriter {

QByteArray encode(const QVector<QImage>& frames, int nDelayMs)
{
    if (frames.isEmpty() || frames.first().isNull())
        return {};
    const QSize size = frames.first().size();
    if (size.width() > 0xFFFF || size.height() > 0xFFFF)
        return {};
    QVector<QImage> rgba;
    for (const QImage& frame : frames) {
        if (frame.size() != size)
            return {};
        rgba.append(frame.convertToFormat(QImage::Format_ARGB32));
    }

    // Find the finest colour step whose distinct opaque colours fit beside the transparent index.
    int nStep = 1;
    QMap<QRgb, int> palette;
    for (;;) {
        palette.clear();
        for (const QImage& frame : rgba)
            for (int y = 0; y < frame.height(); ++y) {
                const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
                for (int x = 0; x < frame.width(); ++x)
                    if (qAlpha(line[x]) >= 128)
                        palette.insert(quantise(line[x], nStep), 0);
            }
        if (palette.size() <= 255)
            break;
        nStep *= 2;
    }
    QVector<QRgb> table(256, qRgb(0, 0, 0));
    int nNext = 1;
    for (auto it = palette.begin(); it != palette.end(); ++it) {
        it.value() = nNext;
        table[nNext++] = it.key();
    }

    QByteArray out("GIF89a");
    putWord(out, size.width());
    putWord(out, size.height());
    out.append(char(0xF7)); // global table present, 8-bit colour resolution, 256 entries
    out.append(char(kTransparentIndex)); // background colour index
    out.append(char(0));                 // no aspect ratio
    for (QRgb rgb : table) {
        out.append(char(qRed(rgb)));
        out.append(char(qGreen(rgb)));
        out.append(char(qBlue(rgb)));
    }
    // Loop forever.
    out.append("\x21\xFF\x0B", 3);
    out.append("NETSCAPE2.0");
    out.append("\x03\x01\x00\x00\x00", 5);

    const int nDelayCs = qBound(0, (nDelayMs + 5) / 10, 0xFFFF);
    for (const QImage& frame : rgba) {
        // Graphic control: restore to background after each frame, transparent index 0.
        out.append("\x21\xF9\x04", 3);
        out.append(char((2 << 2) | 1));
        putWord(out, nDelayCs);
        out.append(char(kTransparentIndex));
        out.append(char(0));
        // Image descriptor covering the whole canvas, no local table.
        out.append(char(0x2C));
        putWord(out, 0);
        putWord(out, 0);
        putWord(out, size.width());
        putWord(out, size.height());
        out.append(char(0));

        QVector<quint8> indices;
        indices.reserve(size.width() * size.height());
        for (int y = 0; y < frame.height(); ++y) {
            const QRgb* line = reinterpret_cast<const QRgb*>(frame.constScanLine(y));
            for (int x = 0; x < frame.width(); ++x)
                indices.append(qAlpha(line[x]) >= 128 ? quint8(palette.value(quantise(line[x], nStep)))
                                                      : quint8(kTransparentIndex));
        }
        out.append(char(kMinCodeSize));
        out.append(lzwCompress(indices));
    }
    out.append(char(0x3B));
    return out;
}

bool write(const QString& qStrPath, const QVector<QImage>& frames, int nDelayMs)
{
    const QByteArray bytes = encode(frames, nDelayMs);
    if (bytes.isEmpty())
        return false;
    QFile file(qStrPath);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;
    return file.write(bytes) == bytes.size() && file.flush();
}

} // namespace GifWriter
