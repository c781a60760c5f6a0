// Measurement trailer and temperature-range mapping: the input supplies the 256 trailer bytes,
// the frame geometry, a frame's luminance and the temperature window.
#include "video/ThermalTrailer.h"

#include <cmath>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* pData, size_t nSize)
{
    if (nSize < ThermalTrailer::kTrailerBytes + 16)
        return 0;
    const uint8_t* pTrailer = pData;
    const uint8_t* pRest = pData + ThermalTrailer::kTrailerBytes;
    const int nWidth = 2 * (1 + pRest[0] % 32);
    const int nHeight = 1 + pRest[1] % 24;
    const ThermHotPointParam param = ThermalTrailer::decode(pTrailer, nWidth, nHeight);
    if (param.nPosX < 0 || param.nPosX > nWidth || param.nPosY < 0 || param.nPosY > nHeight)
        __builtin_trap();

    float fLow, fHigh;
    std::memcpy(&fLow, pRest + 2, 4);
    std::memcpy(&fHigh, pRest + 6, 4);
    const int nPalette = pRest[10];
    std::vector<uint8_t> frame(static_cast<size_t>(nWidth) * nHeight * 2);
    const size_t nAvail = nSize - ThermalTrailer::kTrailerBytes - 11;
    std::memcpy(frame.data(), pRest + 11, std::min(nAvail, frame.size()));
    ThermalTrailer::RangeScene scene;
    scene.fSceneMin = param.fMinTemper;
    scene.fSceneMax = param.fMaxTemper;
    ThermalTrailer::lumaExtent(frame.data(), frame.size(), scene.nLumaMin, scene.nLumaMax);
    std::vector<uint8_t> luma;
    ThermalTrailer::applyRangeMapping(frame.data(), nWidth, nHeight, nPalette, fLow, fHigh, scene, &luma);
    return 0;
}
