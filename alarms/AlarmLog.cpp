#include "alarms/AlarmLog.h"

#include "app/ConfigStore.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Alarm {

namespace {
const char* const kHeader = "time,event,rule,value_C,files";
const QLatin1Char kFileSeparator(';');
} // namespace

QString csvField(const QString& qStrText)
{
    if (!qStrText.contains(QLatin1Char(',')) && !qStrText.contains(QLatin1Char('"')) &&
        !qStrText.contains(QLatin1Char('\n')) && !qStrText.contains(QLatin1Char('\r')))
        return qStrText;
    QString quoted = qStrText;
    quoted.replace(QLatin1String("\""), QLatin1String("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

QString csvLine(const QStringList& fields)
{
    QStringList out;
    for (const QString& f : fields)
        out << csvField(f);
    return out.join(QLatin1Char(',')) + QLatin1Char('\n');
}

QList<QStringList> parseCsv(const QString& qStrText)
{
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool bQuoted = false;
    bool bAny = false;   // the current row has content
    for (int i = 0; i < qStrText.size(); ++i) {
        const QChar c = qStrText.at(i);
        if (bQuoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < qStrText.size() && qStrText.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    bQuoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"')) {
            bQuoted = true;
            bAny = true;
        } else if (c == QLatin1Char(',')) {
            row << field;
            field.clear();
            bAny = true;
        } else if (c == QLatin1Char('\n') || c == QLatin1Char('\r')) {
            if (bAny || !field.isEmpty()) {
                row << field;
                rows << row;
            }
            row.clear();
            field.clear();
            bAny = false;
        } else {
            field += c;
            bAny = true;
        }
    }
    if (bAny || !field.isEmpty()) {
        row << field;
        rows << row;
    }
    return rows;
}

QString AlarmLog::defaultPath() { return ConfigStore::getAlarmRecordPath() + QStringLiteral("/AlarmLog.csv"); }

bool AlarmLog::append(const LogEntry& entry, QString* pError) const
{
    const QFileInfo info(m_qStrPath);
    if (!ConfigStore::ensureDir(info.absolutePath())) {
        if (pError)
            *pError = QStringLiteral("cannot create the folder %1").arg(info.absolutePath());
        return false;
    }
    QFile file(m_qStrPath);
    const bool bNew = !file.exists() || file.size() == 0;
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        if (pError)
            *pError = QStringLiteral("cannot write %1: %2").arg(m_qStrPath, file.errorString());
        return false;
    }
    QString text;
    if (bNew)
        text = QLatin1String(kHeader) + QLatin1Char('\n');
    text += csvLine({entry.time.toString(Qt::ISODateWithMs), entry.bStart ? QStringLiteral("start") : QStringLiteral("end"),
                     entry.qStrRule, QString::number(double(entry.fValueC), 'f', 2), entry.files.join(kFileSeparator)});
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.flush()) {
        if (pError)
            *pError = QStringLiteral("cannot write %1: %2").arg(m_qStrPath, file.errorString());
        return false;
    }
    return true;
}

QList<LogEntry> AlarmLog::read(QString* pError) const
{
    QList<LogEntry> entries;
    QFile file(m_qStrPath);
    if (!file.exists())
        return entries;
    if (!file.open(QIODevice::ReadOnly)) {
        if (pError)
            *pError = QStringLiteral("cannot read %1: %2").arg(m_qStrPath, file.errorString());
        return entries;
    }
    const QList<QStringList> rows = parseCsv(QString::fromUtf8(file.readAll()));
    for (const QStringList& row : rows) {
        if (row.size() < 5 || (row[1] != QLatin1String("start") && row[1] != QLatin1String("end")))
            continue;   // the header, or a damaged row
        LogEntry e;
        e.time = QDateTime::fromString(row[0], Qt::ISODateWithMs);
        bool bOk = false;
        e.fValueC = row[3].toFloat(&bOk);
        if (!e.time.isValid() || !bOk)
            continue;
        e.bStart = row[1] == QLatin1String("start");
        e.qStrRule = row[2];
        e.files = row[4].split(kFileSeparator, Qt::SkipEmptyParts);
        entries << e;
    }
    return entries;
}

} // namespace Alarm
