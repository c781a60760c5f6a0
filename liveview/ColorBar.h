#pragma once
// The temperature scale's colour bar: a 256 x 1 top-down 24-bit Windows bitmap of 822 bytes,
// built in memory. Pixel 0 is the lowest grey level; the scale shows it at the bottom.

#include <cstdint>
#include <vector>

namespace ColorBar {

constexpr int kWidth = 256;
constexpr int kPixelOffset = 54;                       // file header 14 + info header 40
constexpr int kImageSize = kWidth * 3;                 // one row of blue, green, red
constexpr int kFileSize = kPixelOffset + kImageSize;   // 822

struct Bgr
{
    uint8_t b;
    uint8_t g;
    uint8_t r;
};

// Video-range YUV to BGR, each channel clamped to 0..255 and truncated.
Bgr yuvToBgr(uint8_t nY, uint8_t nU, uint8_t nV);

// Palette level shown for grey level g when the frame's grey levels span nMinY..nMaxY:
// g held inside the span, then 0..255. Equal or inverted limits never divide by zero.
int levelFor(int nGrey, uint32_t nMinY, uint32_t nMaxY);

// The bitmap file around 256 given pixels.
std::vector<uint8_t> fromPixels(const Bgr* pPixels);

// The bar of palette nPalette for a frame whose grey levels span nMinY..nMaxY, walking the
// grey ramp pGreyRamp (256 levels; null means 0..255 in order). An id outside 0..13 prints
// "The color type is not valid!" and gives an empty result.
std::vector<uint8_t> build(int nPalette, uint32_t nMinY, uint32_t nMaxY, const uint8_t* pGreyRamp = nullptr);

// The whole palette from its first to its last level.
inline std::vector<uint8_t> build(int nPalette) { return build(nPalette, 0, 255); }

// For the live view's per-frame update: builds the bar from the thermal image context's grey
// ramp and, when the palette is valid, replaces the context's colour bar with it. Returns the
// new bar (empty for an invalid palette, leaving the previous bar in the context).
std::vector<uint8_t> updateContextBar(int nPalette, uint32_t nMinY, uint32_t nMaxY);

} // namespace ColorBar
