#include "app/LangTable.h"

#include <QFile>
#include <QXmlStreamReader>

LangTable& langTable()
{
    static LangTable table;
    return table;
}

void loadLanguageFile(LangTable& table, const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text))
        return;
    loadLanguageDevice(table, file);
    file.close();
}

void loadLanguageDevice(LangTable& table, QIODevice& device)
{
    table.clear();
    QXmlStreamReader reader(&device);
    while (!reader.atEnd() && !reader.hasError()) {
        reader.readNext();
        if (reader.name() != QLatin1String("item"))
            continue;
        const QXmlStreamAttributes attrs = reader.attributes();
        const QString name = attrs.value("name").toString();
        const QString value = attrs.value("value").toString();
        if (!name.isEmpty() && !value.isEmpty())
            table[name] = value;
    }
}

void loadLanguage(LangTable& table, int nLanguage)
{
    const QString fileName = nLanguage == 1 ? QStringLiteral("Lang_EN.xml") : QStringLiteral("Lang_CN.xml");
    loadLanguageFile(table, ":/Resource/" + fileName);
}

QString getLangText(const LangTable& table, QString key)
{
    auto it = table.constFind(key);
    return it == table.constEnd() ? QString() : it.value();
}
