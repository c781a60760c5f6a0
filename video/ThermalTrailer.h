#pragma once
// Temperature arithmetic on the camera's measurement trailer and on processed frames: the hot
// point and scene temperatures, the luminance extent, the temperature-range mapping that
// colours only a chosen temperature window, and the focus (sharpness) measure.

#include "video/ThermHotPointParam.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace ThermalTrailer {

constexpr int kTrailerBytes = 256;

// Reads the 256-byte trailer for a frame of W x H pixels: hot point row from bytes 1, 3 and
// column from bytes 5, 7 (0..8191 over the frame), maximum and minimum temperature x 200 as
// 32-bit two's complement at bytes 9..15 and 17..23 (odd bytes, lowest first).
ThermHotPointParam decode(const uint8_t* pTrailer, int nFrameWidth, int nFrameHeight);
// The inverse, for tests and simulated cameras: writes those bytes (others untouched).
void encode(uint8_t* pTrailer, int nRawRow, int nRawColumn, int32_t nMaxTimes200, int32_t nMinTimes200);

// Smallest and largest luminance byte (odd offsets) over nBytes of UYVY. An empty buffer
// gives min 2147483647 and max 0.
void lumaExtent(const uint8_t* pUyvy, size_t nBytes, uint32_t& nMin, uint32_t& nMax);

// Grey levels bounding the temperature window [fLow, fHigh] within the scene's luminance
// extent. False (the mapping must be skipped) when the scene's temperatures are equal or not
// finite, the extent is empty or inverted, or a level reaches 256.
bool rangeLevels(float fSceneMin, float fSceneMax, uint32_t nLumaMin, uint32_t nLumaMax,
                 float fLow, float fHigh, int& nLevelA, int& nLevelB);

// Temperature-range mapping of a UYVY frame of W x H in place: luminance inside [a, b] is
// spread over the scene's extent and coloured with palette nPaletteId. The luminance plane is
// left in pLumaOut when given. False leaves the frame untouched.
struct RangeScene
{
    float fSceneMin = 0.0f;
    float fSceneMax = 0.0f;
    uint32_t nLumaMin = 0;
    uint32_t nLumaMax = 0;
};
bool applyRangeMapping(uint8_t* pUyvy, int nWidth, int nHeight, int nPaletteId, float fLow, float fHigh,
                       const RangeScene& scene, std::vector<uint8_t>* pLumaOut = nullptr);

// Sobel sharpness of a 256 x 192 UYVY frame: mean of |Gx| + |Gy| over the luminance with
// its border repeated, divided as the camera's clarity readout expects (sum / 49152).
float focusMeasure(const uint8_t* pUyvy256x192);

} // namespace ThermalTrailer
