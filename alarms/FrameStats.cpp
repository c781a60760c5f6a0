#include "alarms/FrameStats.h"

#include <algorithm>
#include <array>

namespace Alarm {

float LumaModel::at(float fY) const
{
    // A flat picture carries no gradient to spread the extremes over.
    if (fYMax <= fYMin)
        return fTMax;
    return fTMin + (fY - fYMin) / (fYMax - fYMin) * (fTMax - fTMin);
}

LumaModel frameModel(const uint8_t* pLuma, int nWidth, int nHeight, float fTMin, float fTMax)
{
    LumaModel model;
    model.fTMin = fTMin;
    model.fTMax = fTMax;
    if (!pLuma || nWidth < 1 || nHeight < 1)
        return model;
    uint8_t nMin = 255, nMax = 0;
    const size_t nPixels = size_t(nWidth) * size_t(nHeight);
    for (size_t i = 0; i < nPixels; ++i) {
        const uint8_t y = pLuma[i];
        nMin = std::min(nMin, y);
        nMax = std::max(nMax, y);
    }
    model.fYMin = nMin;
    model.fYMax = nMax;
    return model;
}

bool regionStats(const uint8_t* pLuma, int nWidth, int nHeight, const QRect& rect, const LumaModel& model, Stats* pStats)
{
    const QRect r = rect.intersected(QRect(0, 0, nWidth, nHeight));
    if (!pLuma || r.isEmpty())
        return false;
    int nMin = 255, nMax = 0;
    uint64_t nSum = 0;
    for (int y = r.top(); y <= r.bottom(); ++y) {
        const uint8_t* pRow = pLuma + size_t(y) * size_t(nWidth) + size_t(r.left());
        for (int x = 0; x < r.width(); ++x) {
            const int v = pRow[x];
            nMin = std::min(nMin, v);
            nMax = std::max(nMax, v);
            nSum += uint64_t(v);
        }
    }
    // The model is linear, so the average luminance gives the average temperature.
    pStats->fMax = model.at(float(nMax));
    pStats->fMin = model.at(float(nMin));
    pStats->fAvg = model.at(float(double(nSum) / double(r.width() * r.height())));
    return true;
}

Histogram frameHistogram(const uint8_t* pLuma, int nWidth, int nHeight, const LumaModel& model, int nBins)
{
    Histogram h;
    h.fLowC = std::min(model.fTMin, model.fTMax);
    h.fHighC = std::max(model.fTMin, model.fTMax);
    h.counts.assign(size_t(std::max(1, nBins)), 0);
    if (!pLuma || nWidth < 1 || nHeight < 1)
        return h;
    // Counting luminance levels first keeps the per-pixel work to one increment.
    std::array<int, 256> levels{};
    const size_t nPixels = size_t(nWidth) * size_t(nHeight);
    for (size_t i = 0; i < nPixels; ++i)
        ++levels[pLuma[i]];
    const int n = int(h.counts.size());
    const float fSpan = h.fHighC - h.fLowC;
    for (int y = 0; y < 256; ++y) {
        if (!levels[size_t(y)])
            continue;
        int nBin = fSpan > 0.0f ? int((model.at(float(y)) - h.fLowC) / fSpan * float(n)) : 0;
        nBin = std::clamp(nBin, 0, n - 1);
        h.counts[size_t(nBin)] += levels[size_t(y)];
        h.nTotal += levels[size_t(y)];
    }
    return h;
}

} // namespace Alarm
