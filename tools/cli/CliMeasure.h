#pragma once
// Measurement options shared by the thermava-cli commands that read temperatures:
// --at X,Y and --rect X,Y,W,H (repeatable, camera pixels), --emissivity E and --reflected T
// (default: the values configured in Config.ini, which default to 1.00 and 20).

#include "measure/FrameSampler.h"
#include "measure/MeasureItem.h"
#include "measure/TemperatureModel.h"
#include "video/ThermHotPointParam.h"

#include <QJsonObject>
#include <QList>
#include <QPoint>
#include <QRect>
#include <functional>

class QCommandLineParser;
class QVideoPlay;

struct CliMeasureOptions
{
    QList<QPoint> points;
    QList<QRect> rects;
    Measure::Emissivity emissivity;
    bool bEmissivityGiven = false;
};

void addMeasureOptions(QCommandLineParser& parser, bool bWithRegions);
bool readMeasureOptions(const QCommandLineParser& parser, bool bWithRegions, CliMeasureOptions* pOptions,
                        QString* pError);
// "X,Y" and "X,Y,W,H" with non-negative integers (W, H at least 1).
bool parsePointArg(const QString& qStrText, QPoint* pPoint);
bool parseRectArg(const QString& qStrText, QRect* pRect);

// Samples every processed frame of the engine (with the trailer of that moment).
class CliFrameTap
{
public:
    explicit CliFrameTap(QVideoPlay* pEngine);
    ~CliFrameTap();
    Measure::SampledFrame latest() const { return m_sampler.latest(); }

private:
    Measure::FrameSampler m_sampler;
    QMetaObject::Connection m_connection;
};

// Adds the requested readings of a frame to a temps record. fnUnit converts Celsius into the
// record's unit. bJson selects the JSON form (fields added to obj) or the text form (returned).
QString addMeasureReadings(const Measure::SampledFrame& frame, const CliMeasureOptions& options,
                           const std::function<double(double)>& fnUnit, QJsonObject* pObj);

// The record's scene temperatures after the emissivity correction.
ThermHotPointParam correctedRecord(const ThermHotPointParam& st, const Measure::Emissivity& emissivity);
// A finished temps record line (JSON or text, ending in a newline) with the readings added;
// a JSON record also keeps the measured scene temperatures when the correction changed them.
QString extendRecordLine(const QString& qStrLine, bool bJson, const ThermHotPointParam& measured,
                         const Measure::SampledFrame& frame, const CliMeasureOptions& options,
                         const std::function<double(double)>& fnUnit);
