#pragma once
// The one temperature model of the client. The camera reports the scene's minimum and maximum
// temperature with every frame, and the picture's luminance is treated as linear between the
// frame's darkest and brightest pixel:
//
//     T = Tmin + (Y - Ymin) / (Ymax - Ymin) x (Tmax - Tmin)
//
// Every reading the client shows or writes (cursor, items, cold spot, snapshot metadata, the
// radiometric file, thermava-cli) goes through LumaModel and then through the grey-body
// emissivity correction below.

#include <QMetaType>
#include <cstddef>
#include <cstdint>

namespace Measure {

struct LumaModel
{
    float fYmin = 0.0f;   // luminance extent of the frame
    float fYmax = 0.0f;
    float fTmin = 0.0f;   // scene temperatures of the same frame, degrees Celsius
    float fTmax = 0.0f;

    // A flat frame (Ymax == Ymin) reads Tmin everywhere, an inverted or empty extent too.
    float temperature(float fY) const;
    // The inverse, for tests and for drawing: the luminance a temperature would have.
    float luminance(float fCelsius) const;
};

// The model of a luminance plane: its extent and the scene temperatures of that frame.
LumaModel modelOf(const uint8_t* pLuma, size_t nCount, float fTmin, float fTmax);

// Grey-body correction in kelvin: T_obj = ((T_m^4 - (1 - e) T_refl^4) / e)^(1/4).
// The surface emits only the share e of a black body and reflects the rest of its
// surroundings (at T_refl); the camera measured the sum as if e were 1.
struct Emissivity
{
    static constexpr double kMin = 0.10;
    static constexpr double kMax = 1.00;
    static constexpr double kDefaultReflected = 20.0;

    double fEmissivity = 1.0;
    double fReflected = kDefaultReflected;   // reflected (surroundings) temperature, Celsius

    bool isIdentity() const { return fEmissivity >= 1.0; }
    // Emissivity 1 returns the measured value unchanged. When the reflected radiation alone
    // exceeds what was measured, no object temperature explains it; the result is then
    // absolute zero (-273.15), never a number that looks like a reading.
    double correct(double fMeasured) const;
    float correct(float fMeasured) const { return float(correct(double(fMeasured))); }
    // The inverse: what the camera measures for an object at fObject (Celsius). Used where a
    // temperature the user picked goes back to the camera's own scale.
    double measuredFrom(double fObject) const;
    float measuredFrom(float fObject) const { return float(measuredFrom(double(fObject))); }
    // Emissivity clamped to 0.10 .. 1.00 (a non-number gives 1).
    static double clampEmissivity(double fValue);
};

constexpr double kZeroCelsiusInKelvin = 273.15;

// 256 corrected temperatures, one per luminance level of the frame.
void temperatureTable(const LumaModel& model, const Emissivity& emissivity, float* pTable256);

} // namespace Measure

Q_DECLARE_METATYPE(Measure::LumaModel)
