// thermava-cli watch: unattended monitoring. The camera's temperatures are evaluated five
// times a second against --above/--below rules (the whole scene or a --rect); every alarm
// start and end is printed with the files its actions produced and appended to the alarm log.

#include "CliCommand.h"
#include "CliPictureEngine.h"
#include "CliSession.h"
#include "alarms/AlarmEngine.h"
#include "alarms/AlarmLog.h"
#include "alarms/AlarmRuleStore.h"
#include "app/ConfigStore.h"
#include "measure/RegionStats.h"
#include "platform/audio/AudioOut.h"
#include "video/QTempRule.h"
#include "video/QVideoPlay.h"

#include <QCommandLineParser>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMutex>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <csignal>

namespace {

constexpr int kSettleFrames = 3;
constexpr int kFrameTimeoutMs = 10000;
constexpr int kActionTimeoutMs = 10000;
constexpr int kReconnectPauseMs = 2000;
constexpr int kRectItemId = 1;

std::atomic<int> g_nStopSignal{0};
extern "C" void onWatchStopSignal(int nSignal) { g_nStopSignal = nSignal; }

struct WatchOptions
{
    std::vector<Alarm::Rule> rules;
    QRect rect;                 // empty: the whole scene
    bool bJson = false;
    double fSeconds = 0.0;      // 0: until SIGINT/SIGTERM
    bool bReconnect = false;
    int nRecordSec = 0;
    QString qStrSnapshotDir;
    QString qStrRecordDir;      // empty: the configured alarm record folder
    QString qStrLogPath;
};

// The newest processed frame's luminance, copied on the engine thread.
struct FrameCopy
{
    QMutex mutex;
    std::vector<uint8_t> luma;
    int nWidth = 0;
    int nHeight = 0;
};

bool parseRect(const QString& qStrText, QRect* pRect)
{
    const QStringList parts = qStrText.split(QLatin1Char(','));
    if (parts.size() != 4)
        return false;
    int v[4];
    for (int i = 0; i < 4; ++i) {
        bool bOk = false;
        v[i] = parts[i].trimmed().toInt(&bOk);
        if (!bOk || v[i] < 0 || v[i] > 100000)
            return false;
    }
    *pRect = QRect(v[0], v[1], v[2], v[3]);
    return v[2] > 0 && v[3] > 0;
}

bool readTemperature(const QCommandLineParser& parser, const QString& name, float* pfValue, QString* pError)
{
    bool bOk = false;
    const double f = parser.value(name).toDouble(&bOk);
    if (!bOk || !std::isfinite(f) || f < -273.15 || f > 2000.0) {
        *pError = QStringLiteral("--%1 takes a temperature in degrees Celsius").arg(name);
        return false;
    }
    *pfValue = float(f);
    return true;
}

class Watch
{
public:
    explicit Watch(const WatchOptions& options) : m_Options(options), m_Log(options.qStrLogPath)
    {
        m_Engine.setRules(options.rules, QDateTime::currentMSecsSinceEpoch());
    }

