#include "video/ThermalTrailer.h"

#include "video/Palette.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace ThermalTrailer {

namespace {

int32_t readOdd32(const uint8_t* p, int nFirst)
{
    const uint32_t v = uint32_t(p[nFirst]) | (uint32_t(p[nFirst + 2]) << 8) | (uint32_t(p[nFirst + 4]) << 16) |
                       (uint32_t(p[nFirst + 6]) << 24);
    return int32_t(v);
}

int scalePosition(uint32_t nRaw, int nSize)
{
    // The product is formed in 32 bits and divided in double precision after a detour
    // through single precision, as the camera's own tools do.
    const float fProduct = float(int32_t(nRaw * uint32_t(nSize)));
    const int n = int(double(fProduct) / 8191.0 + 0.5);
    return std::min(nSize, n);
}

} // namespace

ThermHotPointParam decode(const uint8_t* pTrailer, int nFrameWidth, int nFrameHeight)
{
    ThermHotPointParam st;
    if (!pTrailer)
        return st;
    const uint32_t nRawRow = uint32_t(pTrailer[1]) | (uint32_t(pTrailer[3]) << 8);
    const uint32_t nRawColumn = uint32_t(pTrailer[5]) | (uint32_t(pTrailer[7]) << 8);
    st.nPosX = scalePosition(nRawColumn, nFrameWidth);
    st.nPosY = scalePosition(nRawRow, nFrameHeight);
    st.fMaxTemper = float(double(float(readOdd32(pTrailer, 9))) / 200.0);
    st.fMinTemper = float(double(float(readOdd32(pTrailer, 17))) / 200.0);
    return st;
}

void encode(uint8_t* pTrailer, int nRawRow, int nRawColumn, int32_t nMaxTimes200, int32_t nMinTimes200)
{
    pTrailer[1] = uint8_t(nRawRow);
    pTrailer[3] = uint8_t(nRawRow >> 8);
    pTrailer[5] = uint8_t(nRawColumn);
    pTrailer[7] = uint8_t(nRawColumn >> 8);
    const uint32_t mx = uint32_t(nMaxTimes200);
    const uint32_t mn = uint32_t(nMinTimes200);
    for (int i = 0; i < 4; ++i) {
        pTrailer[9 + 2 * i] = uint8_t(mx >> (8 * i));
        pTrailer[17 + 2 * i] = uint8_t(mn >> (8 * i));
    }
}

void lumaExtent(const uint8_t* pUyvy, size_t nBytes, uint32_t& nMin, uint32_t& nMax)
{
    uint32_t lo = 2147483647u;
    uint32_t hi = 0;
    if (pUyvy) {
        uint8_t bLo = 255, bHi = 0;
        for (size_t i = 1; i < nBytes; i += 2) {
            const uint8_t y = pUyvy[i];
            bLo = std::min(bLo, y);
            bHi = std::max(bHi, y);
        }
        if (nBytes >= 2) {
            lo = bLo;
            hi = bHi;
        }
    }
    nMin = lo;
    nMax = hi;
}

bool rangeLevels(float fSceneMin, float fSceneMax, uint32_t nLumaMin, uint32_t nLumaMax,
                 float fLow, float fHigh, int& nLevelA, int& nLevelB)
{
    // Equal scene temperatures would divide by zero; an empty or inverted luminance extent
    // (no frame measured yet) has nothing to spread the window over.
    if (!std::isfinite(fSceneMin) || !std::isfinite(fSceneMax) || fSceneMax == fSceneMin)
        return false;
    if (nLumaMin > nLumaMax || nLumaMax > 255)
        return false;
    if (!std::isfinite(fLow) || !std::isfinite(fHigh))
        return false;
    const float fLumaSpan = float(nLumaMax) - float(nLumaMin);
    const float fTempSpan = fSceneMax - fSceneMin;
    auto level = [&](float t, int& nOut) {
        const float v = (std::max(fSceneMin, t) - fSceneMin) * fLumaSpan / fTempSpan + float(nLumaMin);
        // Checked before truncating, so a far-off window never overflows the conversion.
        if (!(v < 256.0f))
            return false;
        nOut = v > 0.0f ? int(v) : 0;
        return true;
    };
    int a = 0, b = 0;
    if (!level(fLow, a) || !level(fHigh, b))
        return false;
    if (b == a)
        b += 1;
    if (a >= 256 || b >= 256)
        return false;
    nLevelA = a;
    nLevelB = b;
    return true;
}

