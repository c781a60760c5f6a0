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
    QPoint pt1;         // camera pixels: the point; line start; rectangle corner
    QPoint pt2;         // line end; opposite rectangle corner
    float fMax = 0.0f, fMin = 0.0f, fAvg = 0.0f;   // Celsius
};

struct ReportSnapshot
{
    QString qStrFile;
    QImage image;
    QString qStrPart;
    QString qStrSerial;
    QSize cameraSize;   // the camera grid the items refer to, unrotated (empty: the picture's own size)
    int nRotation = 0;  // quarter turns clockwise from the camera grid to the picture
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

// Reads a snapshot JPEG and the measurement metadata it carries. False with a reason when the
// picture cannot be read; a picture without metadata is kept with what it shows.
bool loadReportSnapshot(const QString& qStrFile, ReportSnapshot* pSnapshot, QString* pError);

bool writeReport(const ReportData& data, const QString& qStrPdf, QString* pError);

} // namespace Alarm
