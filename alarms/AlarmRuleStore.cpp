#include "alarms/AlarmRuleStore.h"

#include "app/ConfigStore.h"
#include "app/LangTable.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>
#include <cmath>

namespace Alarm {

namespace {
const char* const kRulesKey = "AlarmRules";
const char* const kDurationKey = "AlarmDuration";
} // namespace

QString rulesToJson(const std::vector<Rule>& rules)
{
    QJsonArray array;
    for (const Rule& r : rules) {
        QJsonObject o;
        o.insert("source", r.nSource);
        o.insert("type", r.nType);
        o.insert("threshold", double(r.fThresholdC));
        o.insert("hold", r.fHoldSec);
        o.insert("enabled", r.bEnabled);
        o.insert("sound", r.bSound);
        o.insert("audioFile", r.qStrAudioFile);
        o.insert("snapshot", r.bSnapshot);
        o.insert("record", r.bRecord);
        o.insert("notify", r.bNotify);
        array.append(o);
    }
    return QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Compact));
}

std::vector<Rule> rulesFromJson(const QString& qStrJson)
{
    std::vector<Rule> rules;
    const QJsonArray array = QJsonDocument::fromJson(qStrJson.toUtf8()).array();
    for (const QJsonValue& v : array) {
        const QJsonObject o = v.toObject();
        const double fThreshold = o.value("threshold").toDouble(qQNaN());
        const int nType = o.value("type").toInt(-1);
        // A hand-edited entry with no usable threshold or type would alarm on nonsense.
        if (!std::isfinite(fThreshold) || nType < 0 || nType >= TypeCount)
            continue;
        Rule r;
        r.nSource = o.value("source").toInt(kSceneSource);
        r.nType = nType;
        r.fThresholdC = float(fThreshold);
        r.fHoldSec = std::clamp(o.value("hold").toDouble(0.0), 0.0, 3600.0);
        r.bEnabled = o.value("enabled").toBool(true);
        r.bSound = o.value("sound").toBool();
        r.qStrAudioFile = o.value("audioFile").toString();
        r.bSnapshot = o.value("snapshot").toBool();
        r.bRecord = o.value("record").toBool();
        r.bNotify = o.value("notify").toBool();
        rules.push_back(r);
        if (int(rules.size()) == kMaxRules)
            break;
    }
    return rules;
}

std::vector<Rule> loadRules()
{
    return rulesFromJson(ConfigStore::value(ConfigStore::kGeneralGroup, kRulesKey).toString());
}

void saveRules(const std::vector<Rule>& rules)
{
    ConfigStore::setValue(ConfigStore::kGeneralGroup, kRulesKey, rulesToJson(rules));
}

int loadAlarmDuration()
{
    bool bOk = false;
    const int n = ConfigStore::value(ConfigStore::kGeneralGroup, kDurationKey).toInt(&bOk);
    return bOk && n > 0 ? std::min(n, kMaxDurationSec) : kDefaultDurationSec;
}

void saveAlarmDuration(int nSeconds)
{
    ConfigStore::setValue(ConfigStore::kGeneralGroup, kDurationKey, std::clamp(nSeconds, 1, kMaxDurationSec));
}

float toUnit(float fCelsius, int nUnit)
{
    switch (nUnit) {
    case 1: return float(double(fCelsius) * 1.8 + 32.0);
    case 2: return float(double(fCelsius) + 273.15);
    default: return fCelsius;
    }
}

float fromUnit(float fValue, int nUnit)
{
    switch (nUnit) {
    case 1: return float((double(fValue) - 32.0) / 1.8);
    case 2: return float(double(fValue) - 273.15);
    default: return fValue;
    }
}

QString ruleText(const Rule& rule, bool bPlain)
{
    const QString qStrKey = QString::fromLatin1(typeKey(rule.nType));
    const QString qStrType = bPlain ? qStrKey : langText(qStrKey);
    const QString qStrValue =
        bPlain ? QStringLiteral("%1 C").arg(double(rule.fThresholdC), 0, 'f', 1)
               : QStringLiteral("%1 %2").arg(double(toUnit(rule.fThresholdC, ConfigStore::getTemperUnit())), 0, 'f', 1)
                     .arg(ConfigStore::getTemperUnitText());
    const QString qStrSource =
        rule.nSource == kSceneSource ? QStringLiteral("scene") : QStringLiteral("item %1").arg(rule.nSource);
    QString text = QStringLiteral("%1 %2, %3").arg(qStrType.isEmpty() ? qStrKey : qStrType, qStrValue, qStrSource);
    if (rule.fHoldSec > 0.0)
        text += QStringLiteral(", %1 s").arg(rule.fHoldSec);
    return text;
}

std::vector<int16_t> alarmTone(int nRate)
{
    // 880 Hz, three beeps of 150 ms with 100 ms pauses, faded in and out so they do not click.
    const int nBeep = nRate * 150 / 1000;
    const int nGap = nRate * 100 / 1000;
    const int nFade = std::max(1, nRate / 200);
    std::vector<int16_t> samples;
    samples.reserve(size_t(3 * (nBeep + nGap)));
    for (int b = 0; b < 3; ++b) {
        for (int i = 0; i < nBeep; ++i) {
            const double fEnv = std::min({1.0, double(i) / nFade, double(nBeep - 1 - i) / nFade});
            samples.push_back(int16_t(std::lround(12000.0 * fEnv * std::sin(2.0 * M_PI * 880.0 * i / nRate))));
        }
        samples.insert(samples.end(), size_t(nGap), int16_t(0));
    }
    return samples;
}

} // namespace Alarm
