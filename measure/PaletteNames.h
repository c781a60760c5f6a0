#pragma once
// Names of the fourteen palettes: the language-table key the window shows and the name
// thermava-cli takes. The four classic palettes keep their buttons; the other ten are named
// after the look of their ramps.

#include <QString>
#include <QStringList>

namespace PaletteNames {

struct Entry
{
    int nId;               // palette id (video/Palette.h)
    const char* pszKey;    // language-table key
    const char* pszCli;    // thermava-cli --palette name
};

// All fourteen, the four button palettes first.
const Entry* entries();
constexpr int kCount = 14;
// The ten without a button of their own, in the order the "more" list shows them.
QList<int> morePaletteIds();

const Entry* byId(int nId);
// A command-line or table name, ignoring case, spaces and hyphens ("Ice fire", "icefire",
// "ice-fire"); -1 when unknown.
int idFromName(const QString& qStrName);
// "whitehot, blackhot, ..." for help texts.
QString cliNameList();

} // namespace PaletteNames
