#pragma once
// The inspection report: a PDF written with QPdfWriter. A cover (title, time, camera part
// number and serial, software version, contents), one page per snapshot (the picture with its
// measurement items, their maximum/minimum/average, emissivity and reflected temperature),
// and a page with the session's alarm events, the trend chart and a notes field.

#include "alarms/AlarmEngine.h"
#include "alarms/AlarmLog.h"

#include <QDateTime>
#include <QImage>
#include <QList>
#include <QString>
#include <deque>
#include <vector>

namespace Alarm {

struct ReportItem
{
    QString qStrName;
    QString qStrKind;   // "point", "line" or "rect"
    QRect rect;         // camera pixels; a point is 1 x 1, a line runs from top-left to bottom-right
    bool bReversed = false;   // a line from top-right to bottom-left
    float fMax = 0.0f, fMin = 0.0f, fAvg = 0.0f;   // Celsius
};

struct ReportSnapshot
{
    QString qStrFile;
    QImage image;
    QSize cameraSize;   // the camera grid the items refer to (empty: the picture's own size)
    QDateTime time;
    double fEmissivity = 1.0;
    double fReflected = 20.0;
    float fSceneMin = 0.0f, fSceneMax = 0.0f;
    QList<ReportItem> items;
};

struct ReportData
{
    QString qStrTitle;
    QDateTime time;
    QString qStrPart;
    QString qStrSerial;
    QString qStrSoftware;
    int nUnit = 0;          // 0 Celsius, 1 Fahrenheit, 2 Kelvin
    QString qStrUnit;       // its suffix
    QList<ReportSnapshot> snapshots;
    QList<LogEntry> events;
    std::deque<Sample> trend;
    std::vector<Rule> rules;
    QString qStrNotes;
};

// Section and field names of the report, in the shown language (English when the table lacks one).
struct ReportTexts
{
    QString qStrCover, qStrTime, qStrPart, qStrSerial, qStrSoftware, qStrContents;
    QString qStrMax, qStrMin, qStrAvg, qStrEmissivity, qStrReflected, qStrEvents, qStrTrend, qStrNotes;
    static ReportTexts current();
};

bool writeReport(const ReportData& data, const QString& qStrPdf, QString* pError);

} // namespace Alarm
