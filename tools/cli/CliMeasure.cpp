#include "CliMeasure.h"

#include "measure/MeasureSettings.h"
#include "measure/RegionStats.h"
#include "video/QVideoPlay.h"

#include <QCommandLineParser>
#include <QJsonArray>
#include <QJsonDocument>
#include <cmath>

namespace {

bool parseInts(const QString& qStrText, int nWanted, int* pOut)
{
    const QStringList parts = qStrText.split(QLatin1Char(','));
    if (parts.size() != nWanted)
        return false;
    for (int i = 0; i < nWanted; ++i) {
        bool bOk = false;
        pOut[i] = parts[i].trimmed().toInt(&bOk);
        if (!bOk || pOut[i] < 0 || pOut[i] > 65535)
            return false;
    }
    return true;
}

double rounded(double f)
{
    return std::round(f * 100.0) / 100.0;
}

} // namespace

bool parsePointArg(const QString& qStrText, QPoint* pPoint)
{
    int n[2];
    if (!parseInts(qStrText, 2, n))
        return false;
    *pPoint = QPoint(n[0], n[1]);
    return true;
}

bool parseRectArg(const QString& qStrText, QRect* pRect)
{
    int n[4];
    if (!parseInts(qStrText, 4, n) || n[2] < 1 || n[3] < 1)
        return false;
    *pRect = QRect(n[0], n[1], n[2], n[3]);
    return true;
}

void addMeasureOptions(QCommandLineParser& parser, bool bWithRegions)
{
    if (bWithRegions) {
        parser.addOption({QStringLiteral("at"),
                          QStringLiteral("Also read the temperature at camera pixel X,Y (repeatable)."),
                          QStringLiteral("X,Y")});
        parser.addOption({QStringLiteral("rect"),
                          QStringLiteral("Also read maximum, minimum and average over a rectangle of camera pixels "
                                         "(repeatable)."),
                          QStringLiteral("X,Y,W,H")});
    }
    parser.addOption({QStringLiteral("emissivity"),
                      QStringLiteral("Surface emissivity 0.10 .. 1.00 (default: Config.ini, else 1.00)."),
                      QStringLiteral("E")});
    parser.addOption({QStringLiteral("reflected"),
                      QStringLiteral("Reflected temperature in Celsius (default: Config.ini, else 20)."),
                      QStringLiteral("T")});
}

bool readMeasureOptions(const QCommandLineParser& parser, bool bWithRegions, CliMeasureOptions* pOptions,
                        QString* pError)
{
    if (bWithRegions) {
        for (const QString& v : parser.values(QStringLiteral("at"))) {
            QPoint pt;
            if (!parsePointArg(v, &pt)) {
                *pError = QStringLiteral("--at takes X,Y in camera pixels, not \"%1\"").arg(v);
                return false;
            }
            pOptions->points.append(pt);
        }
        for (const QString& v : parser.values(QStringLiteral("rect"))) {
            QRect r;
            if (!parseRectArg(v, &r)) {
                *pError = QStringLiteral("--rect takes X,Y,W,H in camera pixels, not \"%1\"").arg(v);
                return false;
            }
            pOptions->rects.append(r);
        }
    }
    pOptions->emissivity = Measure::loadEmissivity();
    if (parser.isSet(QStringLiteral("emissivity"))) {
        bool bOk = false;
        const double e = parser.value(QStringLiteral("emissivity")).toDouble(&bOk);
        if (!bOk || !(e >= Measure::Emissivity::kMin - 1e-9) || !(e <= Measure::Emissivity::kMax + 1e-9)) {
            *pError = QStringLiteral("--emissivity takes a number from 0.10 to 1.00");
            return false;
        }
        pOptions->emissivity.fEmissivity = e;
        pOptions->bEmissivityGiven = true;
    }
    if (parser.isSet(QStringLiteral("reflected"))) {
        bool bOk = false;
        const double t = parser.value(QStringLiteral("reflected")).toDouble(&bOk);
        if (!bOk || !(t >= Measure::kMinReflected) || !(t <= Measure::kMaxReflected)) {
            *pError = QStringLiteral("--reflected takes degrees Celsius from %1 to %2")
                          .arg(Measure::kMinReflected)
                          .arg(Measure::kMaxReflected);
            return false;
        }
        pOptions->emissivity.fReflected = t;
    }
    return true;
}

CliFrameTap::CliFrameTap(QVideoPlay* pEngine)
{
    // Runs on the engine's thread for every processed frame, before the next one can reuse
    // the buffer.
    m_connection = QObject::connect(
        pEngine, &QVideoPlay::sendCalcuYDataSignal, pEngine,
        [this, pEngine](unsigned char* pBuffer, int nScale) {
            m_sampler.takeFromLink(pBuffer, pEngine->frameWidth(), pEngine->frameHeight(), nScale);
        },
        Qt::DirectConnection);
}

