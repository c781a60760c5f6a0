#pragma once
// Camera pixels and the overlay over the live picture: the overlay shows the camera picture
// enlarged (four times, times the super-resolution scale), zoomed and rotated.

#include <QPoint>
#include <QPointF>
#include <QSize>

namespace MeasureGeometry {

struct View
{
    int nScale = 1;          // super-resolution scale
    int nWidth = 0;          // camera picture
    int nHeight = 0;
    QPoint zoomOrigin;       // crop origin as the engine returns it
    int nDirection = 0;      // rotation 0..3
    QSize overlaySize;

    bool isValid() const { return nWidth > 0 && nHeight > 0 && overlaySize.width() > 0 && overlaySize.height() > 0; }
};

// A camera position (pixel corners at integers) on the overlay.
QPointF cameraToOverlay(const QPointF& cam, const View& view);
// The inverse; positions outside the picture come back outside 0..W, 0..H.
QPointF overlayToCamera(const QPointF& pos, const View& view);

} // namespace MeasureGeometry
