#include "liveview/LiveViewGeometry.h"

#include <QSize>

namespace LiveViewGeometry {

QPoint hotPointToOverlay(int nPosX, int nPosY, int nScale, int nWidth, int nHeight, const QPoint& zoomOrigin,
                         int nDirection, const QSize& overlaySize)
{
    // 64-bit intermediates: the products below overflow nothing at any real size, but the
    // inputs come from a camera trailer.
    const long long s = nScale;
    const long long W = nWidth;
    const long long H = nHeight;
    const long long cx = zoomOrigin.x();
    const long long cy = zoomOrigin.y();
    long long x = 4 * s * nPosX;
    long long y = 4 * s * nPosY;

    if (cx != 0 && cy != 0) {
        switch (nDirection) {
        case 0: x -= cx; y -= cy; break;
        case 1: x -= cy; y += cx; break;
        case 2: x += cx; y += cy; break;
        case 3: x += cy; y -= cx; break;
        default: break;
        }
    }

    long long rx = x;
    long long ry = y;
    switch (nDirection) {
    case 1: rx = 4 * s * H - y; ry = x; break;
    case 2: rx = 4 * s * W - x; ry = 4 * s * H - y; break;
    case 3: rx = y; ry = 4 * s * W - x; break;
    default: break;
    }

    long long sw = 0;
    long long sh = 0;
    if (nDirection == 1 || nDirection == 3) {
        sw = 2 * (2 * s * H - cx);
        sh = 2 * (2 * s * W - cy);
    } else {
        sw = 2 * (2 * s * W - cx);
        sh = 2 * (2 * s * H - cy);
    }
    const long long ow = overlaySize.width();
    const long long oh = overlaySize.height();
    if (sw >= 1 && sh >= 1 && ow >= 1 && oh >= 1) {
        rx = rx * ow / sw;
        ry = ry * oh / sh;
    }
    return QPoint(int(rx), int(ry));
}

QRect fitPicture(int nWidth, int nHeight, const QSize& labelSize)
{
    const int W = nWidth;
    const int H = nHeight;
    const int Lw = labelSize.width();
    const int Lh = labelSize.height();
    if (W < 1 || H < 1 || Lw < 1 || Lh < 1)
        return QRect();
    long long w = W;
    long long h = H;
    if (w > Lw) {
        h = Lw * h / w;
        w = Lw;
    }
    if (h > Lh) {
        h = Lh;
        w = (long long)Lh * W / H;
    }
    if (w < Lw) {
        w = Lw;
        h = (long long)Lw * H / W;
        if (h > Lh) {
            h = Lh;
            w = (long long)Lh * W / H;
        }
    }
    return QRect(int((Lw - w) / 2), int((Lh - h) / 2), int(w), int(h));
}

} // namespace LiveViewGeometry
