#include "liveview/MeasureGeometry.h"

namespace MeasureGeometry {
namespace {

// Size of the crop of the enlarged picture that fills the overlay, in displayed units.
void sourceSize(const View& v, double* pW, double* pH)
{
    const double s = v.nScale, cx = v.zoomOrigin.x(), cy = v.zoomOrigin.y();
    const bool bTurned = v.nDirection == 1 || v.nDirection == 3;
    *pW = 2.0 * (2.0 * s * (bTurned ? v.nHeight : v.nWidth) - cx);
    *pH = 2.0 * (2.0 * s * (bTurned ? v.nWidth : v.nHeight) - cy);
}

bool cropped(const View& v)
{
    return v.zoomOrigin.x() != 0 && v.zoomOrigin.y() != 0;
}

} // namespace

// The same steps as the hot point marker's placement, in floating point.
QPointF cameraToOverlay(const QPointF& cam, const View& v)
{
    const double s4 = 4.0 * v.nScale, cx = v.zoomOrigin.x(), cy = v.zoomOrigin.y();
    double x = s4 * cam.x(), y = s4 * cam.y();
    if (cropped(v)) {
        switch (v.nDirection) {
        case 0: x -= cx; y -= cy; break;
        case 1: x -= cy; y += cx; break;
        case 2: x += cx; y += cy; break;
        case 3: x += cy; y -= cx; break;
        default: break;
        }
    }
    double rx = x, ry = y;
    switch (v.nDirection) {
    case 1: rx = s4 * v.nHeight - y; ry = x; break;
    case 2: rx = s4 * v.nWidth - x; ry = s4 * v.nHeight - y; break;
    case 3: rx = y; ry = s4 * v.nWidth - x; break;
    default: break;
    }
    double sw = 0, sh = 0;
    sourceSize(v, &sw, &sh);
    if (sw >= 1 && sh >= 1 && v.overlaySize.width() >= 1 && v.overlaySize.height() >= 1) {
        rx = rx * v.overlaySize.width() / sw;
        ry = ry * v.overlaySize.height() / sh;
    }
    return QPointF(rx, ry);
}

QPointF overlayToCamera(const QPointF& pos, const View& v)
{
    const double s4 = 4.0 * v.nScale, cx = v.zoomOrigin.x(), cy = v.zoomOrigin.y();
    double sw = 0, sh = 0;
    sourceSize(v, &sw, &sh);
    double rx = pos.x(), ry = pos.y();
    if (sw >= 1 && sh >= 1 && v.overlaySize.width() >= 1 && v.overlaySize.height() >= 1) {
        rx = rx * sw / v.overlaySize.width();
        ry = ry * sh / v.overlaySize.height();
    }
    double x = rx, y = ry;
    switch (v.nDirection) {
    case 1: x = ry; y = s4 * v.nHeight - rx; break;
    case 2: x = s4 * v.nWidth - rx; y = s4 * v.nHeight - ry; break;
    case 3: x = s4 * v.nWidth - ry; y = rx; break;
    default: break;
    }
    if (cropped(v)) {
        switch (v.nDirection) {
        case 0: x += cx; y += cy; break;
        case 1: x += cy; y -= cx; break;
        case 2: x -= cx; y -= cy; break;
        case 3: x -= cy; y += cx; break;
        default: break;
        }
    }
    return QPointF(x / s4, y / s4);
}

} // namespace MeasureGeometry