    // Watches one connected session until the time is up, a stop signal or the camera's loss.
    // True when the camera was lost.
    bool run(const QElapsedTimer& total)
    {
        CliPictureEngine picture(CliPictureOptions{});
        QVideoPlay* pEngine = picture.engine();
        pEngine->setAlarmRecordDir(m_Options.qStrRecordDir);
        QThread ruleThread;
        auto* pRule = new QTempRule;
        pRule->moveToThread(&ruleThread);
        QObject::connect(&ruleThread, &QThread::finished, pRule, &QObject::deleteLater);
        QObject::connect(pEngine, SIGNAL(sendCalcuYDataSignal(unsigned char*, int)), pRule,
                         SLOT(getYuvData(unsigned char*, int)));
        // The luminance is copied where the frame is made; the buffer lives only a few frames.
        FrameCopy frame;
        QObject::connect(
            pEngine, &QVideoPlay::sendCalcuYDataSignal, pEngine,
            [&frame, pEngine](unsigned char* pBuffer, int nScale) {
                const int w = pEngine->frameWidth() * nScale, h = pEngine->frameHeight() * nScale;
                if (!pBuffer || w < 1 || h < 1)
                    return;
                QMutexLocker lock(&frame.mutex);
                frame.luma.resize(size_t(w) * size_t(h));
                for (size_t i = 0; i < frame.luma.size(); ++i)
                    frame.luma[i] = pBuffer[2 * i + 1];
                frame.nWidth = w;
                frame.nHeight = h;
            },
            Qt::DirectConnection);
        ruleThread.start();
        const auto stopThread = [&] {
            ruleThread.quit();
            ruleThread.wait();
        };
        if (!picture.waitForFrames(kSettleFrames, kFrameTimeoutMs)) {
            stopThread();
            return true;
        }

        QEventLoop loop;
        bool bLost = false;
        m_pEngine = pEngine;
        m_pLoop = &loop;
        QTimer recordStop;
        recordStop.setSingleShot(true);
        m_pRecordStop = &recordStop;
        QObject::connect(&recordStop, &QTimer::timeout, &loop, [pEngine] {
            QMetaObject::invokeMethod(pEngine, "setStopRecordSlots", Qt::QueuedConnection);
        });
        QObject::connect(pEngine, &QVideoPlay::sendRecordFileSignal, &loop,
                         [this](const QString& qStrFile) { m_RecordFiles << qStrFile; });
        QObject::connect(pRule, &QTempRule::SendHotPointSignal, &loop, [&](const ThermHotPointParam& st) {
            if (m_bInAction)
                return;   // an action waits for its file; this sample is skipped
            if (!pEngine->isStreamAlive()) {
                bLost = true;
                loop.quit();
                return;
            }
            Alarm::Sample sample;
            sample.nTimeMs = QDateTime::currentMSecsSinceEpoch();
            sample.scene.fMax = st.fMaxTemper;
            sample.scene.fMin = st.fMinTemper;
            sample.scene.fAvg = st.fMaxTemper;
            {
                QMutexLocker lock(&frame.mutex);
                const Measure::LumaPlane plane{frame.luma.data(), frame.nWidth, frame.nHeight, 1};
                const Measure::LumaModel model =
                    Measure::modelOf(frame.luma.data(), frame.luma.size(), st.fMinTemper, st.fMaxTemper);
                const Measure::Emissivity asMeasured;
                const Measure::RegionStats whole = Measure::measureAll(plane, model, asMeasured);
                if (whole.bValid)
                    sample.scene.fAvg = whole.fAvg;
                if (!m_Options.rect.isEmpty()) {
                    Measure::MeasureItem item;
                    item.kind = Measure::ItemKind::Rect;
                    item.pt1 = m_Options.rect.topLeft();
                    item.pt2 = m_Options.rect.bottomRight();
                    const Measure::RegionStats rect = Measure::measureItem(plane, item, model, asMeasured);
                    if (rect.bValid)
                        sample.items.insert(kRectItemId, {rect.fMax, rect.fMin, rect.fAvg});
                }
            }
            for (const Alarm::Event& ev : m_Engine.feed(sample))
                handle(ev);
        });
        QTimer poll;
        QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
            if (g_nStopSignal.load() || (m_Options.fSeconds > 0.0 && total.elapsed() >= qint64(m_Options.fSeconds * 1000.0)))
                loop.quit();
        });
        poll.start(50);
        QMetaObject::invokeMethod(pRule, "GetTimerStatusSlot", Qt::QueuedConnection, Q_ARG(bool, true));
        loop.exec();
        QMetaObject::invokeMethod(pRule, "GetTimerStatusSlot", Qt::BlockingQueuedConnection, Q_ARG(bool, false));

