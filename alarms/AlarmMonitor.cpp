#include "alarms/AlarmMonitor.h"

#include "alarms/AlarmRuleStore.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "platform/audio/AudioOut.h"
#include "platform/desktop/DesktopNotify.h"
#include "video/QVideoPlay.h"

#include <QDateTime>
#include <QMutexLocker>
#include <QTimer>
#include <cmath>

namespace {

constexpr int kFileWaitMs = 3000;   // how long a start entry waits for its snapshot and recording

class RulesHub : public QObject
{
    Q_OBJECT
public:
    static RulesHub& instance()
    {
        static RulesHub hub;
        return hub;
    }
signals:
    void changed();
};

} // namespace

AlarmMonitor::AlarmMonitor(QObject* parent) : QObject(parent), m_Log(Alarm::AlarmLog::defaultPath())
{
    m_pRecordStop = new QTimer(this);
    m_pRecordStop->setSingleShot(true);
    connect(m_pRecordStop, &QTimer::timeout, this, [this] {
        if (!m_pEngine)
            return;
        // Only the alarm's own recording ends here; a manual one started since is left alone.
        bool bAlarm = false;
        {
            QMutexLocker lock(&m_pEngine->mutex());
            bAlarm = m_pEngine->m_bAlarmRecording;
        }
        if (bAlarm)
            QMetaObject::invokeMethod(m_pEngine, "setStopRecordSlots", Qt::QueuedConnection);
    });
    connect(&RulesHub::instance(), &RulesHub::changed, this, &AlarmMonitor::reloadRulesSlot);
    reloadRulesSlot();
}

AlarmMonitor::~AlarmMonitor() = default;

void AlarmMonitor::announceRulesChanged() { emit RulesHub::instance().changed(); }

void AlarmMonitor::setVideoPlay(QVideoPlay* pEngine)
{
    if (m_pEngine)
        disconnect(m_pEngine, nullptr, this, nullptr);
    m_pEngine = pEngine;
    if (!pEngine)
        return;
    // Files the actions produced join the start entry that waits for them.
    const auto attach = [this](const QString& qStrFile) {
        if (!m_Pending.isEmpty())
            m_Pending.last().files << qStrFile;
    };
    connect(pEngine, &QVideoPlay::sendSnapshotFileSignal, this, attach);
    connect(pEngine, &QVideoPlay::sendRecordFileSignal, this, [this, attach](const QString& qStrFile) {
        bool bAlarm = false;
        {
            QMutexLocker lock(&m_pEngine->mutex());
            bAlarm = m_pEngine->m_bAlarmRecording;
        }
        if (bAlarm)
            attach(qStrFile);
    });
}

void AlarmMonitor::reloadRulesSlot()
{
    handle(m_Engine.setRules(Alarm::loadRules(), QDateTime::currentMSecsSinceEpoch()));
}

void AlarmMonitor::setMeasureReadingsSlot(QVector<Measure::MeasureReading> readings) { m_Items = readings; }

void AlarmMonitor::setSceneReadingSlot(Measure::SceneReading scene)
{
    if (!scene.bValid)
        return;
    Alarm::Sample sample;
    sample.nTimeMs = QDateTime::currentMSecsSinceEpoch();
    sample.scene = {scene.fMax, scene.fMin, scene.fAvg};
    for (const Measure::MeasureReading& r : m_Items) {
        if (r.bValid)
            sample.items.insert(r.nId, {r.fMax, r.fMin, r.fAvg});
    }
    feed(sample);
}

void AlarmMonitor::feed(const Alarm::Sample& sample)
{
    m_Trend.add(sample);
    handle(m_Engine.feed(sample));
}

void AlarmMonitor::endAllSlot() { handle(m_Engine.endAll(QDateTime::currentMSecsSinceEpoch())); }

void AlarmMonitor::handle(const std::vector<Alarm::Event>& events)
{
    for (const Alarm::Event& ev : events) {
        const Alarm::Rule& rule = m_Engine.rules()[size_t(ev.nRule)];
        Alarm::LogEntry entry;
        entry.time = QDateTime::fromMSecsSinceEpoch(ev.nTimeMs);
        entry.bStart = ev.bStart;
        entry.qStrRule = Alarm::ruleText(rule);
        entry.fValueC = ev.fValueC;
        if (ev.bStart) {
            startActions(rule, entry);
            emit sendAlarmStateSignal(true, entry.qStrRule);
        } else {
            // Starts still waiting for their files go first, so the log stays in order.
            while (!m_Pending.isEmpty())
                writeEntry(m_Pending.takeFirst());
            writeEntry(entry);
            if (!m_Engine.anyActive())
                emit sendAlarmStateSignal(false, QString());
        }
    }
}

void AlarmMonitor::startActions(const Alarm::Rule& rule, const Alarm::LogEntry& entry)
{
    if (rule.bSound) {
        QString error;
        const bool bPlayed = rule.qStrAudioFile.isEmpty()
                                 ? AudioOut::playSamples(Alarm::alarmTone(AudioOut::kSampleRate), &error)
                                 : AudioOut::playWavFile(rule.qStrAudioFile, &error);
        if (!bPlayed)
            qWarning("Alarm sound: %s", qPrintable(error));
    }
    if (rule.bNotify)
        DesktopNotify::notify(QStringLiteral("Thermava"), QStringLiteral("%1: %2 %3")
                                                              .arg(entry.qStrRule)
                                                              .arg(double(ConfigStore::convertTemper(entry.fValueC)), 0, 'f', 1)
                                                              .arg(ConfigStore::getTemperUnitText()));
    const bool bFiles = m_pEngine && (rule.bSnapshot || rule.bRecord);
    if (!bFiles) {
        writeEntry(entry);
        return;
    }
    m_Pending << entry;
    if (rule.bSnapshot) {
        const QString qStrDir = m_qStrSnapshotDir.isEmpty()
                                    ? ConfigStore::getManualSnapshotPath() + "/" + ConfigStore::getDateName()
                                    : m_qStrSnapshotDir;
        QMetaObject::invokeMethod(m_pEngine, "setDealSnapshotSlots", Qt::QueuedConnection, Q_ARG(QString, qStrDir));
    }
    if (rule.bRecord) {
        // A recording already running for an earlier alarm is lengthened instead of cut.
        if (!m_pRecordStop->isActive())
            QMetaObject::invokeMethod(m_pEngine, "setStartAlarmRecordSlots", Qt::QueuedConnection);
        m_pRecordStop->start(Alarm::loadAlarmDuration() * 1000);
    }
    QTimer::singleShot(kFileWaitMs, this, [this] {
        if (!m_Pending.isEmpty())
            writeEntry(m_Pending.takeFirst());
    });
}

void AlarmMonitor::writeEntry(const Alarm::LogEntry& entry)
{
    m_SessionEvents << entry;
    QString error;
    if (!m_Log.append(entry, &error))
        qWarning("Alarm log: %s", qPrintable(error));
    emit sendLogChangedSignal();
}

#include "AlarmMonitor.moc"