bool applyRangeMapping(uint8_t* pUyvy, int nWidth, int nHeight, int nPaletteId, float fLow, float fHigh,
                       const RangeScene& scene, std::vector<uint8_t>* pLumaOut)
{
    if (!pUyvy || nWidth < 2 || nHeight < 1)
        return false;
    const size_t nPixels = size_t(nWidth) * size_t(nHeight);
    if (pLumaOut) {
        pLumaOut->resize(nPixels);
        for (size_t i = 0; i < nPixels; ++i)
            (*pLumaOut)[i] = pUyvy[2 * i + 1];
    }

    int a = 0, b = 0;
    if (!rangeLevels(scene.fSceneMin, scene.fSceneMax, scene.nLumaMin, scene.nLumaMax, fLow, fHigh, a, b))
        return false;

    // One colour per grey level; the per-pixel work is then a table lookup.
    uint32_t colour[256];
    const uint32_t* pTable = Palette::table(nPaletteId);
    if (!pTable) {
        std::fputs("The color type is not valid!\n", stdout);
        std::fill(colour, colour + 256, 0u);
    } else {
        const int64_t lo = a;
        const int64_t hi = b;
        const int64_t span = int64_t(scene.nLumaMax) - int64_t(scene.nLumaMin);
        for (int p = 0; p < 256; ++p) {
            int64_t q = p;
            if (q < lo)
                q = lo;
            else if (q > hi)
                q = hi;
            int64_t idx = (q - lo) * span / (hi - lo) + int64_t(scene.nLumaMin);
            idx = std::min<int64_t>(255, std::max<int64_t>(0, idx));
            colour[p] = pTable[idx];
        }
    }

    const size_t nGroups = nPixels / 2;
    for (size_t g = 0; g < nGroups; ++g) {
        uint8_t* q = pUyvy + 4 * g;
        const uint32_t c0 = colour[q[1]];
        const uint32_t c1 = colour[q[3]];
        q[0] = Palette::entryU(c0);
        q[1] = Palette::entryY(c0);
        q[2] = Palette::entryV(c0);
        q[3] = Palette::entryY(c1);
    }
    return true;
}

float focusMeasure(const uint8_t* pUyvy256x192)
{
    constexpr int W = 256;
    constexpr int H = 192;
    if (!pUyvy256x192)
        return 0.0f;
    // Luminance padded by one repeated pixel on every side.
    std::vector<int> pad(size_t(W + 2) * size_t(H + 2));
    auto at = [&](int x, int y) -> int& { return pad[size_t(y) * (W + 2) + size_t(x)]; };
    for (int y = -1; y <= H; ++y) {
        const int sy = std::min(H - 1, std::max(0, y));
        for (int x = -1; x <= W; ++x) {
            const int sx = std::min(W - 1, std::max(0, x));
            at(x + 1, y + 1) = pUyvy256x192[(size_t(sy) * W + size_t(sx)) * 2 + 1];
        }
    }
    int32_t nSum = 0;
    for (int y = 1; y <= H; ++y) {
        for (int x = 1; x <= W; ++x) {
            const int gx = -at(x - 1, y - 1) + at(x + 1, y - 1) - 2 * at(x - 1, y) + 2 * at(x + 1, y) -
                           at(x - 1, y + 1) + at(x + 1, y + 1);
            const int gy = -at(x - 1, y - 1) - 2 * at(x, y - 1) - at(x + 1, y - 1) + at(x - 1, y + 1) +
                           2 * at(x, y + 1) + at(x + 1, y + 1);
            nSum += std::abs(gx) + std::abs(gy);
        }
    }
    return float(nSum / 49152.0);
}

} // namespace ThermalTrailer
