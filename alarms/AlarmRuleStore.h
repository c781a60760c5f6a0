#pragma once
// Alarm rules and alarm settings kept in Config.ini (group "GeneralConfig"): the rules as a
// JSON array under "AlarmRules", the alarm recording length in seconds under
// "AlarmDuration"; and how a rule reads to a person.

#include "alarms/AlarmEngine.h"

#include <QString>
#include <cstdint>
#include <vector>

namespace Alarm {

constexpr int kMaxRules = 16;
constexpr int kDefaultDurationSec = 10;
constexpr int kMaxDurationSec = 600;

std::vector<Rule> loadRules();
void saveRules(const std::vector<Rule>& rules);
// Rules to and from their stored JSON text; entries that do not parse are left out.
QString rulesToJson(const std::vector<Rule>& rules);
std::vector<Rule> rulesFromJson(const QString& qStrJson);

int loadAlarmDuration();   // 1 .. 600 seconds
void saveAlarmDuration(int nSeconds);

// Degrees Celsius to and from the unit of "TemperUnit" (0 Celsius, 1 Fahrenheit, 2 Kelvin).
float toUnit(float fCelsius, int nUnit);
float fromUnit(float fValue, int nUnit);

// "Above(Max Temper) 60.0 ℃, scene" in the shown language and the configured unit; with
// bPlain, untranslated and in Celsius (for files and the command-line tool).
QString ruleText(const Rule& rule, bool bPlain = false);

// The client's own alarm tone: three short beeps, mono 16-bit at nRate.
std::vector<int16_t> alarmTone(int nRate);

} // namespace Alarm
