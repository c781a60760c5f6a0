#include "measure/JpegComment.h"

#include <QFile>
#include <QSaveFile>

namespace JpegComment {
namespace {

struct Segment
{
    int nPos = 0;       // offset of the 0xFF of the marker
    uint8_t nMarker = 0;
    int nLength = 0;    // length field (includes itself), 0 for markers without one
};

// Walks the header segments up to the start of scan. False when the data is cut short or
// malformed before that.
template <typename Fn>
bool walk(const QByteArray& jpeg, Fn fn)
{
    const auto* p = reinterpret_cast<const uint8_t*>(jpeg.constData());
    const int n = jpeg.size();
    if (n < 4 || p[0] != 0xFF || p[1] != 0xD8)
        return false;
    int i = 2;
    while (i + 4 <= n) {
        if (p[i] != 0xFF)
            return false;
        const uint8_t m = p[i + 1];
        if (m == 0xFF) {   // fill byte
            ++i;
            continue;
        }
        const int nLen = (int(p[i + 2]) << 8) | p[i + 3];
        if (nLen < 2 || i + 2 + nLen > n)
            return false;
        if (!fn(Segment{i, m, nLen}, p))
            return true;
        if (m == 0xDA)   // start of scan: the entropy-coded data follows
            return true;
        i += 2 + nLen;
    }
    return false;
}

} // namespace

bool insert(QByteArray& jpeg, const QList<QByteArray>& comments)
{
    int nAt = -1;
    const bool bOk = walk(jpeg, [&](const Segment& s, const uint8_t*) {
        if (nAt < 0)
            nAt = 2;
        // Keep JFIF/Exif (APP0/APP1) first, where readers look for them.
        if (s.nMarker == 0xE0 || s.nMarker == 0xE1) {
            nAt = s.nPos + 2 + s.nLength;
            return true;
        }
        return false;
    });
    if (!bOk || nAt < 0)
        return false;
    QByteArray block;
    for (const QByteArray& c : comments) {
        if (c.size() > kMaxCommentBytes)
            return false;
        const int nLen = c.size() + 2;
        block.append(char(0xFF)).append(char(0xFE)).append(char(nLen >> 8)).append(char(nLen & 0xFF)).append(c);
    }
    jpeg.insert(nAt, block);
    return true;
}

QList<QByteArray> read(const QByteArray& jpeg)
{
    QList<QByteArray> out;
    if (!walk(jpeg, [&](const Segment& s, const uint8_t*) {
            if (s.nMarker == 0xFE)
                out.append(jpeg.mid(s.nPos + 4, s.nLength - 2));
            return true;
        }))
        return {};
    return out;
}

QSize pictureSize(const QByteArray& jpeg)
{
    QSize size;
    walk(jpeg, [&](const Segment& s, const uint8_t* p) {
        // Start-of-frame markers C0..CF, except DHT (C4), JPG (C8) and DAC (CC).
        const bool bFrame = s.nMarker >= 0xC0 && s.nMarker <= 0xCF && s.nMarker != 0xC4 && s.nMarker != 0xC8
                            && s.nMarker != 0xCC;
        if (bFrame && s.nLength >= 7) {
            const uint8_t* q = p + s.nPos + 4;
            size = QSize((int(q[3]) << 8) | q[4], (int(q[1]) << 8) | q[2]);
            return false;
        }
        return true;
    });
    return size;
}

bool insertIntoFile(const QString& qStrPath, const QList<QByteArray>& comments, QString* pError)
{
    QFile in(qStrPath);
    if (!in.open(QIODevice::ReadOnly)) {
        if (pError)
            *pError = in.errorString();
        return false;
    }
    QByteArray data = in.readAll();
    in.close();
    if (!insert(data, comments)) {
        if (pError)
            *pError = QStringLiteral("not a JPEG file, or a comment too long");
        return false;
    }
    QSaveFile out(qStrPath);
    if (!out.open(QIODevice::WriteOnly) || out.write(data) != data.size() || !out.commit()) {
        if (pError)
            *pError = out.errorString();
        return false;
    }
    return true;
}

} // namespace JpegComment