        for (const Alarm::Event& ev : m_Engine.endAll(QDateTime::currentMSecsSinceEpoch()))
            handle(ev);
        recordStop.stop();
        QMetaObject::invokeMethod(pEngine, "setStopRecordSlots", Qt::BlockingQueuedConnection);
        m_pEngine = nullptr;
        m_pLoop = nullptr;
        m_pRecordStop = nullptr;
        stopThread();
        return bLost;
    }

private:
    // Runs a nested loop until bDone or the time-out; samples arriving meanwhile are skipped.
    template <typename Done> void waitFor(Done bDone)
    {
        QElapsedTimer waited;
        waited.start();
        while (!bDone() && waited.elapsed() < kActionTimeoutMs)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    }

    QString takeSnapshot()
    {
        int nCode = -1;
        QString qStrFile;
        QEventLoop loop;
        QObject::connect(m_pEngine, &QVideoPlay::sendSnapshotFileSignal, &loop,
                         [&](const QString& qStrPath) { qStrFile = qStrPath; });
        QObject::connect(m_pEngine, &QVideoPlay::sendSnapshotResultSignals, &loop, [&](int n) { nCode = n; });
        QMetaObject::invokeMethod(m_pEngine, "setDealSnapshotSlots", Qt::QueuedConnection,
                                  Q_ARG(QString, m_Options.qStrSnapshotDir));
        waitFor([&] { return nCode >= 0; });
        if (nCode != 0)
            cliFail(CliExit::kOk, QStringLiteral("alarm snapshot failed (code %1)").arg(nCode));
        return nCode == 0 ? qStrFile : QString();
    }

    QStringList startRecording()
    {
        if (m_pRecordStop->isActive()) {
            // Already recording for an earlier alarm: this one extends it.
            m_pRecordStop->start(m_Options.nRecordSec * 1000);
            return m_RecordFiles.mid(m_RecordFiles.size() - 1);
        }
        const int nBefore = m_RecordFiles.size();
        QMetaObject::invokeMethod(m_pEngine, "setStartAlarmRecordSlots", Qt::QueuedConnection);
        waitFor([&] { return m_RecordFiles.size() > nBefore; });
        if (m_RecordFiles.size() == nBefore) {
            cliFail(CliExit::kOk, QStringLiteral("alarm recording did not start"));
            return {};
        }
        m_pRecordStop->start(m_Options.nRecordSec * 1000);
        return m_RecordFiles.mid(nBefore);
    }

    void handle(const Alarm::Event& ev)
    {
        const Alarm::Rule& rule = m_Engine.rules()[size_t(ev.nRule)];
        QStringList files;
        if (ev.bStart && m_pEngine) {
            m_bInAction = true;
            if (rule.bSnapshot) {
                const QString qStrFile = takeSnapshot();
                if (!qStrFile.isEmpty())
                    files << qStrFile;
            }
            if (rule.bRecord)
                files << startRecording();
            m_bInAction = false;
            if (rule.bSound) {
                QString error;
                if (!AudioOut::playSamples(Alarm::alarmTone(AudioOut::kSampleRate), &error))
                    cliFail(CliExit::kOk, error);
            }
        }
        const QDateTime time = QDateTime::fromMSecsSinceEpoch(ev.nTimeMs);
        const QString qStrRule = Alarm::ruleText(rule, true);
        const double fValue = std::round(double(ev.fValueC) * 100.0) / 100.0;
        if (m_Options.bJson) {
            QJsonObject obj;
            obj.insert(QStringLiteral("event"), ev.bStart ? QStringLiteral("start") : QStringLiteral("end"));
            obj.insert(QStringLiteral("time"), time.toString(Qt::ISODateWithMs));
            obj.insert(QStringLiteral("rule"), qStrRule);
            obj.insert(QStringLiteral("value"), fValue);
            obj.insert(QStringLiteral("unit"), QStringLiteral("C"));
            obj.insert(QStringLiteral("files"), QJsonArray::fromStringList(files));
            cliPrint(QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
        } else {
            cliPrint(QStringLiteral("%1  %2  %3  value %4 C%5\n")
                         .arg(time.toString(Qt::ISODateWithMs), ev.bStart ? QStringLiteral("start") : QStringLiteral("end  "),
                              qStrRule)
                         .arg(fValue, 0, 'f', 2)
                         .arg(files.isEmpty() ? QString() : QStringLiteral("  files ") + files.join(QStringLiteral(", "))));
        }
        Alarm::LogEntry entry;
        entry.time = time;
        entry.bStart = ev.bStart;
        entry.qStrRule = qStrRule;
        entry.fValueC = ev.fValueC;
        entry.files = files;
        QString error;
        if (!m_Log.append(entry, &error) && !m_bLogWarned) {
            m_bLogWarned = true;   // once: the alarms themselves still print
            cliFail(CliExit::kOk, QStringLiteral("alarm log not written: ") + error);
        }
    }

    WatchOptions m_Options;
    Alarm::Engine m_Engine;
    Alarm::AlarmLog m_Log;
    bool m_bLogWarned = false;
    bool m_bInAction = false;
    QVideoPlay* m_pEngine = nullptr;
    QEventLoop* m_pLoop = nullptr;
    QTimer* m_pRecordStop = nullptr;
    QStringList m_RecordFiles;
};

