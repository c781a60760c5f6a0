#pragma once
// The alarm log: every alarm start and end with its time, rule, value and the files it
// produced, kept as a CSV file beside the alarm recordings. Also the CSV helpers the trend
// export uses.

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

namespace Alarm {

// RFC 4180: a field with a comma, quote or line break is quoted, quotes doubled.
QString csvField(const QString& qStrText);
QString csvLine(const QStringList& fields);
// Rows of a CSV text (quoted fields may hold commas, quotes and line breaks).
QList<QStringList> parseCsv(const QString& qStrText);

struct LogEntry
{
    QDateTime time;
    bool bStart = true;
    QString qStrRule;             // the rule as the user reads it
    float fValueC = 0.0f;
    QStringList files;
};

class AlarmLog
{
public:
    // The log beside the alarm recordings (the configured alarm record folder).
    static QString defaultPath();
    explicit AlarmLog(const QString& qStrPath = defaultPath()) : m_qStrPath(qStrPath) {}
    QString path() const { return m_qStrPath; }

    // Appends one entry (the folder and the header are made when missing). False with a
    // reason when the file cannot be written.
    bool append(const LogEntry& entry, QString* pError = nullptr) const;
    // Every entry in the file; rows that do not parse are skipped. Empty when there is no log.
    QList<LogEntry> read(QString* pError = nullptr) const;

private:
    QString m_qStrPath;
};

} // namespace Alarm
