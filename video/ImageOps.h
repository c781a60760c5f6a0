#pragma once
// Pixel work of the video engine on packed UYVY 4:2:2 frames (U0 Y0 V0 Y1 per pixel pair):
// gamma, rotation in quarter turns, conversion to planar I420, the fourfold enlargement, the
// zoom crop, and the helpers for saved pictures. No Qt here, so tests and the benchmark call
// these directly.

#include <cstddef>
#include <cstdint>
#include <opencv2/core.hpp>

namespace ImageOps {

// Gamma 0.7: entry i = floor((i / 255)^(1 / 0.7) x 255), the exponent held in single precision.
void buildGammaTable(float* pTable256);
// The same table as bytes (each entry truncated).
void gammaBytes(const float* pTable256, uint8_t* pBytes256);

// Rotation states: 0 none, 1 quarter turn clockwise, 2 half turn, 3 quarter turn
// counter-clockwise. For W x H in (W and H even):
//   1: H x W out, new(x', y') = old(y', H - 1 - x')
//   2: W x H out, new(x', y') = old(W - 1 - x', H - 1 - y')
//   3: H x W out, new(x', y') = old(W - 1 - y', x')
// A rotated pixel pair takes U and V from one of the old pairs its pixels came from; in the
// quarter turns the two old rows that feed one new pair of rows give their chroma crosswise,
// so four quarter turns, or two half turns, give the input back exactly.
void rotateUyvy(const uint8_t* pSrc, uint8_t* pDst, int nWidth, int nHeight, int nState);
// In place with a scratch buffer of at least 2 x W x H bytes (unused for states 0 and 2);
// swaps width and height for states 1 and 3.
void rotateUyvyInPlace(uint8_t* pBuffer, int& nWidth, int& nHeight, int nState, uint8_t* pScratch);

// UYVY W x H to I420: Y plane W x H, then U and V planes of W/2 x H/2 taken from even rows.
void uyvyToI420(const uint8_t* pSrc, int nWidth, int nHeight, uint8_t* pDst);

// Fourfold bicubic enlargement of an I420 frame W x H into one of 4W x 4H (planes contiguous:
// Y 4W x 4H, U and V 2W x 2H each), byte for byte what OpenCV's INTER_CUBIC resize gives.
void enlargeI420x4(const uint8_t* pSrc, int nWidth, int nHeight, uint8_t* pDst);

// Crop of the fourfold-enlarged picture for a zoom level, from the 20-step tables.
struct ZoomOffsets
{
    int nLeft = 0;
    int nTop = 0;
};
// nBase is 4 for 256-wide frames, else 0; levels that would leave the tables use the last
// entry. The result is (0, 0) for a negative level or an unknown frame size.
ZoomOffsets zoomOffsets(int nLevel, int nBase, int nFrameWidth, int nFrameHeight, int nScale, int nDirection);
// The tables themselves (20 entries each).
int zoomTableWidth(int nIndex);
int zoomTableHeight(int nIndex);

// UYVY bytes of W x H to a new 3-channel BGR image.
cv::Mat uyvyToBgr(const uint8_t* pUyvy, int nWidth, int nHeight);

// Alpha-blends a BGRA logo into a BGR image at (10, 10), in place. Only 3-channel images and
// non-empty 4-channel logos are touched; a logo running past the image edge is clipped.
void stampLogo(cv::Mat& image, const cv::Mat& logo);

} // namespace ImageOps
