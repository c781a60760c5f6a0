// thermava-cli report: the inspection report as PDF from snapshots and the measurement
// metadata they carry, without a window.

#include "CliCommand.h"
#include "alarms/AlarmLog.h"
#include "alarms/InspectionReport.h"
#include "app/Version.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>

namespace {

int runReport(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Write an inspection report (PDF) from snapshots: a cover, each picture with its measurement "
        "items and their temperatures, emissivity and reflected temperature, alarms and notes."));
    parser.addPositionalArgument(QStringLiteral("snapshots"), QStringLiteral("Snapshot JPEG files."),
                                 QStringLiteral("SNAPSHOT.jpg..."));
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The PDF file to write."),
                      QStringLiteral("FILE.pdf")});
    parser.addOption({QStringLiteral("title"), QStringLiteral("Report title (default \"Test report\")."),
                      QStringLiteral("T")});
    parser.addOption({QStringLiteral("notes"), QStringLiteral("Text for the notes field."), QStringLiteral("TEXT")});
    parser.addOption({QStringLiteral("log"), QStringLiteral("Alarm log (CSV) whose events the report lists."),
                      QStringLiteral("FILE.csv")});
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    const QStringList files = parser.positionalArguments();
    if (files.isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("give at least one snapshot"));
    if (!parser.isSet(QStringLiteral("output")))
        return cliFail(CliExit::kUsage, QStringLiteral("-o FILE.pdf is required"));

    Alarm::ReportData data;
    data.qStrTitle = parser.isSet(QStringLiteral("title")) ? parser.value(QStringLiteral("title")) : QStringLiteral("Test report");
    data.time = QDateTime::currentDateTime();
    data.qStrSoftware = QString::fromLatin1(thermavaVersion());
    data.qStrUnit = QStringLiteral("\u2103");
    data.qStrNotes = parser.value(QStringLiteral("notes"));
    for (const QString& qStrFile : files) {
        Alarm::ReportSnapshot snap;
        QString error;
        if (!Alarm::loadReportSnapshot(qStrFile, &snap, &error))
            return cliFail(CliExit::kFailed, error);
        if (data.qStrPart.isEmpty()) {
            data.qStrPart = snap.qStrPart;
            data.qStrSerial = snap.qStrSerial;
        }
        data.snapshots << snap;
    }
    if (parser.isSet(QStringLiteral("log"))) {
        QString error;
        data.events = Alarm::AlarmLog(parser.value(QStringLiteral("log"))).read(&error);
        if (!error.isEmpty())
            return cliFail(CliExit::kFailed, error);
    }
    const QString qStrPdf = QDir::cleanPath(parser.value(QStringLiteral("output")));
    QString error;
    if (!Alarm::writeReport(data, qStrPdf, &error))
        return cliFail(CliExit::kFailed, error);
    cliPrint(QDir::toNativeSeparators(qStrPdf) + QLatin1Char('\n'));
    return CliExit::kOk;
}

const CliRegistrar kReport(QStringLiteral("report"),
                           QStringLiteral("Write an inspection report PDF from snapshots (-o FILE.pdf, --title T)"),
                           runReport, true);

} // namespace
