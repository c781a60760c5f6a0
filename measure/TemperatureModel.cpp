#include "measure/TemperatureModel.h"

#include <algorithm>
#include <cmath>

namespace Measure {

float LumaModel::temperature(float fY) const
{
    const float fSpan = fYmax - fYmin;
    if (!(fSpan > 0.0f))
        return fTmin;
    return fTmin + (fY - fYmin) / fSpan * (fTmax - fTmin);
}

float LumaModel::luminance(float fCelsius) const
{
    const float fSpan = fTmax - fTmin;
    if (!(fSpan > 0.0f))
        return fYmin;
    return fYmin + (fCelsius - fTmin) / fSpan * (fYmax - fYmin);
}

LumaModel modelOf(const uint8_t* pLuma, size_t nCount, float fTmin, float fTmax)
{
    LumaModel m;
    m.fTmin = fTmin;
    m.fTmax = fTmax;
    if (!pLuma || nCount == 0)
        return m;
    const auto ext = std::minmax_element(pLuma, pLuma + nCount);
    m.fYmin = float(*ext.first);
    m.fYmax = float(*ext.second);
    return m;
}

double Emissivity::clampEmissivity(double fValue)
{
    if (!std::isfinite(fValue))
        return 1.0;
    return std::min(kMax, std::max(kMin, fValue));
}

double Emissivity::correct(double fMeasured) const
{
    if (isIdentity() || !std::isfinite(fMeasured))
        return fMeasured;
    const double e = clampEmissivity(fEmissivity);
    const double tm = fMeasured + kZeroCelsiusInKelvin;
    const double tr = fReflected + kZeroCelsiusInKelvin;
    const double num = tm * tm * tm * tm - (1.0 - e) * tr * tr * tr * tr;
    if (!(num > 0.0))
        return -kZeroCelsiusInKelvin;
    return std::pow(num / e, 0.25) - kZeroCelsiusInKelvin;
}

double Emissivity::measuredFrom(double fObject) const
{
    if (isIdentity() || !std::isfinite(fObject))
        return fObject;
    const double e = clampEmissivity(fEmissivity);
    const double to = std::max(0.0, fObject + kZeroCelsiusInKelvin);
    const double tr = fReflected + kZeroCelsiusInKelvin;
    return std::pow(e * to * to * to * to + (1.0 - e) * tr * tr * tr * tr, 0.25) - kZeroCelsiusInKelvin;
}

void temperatureTable(const LumaModel& model, const Emissivity& emissivity, float* pTable256)
{
    for (int y = 0; y < 256; ++y)
        pTable256[y] = emissivity.correct(model.temperature(float(y)));
}

} // namespace Measure
