// thermava-cli temps: the hot point and the scene's temperatures, five times a second, measured
// the way the live view does it (frames through the video engine without a window, the
// trailer read by the thermal data worker).

#include "CliCommand.h"
#include "CliMeasure.h"
#include "CliSession.h"
#include "app/ConfigStore.h"
#include "device/UsbCameraLink.h"
#include "video/QTempRule.h"
#include "video/QVideoPlay.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QThread>
#include <QTimer>
#include <cmath>

namespace {

constexpr int kRecordsPerSecond = 5;   // the thermal data worker's 200 ms period

struct UnitChoice
{
    bool bConfigured = false;
    QString text() const { return bConfigured ? ConfigStore::getTemperUnitText() : QStringLiteral("\u2103"); }
    QString code() const
    {
        if (!bConfigured)
            return QStringLiteral("C");
        switch (ConfigStore::getTemperUnit()) {
        case 1: return QStringLiteral("F");
        case 2: return QStringLiteral("K");
        default: return QStringLiteral("C");
        }
    }
    double value(float fCelsius) const { return bConfigured ? ConfigStore::convertTemper(fCelsius) : fCelsius; }
};

QString recordLine(const ThermHotPointParam& st, const UnitChoice& unit, bool bJson, quint64 nDropped)
{
    const QString time = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    const double fMin = std::round(unit.value(st.fMinTemper) * 100.0) / 100.0;
    const double fMax = std::round(unit.value(st.fMaxTemper) * 100.0) / 100.0;
    if (bJson) {
        QJsonObject obj;
        obj.insert(QStringLiteral("time"), time);
        obj.insert(QStringLiteral("x"), st.nPosX);
        obj.insert(QStringLiteral("y"), st.nPosY);
        obj.insert(QStringLiteral("min"), fMin);
        obj.insert(QStringLiteral("max"), fMax);
        obj.insert(QStringLiteral("unit"), unit.code());
        // Stream frames that did not fit the geometry set up at connect, so far.
        obj.insert(QStringLiteral("droppedFrames"), qint64(nDropped));
        return QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact)) + QLatin1Char('\n');
    }
    return QStringLiteral("%1  hot point %2,%3  min %4 %6  max %5 %6\n")
        .arg(time)
        .arg(st.nPosX)
        .arg(st.nPosY)
        .arg(fMin, 0, 'f', 2)
        .arg(fMax, 0, 'f', 2)
        .arg(unit.text());
}

int runTemps(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Print the hot point (column, row) and the scene's minimum and maximum temperature every 200 ms."));
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("How long to measure (default 3)."), QStringLiteral("N"),
                      QStringLiteral("3")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print one JSON object per record.")});
    parser.addOption({QStringLiteral("unit"), QStringLiteral("Use the unit configured in Config.ini instead of Celsius.")});
    addMeasureOptions(parser, true);
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    bool bOk = false;
    const double fSeconds = parser.value(QStringLiteral("seconds")).toDouble(&bOk);
    if (!bOk || !(fSeconds > 0.0) || fSeconds > 86400.0)
        return cliFail(CliExit::kUsage, QStringLiteral("--seconds needs a number of seconds from 0 to 86400"));
    CliConnectOptions options;
    QString error;
    if (!readConnectOptions(parser, &options, &error))
        return cliFail(CliExit::kUsage, error);
    CliMeasureOptions measure;
    if (!readMeasureOptions(parser, true, &measure, &error))
        return cliFail(CliExit::kUsage, error);
    UnitChoice unit;
    unit.bConfigured = parser.isSet(QStringLiteral("unit"));
    const bool bJson = parser.isSet(QStringLiteral("json"));
    const int nWanted = std::max(1, int(std::lround(fSeconds * kRecordsPerSecond)));

    CliSession session(options);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, error);

    // The two workers on their own threads, wired as the live view wires them.
    QThread videoThread, ruleThread;
    auto* pEngine = new QVideoPlay;
    auto* pRule = new QTempRule;
    pEngine->moveToThread(&videoThread);
    pRule->moveToThread(&ruleThread);
    QObject::connect(&videoThread, &QThread::finished, pEngine, &QObject::deleteLater);
    QObject::connect(&ruleThread, &QThread::finished, pRule, &QObject::deleteLater);
    QObject::connect(pEngine, SIGNAL(sendCalcuYDataSignal(unsigned char*, int)), pRule,
                     SLOT(getYuvData(unsigned char*, int)));
    QObject::connect(pRule, SIGNAL(SendHotPointSignal(ThermHotPointParam)), pEngine,
                     SLOT(JudgeRatioRangeSlot(ThermHotPointParam)));
    // Luminance and trailer of the same moment, for the --at and --rect readings.
    CliFrameTap tap(pEngine);
    videoThread.start();
    ruleThread.start();

    // No window: the engine hands frames on instead of drawing them.
    QMetaObject::invokeMethod(pEngine, "setVideoPlaySlots", Qt::BlockingQueuedConnection,
                              Q_ARG(void*, static_cast<void*>(pEngine)), Q_ARG(bool, false));

    QEventLoop loop;
    int nRecords = 0;
    QObject::connect(pRule, &QTempRule::SendHotPointSignal, &loop, [&](const ThermHotPointParam& st) {
        if (nRecords >= nWanted)
            return;
        const auto fnUnit = [&unit](double fCelsius) { return unit.value(float(fCelsius)); };
        const QString qStrLine = recordLine(correctedRecord(st, measure.emissivity), unit, bJson,
                                            UsbCameraLink::instance().droppedFrameCount());
        cliPrint(extendRecordLine(qStrLine, bJson, st, tap.latest(), measure, fnUnit));
        if (++nRecords >= nWanted)
            loop.quit();
    });

    // Measure once frames flow, so the first record already knows the frame size.
    QElapsedTimer waited;
    waited.start();
    while (!pEngine->isStreamAlive() && waited.elapsed() < 5000)
        QThread::msleep(20);
    const bool bFrames = pEngine->isStreamAlive();
    if (bFrames) {
        QMetaObject::invokeMethod(pRule, "GetTimerStatusSlot", Qt::QueuedConnection, Q_ARG(bool, true));
        // A generous deadline in case records stop (the camera went away).
        QTimer::singleShot(int(fSeconds * 1000.0) + 2000, &loop, &QEventLoop::quit);
        loop.exec();
        QMetaObject::invokeMethod(pRule, "GetTimerStatusSlot", Qt::BlockingQueuedConnection, Q_ARG(bool, false));
    }

    session.disconnect();
    ruleThread.quit();
    videoThread.quit();
    ruleThread.wait();
    videoThread.wait();

    if (!bFrames) {
        const quint64 nDropped = UsbCameraLink::instance().droppedFrameCount();
        if (nDropped > 0)
            return cliFail(CliExit::kFailed, QStringLiteral("the camera sent no frames of the size it was set up for "
                                                            "(%1 dropped)").arg(nDropped));
        return cliFail(CliExit::kFailed, QStringLiteral("the camera sent no frames"));
    }
    if (nRecords < nWanted)
        return cliFail(CliExit::kFailed, QStringLiteral("only %1 of %2 records arrived").arg(nRecords).arg(nWanted));
    return CliExit::kOk;
}

const CliRegistrar kTemps(QStringLiteral("temps"),
                          QStringLiteral("Print the hot point and the scene's minimum and maximum temperature "
                                         "every 200 ms (--seconds N, --json, --unit)"),
                          runTemps);

} // namespace
