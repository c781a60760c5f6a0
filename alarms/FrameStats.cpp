#include "alarms/FrameStats.h"

#include <algorithm>
#include <array>

namespace Alarm {

Histogram frameHistogram(const Measure::LumaPlane& plane, const Measure::LumaModel& model,
                         const Measure::Emissivity& emissivity, int nBins)
{
    float table[256];
    Measure::temperatureTable(model, emissivity, table);
    Histogram h;
    h.fLowC = std::min(table[int(std::clamp(model.fYmin, 0.0f, 255.0f))], table[int(std::clamp(model.fYmax, 0.0f, 255.0f))]);
    h.fHighC = std::max(table[int(std::clamp(model.fYmin, 0.0f, 255.0f))], table[int(std::clamp(model.fYmax, 0.0f, 255.0f))]);
    h.counts.assign(size_t(std::max(1, nBins)), 0);
    if (!plane.isValid())
        return h;
    // Counting luminance levels first keeps the per-pixel work to one increment.
    std::array<int, 256> levels{};
    const size_t nPixels = size_t(plane.nWidth) * size_t(plane.nHeight);
    for (size_t i = 0; i < nPixels; ++i)
        ++levels[plane.pLuma[i]];
    const int n = int(h.counts.size());
    const float fSpan = h.fHighC - h.fLowC;
    for (int y = 0; y < 256; ++y) {
        if (!levels[size_t(y)])
            continue;
        const int nBin = fSpan > 0.0f ? std::clamp(int((table[y] - h.fLowC) / fSpan * float(n)), 0, n - 1) : 0;
        h.counts[size_t(nBin)] += levels[size_t(y)];
        h.nTotal += levels[size_t(y)];
    }
    return h;
}

} // namespace Alarm
