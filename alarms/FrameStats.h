#pragma once
// The distribution of a frame's pixel temperatures, with the client's one temperature model.

#include "measure/RegionStats.h"
#include "measure/TemperatureModel.h"

#include <vector>

namespace Alarm {

struct Histogram
{
    float fLowC = 0.0f;           // lower edge of the first bin
    float fHighC = 0.0f;          // upper edge of the last bin
    std::vector<int> counts;
    int nTotal = 0;
};

// Pixel temperatures (emissivity-corrected) in nBins equal bins over the frame's range.
Histogram frameHistogram(const Measure::LumaPlane& plane, const Measure::LumaModel& model,
                         const Measure::Emissivity& emissivity, int nBins);

} // namespace Alarm
