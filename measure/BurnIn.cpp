#include "measure/BurnIn.h"

#include <QMutex>
#include <algorithm>

namespace BurnIn {
namespace {

QMutex& mutex()
{
    static QMutex s_mutex;
    return s_mutex;
}

QImage& overlay()
{
    static QImage s_overlay;
    return s_overlay;
}

uint8_t mix(int a, int b, int alpha)
{
    return uint8_t((a * (255 - alpha) + b * alpha + 127) / 255);
}

} // namespace

void setOverlay(const QImage& image)
{
    const QImage converted = image.isNull() ? QImage() : image.convertToFormat(QImage::Format_ARGB32);
    QMutexLocker lock(&mutex());
    overlay() = converted;
}

void clear()
{
    setOverlay(QImage());
}

bool blendInto(uint8_t* pUyvy, int nWidth, int nHeight)
{
    QImage image;
    {
        QMutexLocker lock(&mutex());
        image = overlay();   // implicitly shared: the copy is cheap
    }
    return blendImage(image, pUyvy, nWidth, nHeight);
}

bool blendImage(const QImage& image, uint8_t* pUyvy, int nWidth, int nHeight)
{
    if (image.isNull() || !pUyvy || image.width() != nWidth || image.height() != nHeight || nWidth < 2)
        return false;
    bool bDrawn = false;
    for (int y = 0; y < nHeight; ++y) {
        const QRgb* pRow = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        uint8_t* pOut = pUyvy + size_t(y) * size_t(nWidth) * 2;
        for (int x = 0; x + 1 < nWidth; x += 2) {
            const QRgb c0 = pRow[x], c1 = pRow[x + 1];
            const int a0 = qAlpha(c0), a1 = qAlpha(c1);
            if (a0 == 0 && a1 == 0)
                continue;
            bDrawn = true;
            uint8_t* g = pOut + 2 * x;   // U0 Y0 V0 Y1
            // Studio-range BT.601, as the palettes use.
            auto luma = [](QRgb c) { return int(16.5 + 0.257 * qRed(c) + 0.504 * qGreen(c) + 0.098 * qBlue(c)); };
            g[1] = mix(g[1], luma(c0), a0);
            g[3] = mix(g[3], luma(c1), a1);
            const QRgb c = a0 >= a1 ? c0 : c1;
            const int a = std::max(a0, a1);
            g[0] = mix(g[0], int(128.5 - 0.148 * qRed(c) - 0.291 * qGreen(c) + 0.439 * qBlue(c)), a);
            g[2] = mix(g[2], int(128.5 + 0.439 * qRed(c) - 0.368 * qGreen(c) - 0.071 * qBlue(c)), a);
        }
    }
    return bDrawn;
}

} // namespace BurnIn
