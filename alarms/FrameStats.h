#pragma once
// Temperatures of a whole frame, of a rectangle of it, and their distribution, from the
// picture's luminance: the camera reports the scene's extremes, and the luminance is linear
// between them.

#include "alarms/AlarmEngine.h"

#include <QRect>
#include <cstdint>
#include <vector>

namespace Alarm {

struct LumaModel
{
    float fYMin = 0.0f;
    float fYMax = 0.0f;
    float fTMin = 0.0f;
    float fTMax = 0.0f;
    float at(float fY) const;
};

// The model of a luminance plane (nWidth x nHeight, row-major) whose scene extremes are fTMin, fTMax.
LumaModel frameModel(const uint8_t* pLuma, int nWidth, int nHeight, float fTMin, float fTMax);

// Maximum, minimum and average of the rectangle (clipped to the frame). False when nothing
// of it lies inside the frame.
bool regionStats(const uint8_t* pLuma, int nWidth, int nHeight, const QRect& rect, const LumaModel& model, Stats* pStats);

struct Histogram
{
    float fLowC = 0.0f;           // lower edge of the first bin
    float fHighC = 0.0f;          // upper edge of the last bin
    std::vector<int> counts;
    int nTotal = 0;
};
// Distribution of the frame's pixel temperatures in nBins equal bins over the scene's range.
Histogram frameHistogram(const uint8_t* pLuma, int nWidth, int nHeight, const LumaModel& model, int nBins);

} // namespace Alarm
