#include "measure/PaletteNames.h"

#include "video/Palette.h"

namespace PaletteNames {
namespace {

// Matched by look: Arctic runs from ice blue into gold, Lava through violet and red into
// yellow like a sunset, Hot metal glows from red into gold, the clinical ramp has five crisp
// bands, the two-cycle rainbow is a painter's palette, Ocean's teal is jade.
const Entry kEntries[kCount] = {
    {Palette::kWhiteHot, "WhiteHot", "whitehot"},
    {Palette::kBlackHot, "BlackHot", "blackhot"},
    {Palette::kIronRed, "IronRed", "ironred"},
    {Palette::kRainbow, "Rainbow", "rainbow"},
    {Palette::kArctic, "Ice fire", "icefire"},
    {Palette::kLava, "Sunset", "sunset"},
    {Palette::kHotMetal, "Golden-fall", "goldenfall"},
    {Palette::kMedical, "Fifth-day", "fifthday"},
    {Palette::kAmber, "Amber", "amber"},
    {Palette::kNightGreen, "Emerald", "emerald"},
    {Palette::kRedHot, "Red", "red"},
    {Palette::kBlueCold, "Blue", "blue"},
    {Palette::kRainbowHC, "Oil-Paint", "oilpaint"},
    {Palette::kOcean, "Jade", "jade"},
};

QString folded(const QString& s)
{
    QString out;
    for (const QChar c : s)
        if (c.isLetterOrNumber())
            out.append(c.toLower());
    return out;
}

} // namespace

const Entry* entries()
{
    return kEntries;
}

QList<int> morePaletteIds()
{
    QList<int> ids;
    for (int i = 4; i < kCount; ++i)
        ids.append(kEntries[i].nId);
    return ids;
}

const Entry* byId(int nId)
{
    for (const Entry& e : kEntries)
        if (e.nId == nId)
            return &e;
    return nullptr;
}

int idFromName(const QString& qStrName)
{
    const QString f = folded(qStrName);
    if (f.isEmpty())
        return -1;
    for (const Entry& e : kEntries)
        if (f == QLatin1String(e.pszCli) || f == folded(QLatin1String(e.pszKey)))
            return e.nId;
    return -1;
}

QString cliNameList()
{
    QStringList names;
    for (const Entry& e : kEntries)
        names.append(QLatin1String(e.pszCli));
    return names.join(QStringLiteral(", "));
}

} // namespace PaletteNames
