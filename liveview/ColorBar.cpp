#include "liveview/ColorBar.h"

#include "video/Palette.h"
#include "video/ThermImageContext.h"

#include <algorithm>
#include <cstdio>

namespace ColorBar {

namespace {

void putU16(uint8_t* p, uint16_t n)
{
    p[0] = uint8_t(n);
    p[1] = uint8_t(n >> 8);
}

void putU32(uint8_t* p, uint32_t n)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(n >> (8 * i));
}

uint8_t clampByte(double f)
{
    if (!(f > 0.0))
        return 0;
    if (f >= 255.0)
        return 255;
    return uint8_t(f);
}

} // namespace

Bgr yuvToBgr(uint8_t nY, uint8_t nU, uint8_t nV)
{
    const double y = 1.164 * (int(nY) - 16);
    const int u = int(nU) - 128;
    const int v = int(nV) - 128;
    Bgr px;
    px.b = clampByte(y + 2.017 * u);
    px.g = clampByte(y - 0.392 * u - 0.813 * v);
    px.r = clampByte(y + 1.596 * v);
    return px;
}

int levelFor(int nGrey, uint32_t nMinY, uint32_t nMaxY)
{
    // 64-bit arithmetic: the limits are unsigned and an empty frame's extent is inverted
    // (2147483647 .. 0); an inverted pair is taken the other way round.
    int64_t lo = nMinY;
    int64_t hi = nMaxY;
    if (lo > hi)
        std::swap(lo, hi);
    // Equal limits widen the span by one so the mapping never divides by zero.
    const int64_t hiSpan = (hi == lo) ? hi + 1 : hi;
    const int64_t q = std::clamp<int64_t>(nGrey, lo, hiSpan);
    const int64_t v = (q - lo) * (hi - lo) / (hiSpan - lo) + lo;
    return int(std::clamp<int64_t>(v, 0, 255));
}

std::vector<uint8_t> fromPixels(const Bgr* pPixels)
{
    std::vector<uint8_t> bytes(kFileSize, 0);
    uint8_t* p = bytes.data();
    p[0] = 'B';
    p[1] = 'M';
    putU32(p + 2, kFileSize);
    putU32(p + 10, kPixelOffset);
    putU32(p + 14, 40);
    putU32(p + 18, kWidth);
    putU32(p + 22, uint32_t(-1));   // one row, stored top-down
    putU16(p + 26, 1);
    putU16(p + 28, 24);
    putU32(p + 34, kImageSize);
    for (int i = 0; i < kWidth; ++i) {
        uint8_t* px = p + kPixelOffset + 3 * i;
        px[0] = pPixels[i].b;
        px[1] = pPixels[i].g;
        px[2] = pPixels[i].r;
    }
    return bytes;
}

std::vector<uint8_t> build(int nPalette, uint32_t nMinY, uint32_t nMaxY, const uint8_t* pGreyRamp)
{
    const uint32_t* pTable = Palette::table(nPalette);
    if (!pTable) {
        std::fputs("The color type is not valid!\n", stdout);
        std::fflush(stdout);
        return {};
    }
    Bgr pixels[kWidth];
    for (int i = 0; i < kWidth; ++i) {
        const int g = pGreyRamp ? pGreyRamp[i] : i;
        const uint32_t e = pTable[levelFor(g, nMinY, nMaxY)];
        pixels[i] = yuvToBgr(Palette::entryY(e), Palette::entryU(e), Palette::entryV(e));
    }
    return fromPixels(pixels);
}

std::vector<uint8_t> updateContextBar(int nPalette, uint32_t nMinY, uint32_t nMaxY)
{
    ThermImageContext& ctx = ThermImageContext::instance();
    std::vector<uint8_t> bar = build(nPalette, nMinY, nMaxY, ctx.m_GreyRamp);
    if (!bar.empty())
        ctx.m_ColorBar = bar;
    return bar;
}

} // namespace ColorBar
