#include "video/Palette.h"

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace Palette {
namespace {

// Fixed rows of the four user palettes at levels 0, 16, ..., 240 and 255 (0xYYUUVV); the
// levels between two rows are interpolated linearly per component.
constexpr int kRowLevels[17] = {0, 16, 32, 48, 64, 80, 96, 112, 128, 144, 160, 176, 192, 208, 224, 240, 255};

constexpr uint32_t kWhiteHotRows[17] = {
    0x118080, 0x198080, 0x238080, 0x308080, 0x3D8080, 0x4C8080, 0x5C8080, 0x6D8080, 0x7E8080,
    0x8F8080, 0x9F8080, 0xB08080, 0xBE8080, 0xCC8080, 0xD98080, 0xE38080, 0xEA8080};
constexpr uint32_t kBlackHotRows[17] = {
    0xFE8080, 0xEE8080, 0xDE8080, 0xCE8080, 0xBF8080, 0xAF8080, 0x9F8080, 0x8F8080, 0x7F8080,
    0x6F8080, 0x5F8080, 0x4F8080, 0x408080, 0x308080, 0x208080, 0x108080, 0x018080};
constexpr uint32_t kRainbowRows[17] = {
    0x1DFE6A, 0x53E061, 0x8AC257, 0xC0A34E, 0xA88E4E, 0x88784F, 0x68614F, 0x7E525E, 0xA24571,
    0xC53783, 0xC4358E, 0xB23799, 0x9F3AA3, 0x8D3EB2, 0x7746C8, 0x614DDE, 0x4B55F2};
constexpr uint32_t kIronRedRows[17] = {
    0x07947D, 0x119C86, 0x169B8E, 0x1C9A97, 0x21999F, 0x2798A8, 0x2C96B0, 0x3295B8, 0x3794C1,
    0x3E91CA, 0x498BD4, 0x5E7AD8, 0x845ACF, 0xAA3AC6, 0xC72DB0, 0xE13297, 0xF15788};

uint8_t lerpByte(int a, int b, int num, int den)
{
    // Rounded to nearest; a and b are bytes so the result stays within them.
    const int v = a * den + (b - a) * num;
    return uint8_t((v + den / 2) / den);
}

void fillFromRows(uint32_t* pOut, const uint32_t* pRows)
{
    for (int r = 0; r < 16; ++r) {
        const int l0 = kRowLevels[r];
        const int l1 = kRowLevels[r + 1];
        const uint32_t e0 = pRows[r];
        const uint32_t e1 = pRows[r + 1];
        for (int l = l0; l <= l1; ++l) {
            const int num = l - l0;
            const int den = l1 - l0;
            const uint32_t y = lerpByte(int(entryY(e0)), int(entryY(e1)), num, den);
            const uint32_t u = lerpByte(int(entryU(e0)), int(entryU(e1)), num, den);
            const uint32_t v = lerpByte(int(entryV(e0)), int(entryV(e1)), num, den);
            pOut[l] = (y << 16) | (u << 8) | v;
        }
    }
}

struct RgbKey
{
    int nLevel;
    int r, g, b;
};

uint8_t clampByte(double v)
{
    // 0 is avoided: the tables carry no zero byte.
    const long n = std::lround(v);
    return uint8_t(std::min(255L, std::max(1L, n)));
}

// Studio-range BT.601, the same matrix the colour bar uses to go back to RGB.
uint32_t rgbToEntry(double r, double g, double b)
{
    const uint32_t y = clampByte(16.0 + 0.257 * r + 0.504 * g + 0.098 * b);
    const uint32_t u = clampByte(128.0 - 0.148 * r - 0.291 * g + 0.439 * b);
    const uint32_t v = clampByte(128.0 + 0.439 * r - 0.368 * g - 0.071 * b);
    return (y << 16) | (u << 8) | v;
}

void fillFromRgb(uint32_t* pOut, std::initializer_list<RgbKey> keys)
{
    const RgbKey* k = keys.begin();
    const size_t n = keys.size();
    for (int l = 0; l < kLevels; ++l) {
        size_t i = 0;
        while (i + 2 < n && l > k[i + 1].nLevel)
            ++i;
        const RgbKey& a = k[i];
        const RgbKey& b = k[i + 1];
        const double t = b.nLevel > a.nLevel ? double(l - a.nLevel) / double(b.nLevel - a.nLevel) : 0.0;
        const double tt = std::min(1.0, std::max(0.0, t));
        pOut[l] = rgbToEntry(a.r + (b.r - a.r) * tt, a.g + (b.g - a.g) * tt, a.b + (b.b - a.b) * tt);
    }
}

struct Tables
{
    uint32_t data[kCount][kLevels];

    Tables()
    {
        fillFromRows(data[kWhiteHot], kWhiteHotRows);
        fillFromRows(data[kBlackHot], kBlackHotRows);
        fillFromRows(data[kRainbow], kRainbowRows);
        fillFromRows(data[kIronRed], kIronRedRows);
        // Cold scene detail: black through deep blue and cyan, warm end in gold.
        fillFromRgb(data[kArctic], {{0, 8, 8, 24}, {64, 20, 40, 140}, {128, 40, 150, 220},
                                    {176, 170, 230, 245}, {216, 250, 210, 120}, {255, 255, 240, 170}});
        // Black, violet, red, orange, yellow.
        fillFromRgb(data[kLava], {{0, 6, 4, 10}, {50, 60, 10, 90}, {110, 180, 20, 60},
                                  {170, 240, 100, 10}, {220, 255, 200, 30}, {255, 255, 250, 200}});
        // Black-body glow: black, red, yellow, white.
        fillFromRgb(data[kHotMetal], {{0, 4, 4, 4}, {85, 200, 20, 4}, {170, 255, 210, 20}, {255, 255, 255, 250}});
        // Clinical steps: blue, cyan, green, yellow, red, with crisp changes of hue.
        fillFromRgb(data[kMedical], {{0, 10, 10, 120}, {50, 20, 80, 240}, {90, 20, 200, 200},
                                     {130, 40, 200, 40}, {170, 240, 240, 30}, {210, 250, 120, 10},
                                     {255, 230, 20, 20}});
        // Warm monochrome: brown to amber to cream.
        fillFromRgb(data[kAmber], {{0, 12, 6, 2}, {128, 170, 100, 20}, {255, 255, 240, 200}});
        // Night-vision green.
        fillFromRgb(data[kNightGreen], {{0, 2, 10, 2}, {160, 40, 200, 40}, {255, 220, 255, 200}});
        // Grey scene with the hottest fifth marked red to yellow.
        fillFromRgb(data[kRedHot], {{0, 8, 8, 8}, {204, 200, 200, 200}, {205, 190, 20, 10}, {255, 255, 240, 40}});
        // Grey scene with the coldest fifth marked blue.
        fillFromRgb(data[kBlueCold], {{0, 10, 30, 230}, {50, 60, 160, 255}, {51, 55, 55, 55}, {255, 250, 250, 250}});
        // Two hue cycles for fine temperature differences.
        fillFromRgb(data[kRainbowHC], {{0, 20, 0, 120}, {32, 0, 120, 255}, {64, 0, 230, 60}, {96, 250, 230, 0},
                                       {128, 250, 20, 0}, {160, 120, 0, 200}, {192, 0, 200, 250},
                                       {224, 240, 250, 20}, {255, 255, 255, 255}});
        // Deep navy through teal to white.
        fillFromRgb(data[kOcean], {{0, 4, 8, 30}, {100, 10, 70, 130}, {180, 40, 180, 180}, {255, 240, 255, 250}});
    }
};

const Tables& tables()
{
    static const Tables s_tables;
    return s_tables;
}

} // namespace

const uint32_t* table(int nId)
{
    return isValid(nId) ? tables().data[nId] : nullptr;
}

uint32_t entry(int nId, int nLevel)
{
    const uint32_t* p = table(nId);
    if (!p)
        return 0;
    return p[std::min(255, std::max(0, nLevel))];
}

void split(const uint32_t* pTable, uint8_t* pY, uint8_t* pU, uint8_t* pV)
{
    for (int i = 0; i < kLevels; ++i) {
        pY[i] = entryY(pTable[i]);
        pU[i] = entryU(pTable[i]);
        pV[i] = entryV(pTable[i]);
    }
}

void applyLookup(uint8_t* pUyvy, size_t nBytes, const uint8_t* pY, const uint8_t* pU, const uint8_t* pV,
                 const uint8_t* pPre)
{
    uint8_t y[256], u[256], v[256];
    if (pPre) {
        // Fold the preceding table in, so the frame is walked once.
        for (int i = 0; i < 256; ++i) {
            y[i] = pY[pPre[i]];
            u[i] = pU[pPre[i]];
            v[i] = pV[pPre[i]];
        }
        pY = y;
        pU = u;
        pV = v;
    }
    const size_t nGroups = nBytes / 4;
    for (size_t g = 0; g < nGroups; ++g) {
        uint8_t* p = pUyvy + 4 * g;
        const uint8_t y0 = p[1];
        p[0] = pU[y0];
        p[1] = pY[y0];
        p[2] = pV[y0];
        p[3] = pY[p[3]];
    }
}

void applyLumaTable(uint8_t* pUyvy, size_t nBytes, const uint8_t* pTable)
{
    for (size_t i = 1; i < nBytes; i += 2)
        pUyvy[i] = pTable[pUyvy[i]];
}

} // namespace Palette
