#pragma once
// Pure geometry of the live view: where the hot point lands on the overlay, and where the
// overlay sits over the picture inside the video label.

#include <QPoint>
#include <QRect>

namespace LiveViewGeometry {

// The hot point (nPosX, nPosY in sensor pixels) in overlay coordinates. nScale is the
// super-resolution scale (1 or 2), nWidth x nHeight the sensor image, zoomOrigin the crop
// origin of the zoomed picture in displayed pixels (already exchanged for quarter turns, as the
// engine returns it), nDirection the rotation 0..3 and overlaySize the overlay's size.
// The displayed picture is four times the sensor size times the scale; the zoom crop is
// applied only when both crop coordinates are nonzero; the final scaling is skipped when a
// source or overlay size is below 1. Directions outside 0..3 leave the point unrotated.
QPoint hotPointToOverlay(int nPosX, int nPosY, int nScale, int nWidth, int nHeight, const QPoint& zoomOrigin,
                         int nDirection, const QSize& overlaySize);

// The rectangle the picture of nWidth x nHeight (already exchanged for quarter turns) fills
// inside a label of labelSize, aspect ratio kept and centred, relative to the label's corner.
// An empty rectangle when any size is below 1.
QRect fitPicture(int nWidth, int nHeight, const QSize& labelSize);

} // namespace LiveViewGeometry