int runWatch(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Watch the camera's temperatures and report every alarm start and end (one line, or one JSON "
        "object with --json, each with the files its actions produced). Runs until --seconds pass or "
        "SIGINT/SIGTERM arrives; alarms go to the alarm log as well."));
    parser.addOption({QStringLiteral("above"), QStringLiteral("Alarm when the maximum rises above T degrees Celsius."),
                      QStringLiteral("T")});
    parser.addOption({QStringLiteral("below"), QStringLiteral("Alarm when the minimum falls below T degrees Celsius."),
                      QStringLiteral("T")});
    parser.addOption({QStringLiteral("rect"),
                      QStringLiteral("Watch this rectangle of camera pixels instead of the whole scene."),
                      QStringLiteral("X,Y,W,H")});
    parser.addOption({QStringLiteral("hold"), QStringLiteral("Seconds the condition must last before the alarm starts."),
                      QStringLiteral("S"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("snapshot"), QStringLiteral("Take a snapshot when an alarm starts.")});
    parser.addOption({QStringLiteral("record"), QStringLiteral("Record S seconds when an alarm starts."),
                      QStringLiteral("S")});
    parser.addOption({QStringLiteral("sound"), QStringLiteral("Play the alarm tone when an alarm starts.")});
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print one JSON object per alarm start and end.")});
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("How long to watch (default: until SIGINT/SIGTERM)."),
                      QStringLiteral("N")});
    parser.addOption({QStringLiteral("reconnect"), QStringLiteral("Wait for the camera to come back when it is missing or lost.")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QStringLiteral("Folder for snapshots, recordings and the alarm log (default: the configured "
                                     "snapshot and alarm record folders)."),
                      QStringLiteral("DIR")});
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));

    WatchOptions options;
    QString error;
    Alarm::Rule base;
    bool bOk = false;
    base.fHoldSec = parser.value(QStringLiteral("hold")).toDouble(&bOk);
    if (!bOk || !(base.fHoldSec >= 0.0) || base.fHoldSec > 3600.0)
        return cliFail(CliExit::kUsage, QStringLiteral("--hold takes seconds from 0 to 3600"));
    if (parser.isSet(QStringLiteral("rect"))) {
        if (!parseRect(parser.value(QStringLiteral("rect")), &options.rect))
            return cliFail(CliExit::kUsage, QStringLiteral("--rect takes X,Y,W,H in camera pixels (W and H above 0)"));
        base.nSource = kRectItemId;
    }
    if (parser.isSet(QStringLiteral("record")) &&
        !readInt(parser, QStringLiteral("record"), 1, Alarm::kMaxDurationSec, &options.nRecordSec, &error))
        return cliFail(CliExit::kUsage, error);
    base.bSnapshot = parser.isSet(QStringLiteral("snapshot"));
    base.bRecord = options.nRecordSec > 0;
    base.bSound = parser.isSet(QStringLiteral("sound"));
    if (parser.isSet(QStringLiteral("above"))) {
        Alarm::Rule rule = base;
        rule.nType = Alarm::AboveMax;
        if (!readTemperature(parser, QStringLiteral("above"), &rule.fThresholdC, &error))
            return cliFail(CliExit::kUsage, error);
        options.rules.push_back(rule);
    }
    if (parser.isSet(QStringLiteral("below"))) {
        Alarm::Rule rule = base;
        rule.nType = Alarm::BelowMin;
        if (!readTemperature(parser, QStringLiteral("below"), &rule.fThresholdC, &error))
            return cliFail(CliExit::kUsage, error);
        options.rules.push_back(rule);
    }
    if (options.rules.empty())
        return cliFail(CliExit::kUsage, QStringLiteral("give --above T, --below T or both"));
    if (parser.isSet(QStringLiteral("seconds"))) {
        options.fSeconds = parser.value(QStringLiteral("seconds")).toDouble(&bOk);
        if (!bOk || !(options.fSeconds > 0.0) || options.fSeconds > 31536000.0)
            return cliFail(CliExit::kUsage, QStringLiteral("--seconds needs a number of seconds above 0"));
    }
    options.bJson = parser.isSet(QStringLiteral("json"));
    options.bReconnect = parser.isSet(QStringLiteral("reconnect"));
    CliConnectOptions connect;
    if (!readConnectOptions(parser, &connect, &error))
        return cliFail(CliExit::kUsage, error);
    if (parser.isSet(QStringLiteral("output"))) {
        const QString qStrDir = QDir::cleanPath(parser.value(QStringLiteral("output")));
        options.qStrSnapshotDir = qStrDir;
        options.qStrRecordDir = qStrDir;
        options.qStrLogPath = qStrDir + QStringLiteral("/AlarmLog.csv");
    } else {
        options.qStrSnapshotDir = ConfigStore::getManualSnapshotPath() + "/" + ConfigStore::getDateName();
        options.qStrLogPath = Alarm::AlarmLog::defaultPath();
    }

    g_nStopSignal = 0;
    std::signal(SIGINT, onWatchStopSignal);
    std::signal(SIGTERM, onWatchStopSignal);
    QElapsedTimer total;
    total.start();
    const auto timeLeft = [&] {
        return !g_nStopSignal.load() && (options.fSeconds <= 0.0 || total.elapsed() < qint64(options.fSeconds * 1000.0));
    };
    Watch watch(options);
    nExit = CliExit::kOk;
    bool bWaiting = false;   // lost and waited for: its return is reported too
    while (timeLeft()) {
        CliSession session(connect);
        const int nConnect = session.connect(&error);
        if (nConnect == CliExit::kOk && bWaiting) {
            bWaiting = false;
            cliFail(CliExit::kOk, QStringLiteral("the camera is back"));
        }
        if (nConnect != CliExit::kOk) {
            if (!options.bReconnect) {
                nExit = cliFail(nConnect, error);
                break;
            }
            QElapsedTimer pause;
            pause.start();
            while (timeLeft() && pause.elapsed() < kReconnectPauseMs)
                QThread::msleep(50);
            continue;
        }
        const bool bLost = watch.run(total);
        session.disconnect();
        if (bLost && timeLeft()) {
            cliFail(CliExit::kOk, QStringLiteral("the camera was lost") +
                                      (options.bReconnect ? QStringLiteral("; waiting for it") : QString()));
            if (!options.bReconnect) {
                nExit = CliExit::kFailed;
                break;
            }
            bWaiting = true;
        }
    }
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
    return nExit;
}

const CliRegistrar kWatch(QStringLiteral("watch"),
                          QStringLiteral("Watch temperatures and report alarms (--above T, --below T, --rect, --hold, "
                                         "--snapshot, --record S, --sound, --json, --seconds N, --reconnect)"),
                          runWatch);

} // namespace