CliFrameTap::~CliFrameTap()
{
    QObject::disconnect(m_connection);
}

QString addMeasureReadings(const Measure::SampledFrame& frame, const CliMeasureOptions& options,
                           const std::function<double(double)>& fnUnit, QJsonObject* pObj)
{
    using namespace Measure;
    const LumaPlane plane = frame.plane();
    const Emissivity& e = options.emissivity;
    QString text;
    QJsonArray points, rects;
    for (const QPoint& pt : options.points) {
        const float t = frame.isValid() ? temperatureAt(plane, pt, frame.model, e) : NAN;
        QJsonObject o{{"x", pt.x()}, {"y", pt.y()}};
        o.insert(QStringLiteral("t"), std::isfinite(t) ? QJsonValue(rounded(fnUnit(t))) : QJsonValue());
        points.append(o);
        text += QStringLiteral("  at %1,%2 %3").arg(pt.x()).arg(pt.y()).arg(
            std::isfinite(t) ? QString::number(rounded(fnUnit(t)), 'f', 2) : QStringLiteral("-"));
    }
    for (const QRect& r : options.rects) {
        MeasureItem item;
        item.kind = ItemKind::Rect;
        item.pt1 = r.topLeft();
        item.pt2 = r.bottomRight();
        const RegionStats s = frame.isValid() ? measureItem(plane, item, frame.model, e) : RegionStats();
        QJsonObject o{{"x", r.x()}, {"y", r.y()}, {"w", r.width()}, {"h", r.height()}};
        if (s.bValid) {
            o.insert(QStringLiteral("max"), rounded(fnUnit(s.fMax)));
            o.insert(QStringLiteral("min"), rounded(fnUnit(s.fMin)));
            o.insert(QStringLiteral("avg"), rounded(fnUnit(s.fAvg)));
            o.insert(QStringLiteral("maxAt"), QJsonArray{s.ptMax.x(), s.ptMax.y()});
            o.insert(QStringLiteral("minAt"), QJsonArray{s.ptMin.x(), s.ptMin.y()});
            text += QStringLiteral("  rect %1,%2,%3,%4 max %5 min %6 avg %7")
                        .arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height())
                        .arg(rounded(fnUnit(s.fMax)), 0, 'f', 2)
                        .arg(rounded(fnUnit(s.fMin)), 0, 'f', 2)
                        .arg(rounded(fnUnit(s.fAvg)), 0, 'f', 2);
        } else {
            text += QStringLiteral("  rect %1,%2,%3,%4 -").arg(r.x()).arg(r.y()).arg(r.width()).arg(r.height());
        }
        rects.append(o);
    }
    if (pObj) {
        if (!options.points.isEmpty())
            pObj->insert(QStringLiteral("points"), points);
        if (!options.rects.isEmpty())
            pObj->insert(QStringLiteral("rects"), rects);
        pObj->insert(QStringLiteral("emissivity"), rounded(Emissivity::clampEmissivity(e.fEmissivity)));
        pObj->insert(QStringLiteral("reflected"), rounded(fnUnit(e.fReflected)));
    }
    if (!e.isIdentity())
        text += QStringLiteral("  emissivity %1 reflected %2")
                    .arg(Emissivity::clampEmissivity(e.fEmissivity), 0, 'f', 2)
                    .arg(rounded(fnUnit(e.fReflected)), 0, 'f', 1);
    return text;
}

ThermHotPointParam correctedRecord(const ThermHotPointParam& st, const Measure::Emissivity& emissivity)
{
    ThermHotPointParam out = st;
    out.fMinTemper = emissivity.correct(st.fMinTemper);
    out.fMaxTemper = emissivity.correct(st.fMaxTemper);
    return out;
}

QString extendRecordLine(const QString& qStrLine, bool bJson, const ThermHotPointParam& measured,
                         const Measure::SampledFrame& frame, const CliMeasureOptions& options,
                         const std::function<double(double)>& fnUnit)
{
    if (!bJson)
        return qStrLine.trimmed() + addMeasureReadings(frame, options, fnUnit, nullptr) + QLatin1Char('\n');
    QJsonObject obj = QJsonDocument::fromJson(qStrLine.toUtf8()).object();
    addMeasureReadings(frame, options, fnUnit, &obj);
    if (!options.emissivity.isIdentity()) {
        obj.insert(QStringLiteral("measuredMin"), rounded(fnUnit(measured.fMinTemper)));
        obj.insert(QStringLiteral("measuredMax"), rounded(fnUnit(measured.fMaxTemper)));
    }
    return QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
}
