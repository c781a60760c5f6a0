#include "measure/MeasureSettings.h"

#include "app/ConfigStore.h"

#include <QRegularExpression>
#include <algorithm>
#include <cmath>

namespace Measure {

namespace {
using ConfigStore::kGeneralGroup;

double readDouble(const char* pszKey, double fDefault)
{
    const QVariant v = ConfigStore::value(kGeneralGroup, pszKey);
    bool bOk = false;
    const double f = v.toDouble(&bOk);
    return bOk && std::isfinite(f) ? f : fDefault;
}
} // namespace

Emissivity loadEmissivity()
{
    Emissivity e;
    e.fEmissivity = Emissivity::clampEmissivity(readDouble("Emissivity", 1.0));
    e.fReflected = std::min(kMaxReflected, std::max(kMinReflected, readDouble("ReflexTemper", Emissivity::kDefaultReflected)));
    return e;
}

void saveEmissivity(const Emissivity& emissivity)
{
    ConfigStore::setValue(kGeneralGroup, "Emissivity",
                          QString::number(Emissivity::clampEmissivity(emissivity.fEmissivity), 'f', 2));
    ConfigStore::setValue(kGeneralGroup, "ReflexTemper", QString::number(emissivity.fReflected, 'f', 1));
}

bool loadShowRules()
{
    return ConfigStore::value(kGeneralGroup, "ShowRules").toInt() != 0;
}

void saveShowRules(bool bShow)
{
    ConfigStore::setValue(kGeneralGroup, "ShowRules", bShow ? 1 : 0);
}

bool loadColdPoint()
{
    return ConfigStore::value(kGeneralGroup, "ColdPoint").toInt() != 0;
}

void saveColdPoint(bool bOn)
{
    ConfigStore::setValue(kGeneralGroup, "ColdPoint", bOn ? 1 : 0);
}

const QStringList& materialPresetKeys()
{
    static const QStringList s_keys = {
        "Alumina (0.55)", "Beton (0.92)", "Brass (0.22)", "Brass-OX (0.61)", "Carbon1 (0.95)",
        "Carbon2 (0.95)", "Carbon3 (0.98)", "Ceram1 (0.90)", "Ceram2 (0.93)", "Copper (0.78)",
        "Iron-Cast (0.21)", "Iron-Cast-OX (0.64)", "Iron-OX (0.74)", "Iron-Rust (0.65)", "Kickel (0.37)",
        "Non-alumina (0.20)", "Paint (0.94)", "Paint-Black (0.97)", "Paint-White (0.92)", "Paper (0.93)",
        "Sand (0.90)", "Skin (0.80)", "Steel (0.79)", "Steel-OX (0.85)", "Water (0.96)"};
    return s_keys;
}

double presetEmissivity(const QString& qStrKey)
{
    static const QRegularExpression s_re(QStringLiteral("\\((\\d\\.\\d\\d)\\)$"));
    const QRegularExpressionMatch m = s_re.match(qStrKey);
    return m.hasMatch() ? m.captured(1).toDouble() : 0.0;
}

} // namespace Measure
