#pragma once
// Measurement settings kept in Config.ini (group "GeneralConfig"): emissivity
// ("Emissivity", 0.10 .. 1.00, default 1.00), reflected temperature ("ReflexTemper",
// Celsius, default 20), the cold spot switch ("ColdPoint") and whether snapshots and
// recordings carry the items ("ShowRules": 1 "Show with rules", 0 "NotShow").

#include "measure/TemperatureModel.h"

#include <QStringList>

namespace Measure {

Emissivity loadEmissivity();
void saveEmissivity(const Emissivity& emissivity);

bool loadShowRules();
void saveShowRules(bool bShow);
bool loadColdPoint();
void saveColdPoint(bool bOn);

// The material presets of the language tables, each key ending in its emissivity,
// e.g. "Steel (0.79)".
const QStringList& materialPresetKeys();
// The emissivity a preset key names; 0 when the key carries none.
double presetEmissivity(const QString& qStrKey);

// Reflected temperature range the settings accept, Celsius.
constexpr double kMinReflected = -50.0;
constexpr double kMaxReflected = 500.0;

} // namespace Measure
