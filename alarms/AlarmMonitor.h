#pragma once
// Alarms in the window: evaluates the rules on the temperatures the live view already reads
// (every 200 ms, emissivity-corrected, on the user-interface thread), keeps the trend, and
// runs each rule's actions: tone or sound file, snapshot, alarm recording through the video
// engine, desktop notification, and the alarm log. The live view shows the state it signals.

#include "alarms/AlarmEngine.h"
#include "alarms/AlarmLog.h"
#include "alarms/AlarmTrend.h"
#include "measure/RegionStats.h"

#include <QObject>
#include <QPointer>
#include <QVector>

class QTimer;
class QVideoPlay;

class AlarmMonitor : public QObject
{
    Q_OBJECT
public:
    explicit AlarmMonitor(QObject* parent = nullptr);
    ~AlarmMonitor() override;

    // The engine that takes snapshots and alarm recordings (may be null: no file actions).
    void setVideoPlay(QVideoPlay* pEngine);
    // Folder for alarm snapshots (default: the configured snapshot folder and today's date).
    void setSnapshotDir(const QString& qStrDir) { m_qStrSnapshotDir = qStrDir; }
    void setLogPath(const QString& qStrPath) { m_Log = Alarm::AlarmLog(qStrPath); }

    // One sample of the scene and the items (Celsius, corrected) at nTimeMs.
    void feed(const Alarm::Sample& sample);

    const Alarm::TrendBuffer& trend() const { return m_Trend; }
    const std::vector<Alarm::Rule>& rules() const { return m_Engine.rules(); }
    const QList<Alarm::LogEntry>& sessionEvents() const { return m_SessionEvents; }
    bool isAlarmActive() const { return m_Engine.anyActive(); }
    const Alarm::AlarmLog& log() const { return m_Log; }

    // Process-wide notifier: the rules page saved new rules, every monitor reloads them.
    static void announceRulesChanged();

signals:
    // An alarm started or the last one ended; qStrRule names the rule that started.
    void sendAlarmStateSignal(bool bActive, QString qStrRule);
    void sendLogChangedSignal();

public slots:
    void reloadRulesSlot();
    // The scene and item readings the measurement layer publishes.
    void setSceneReadingSlot(Measure::SceneReading scene);
    void setMeasureReadingsSlot(QVector<Measure::MeasureReading> readings);
    // The camera went away: running alarms end.
    void endAllSlot();

private:
    void handle(const std::vector<Alarm::Event>& events);
    void startActions(const Alarm::Rule& rule, const Alarm::LogEntry& entry);
    void writeEntry(const Alarm::LogEntry& entry);

    Alarm::Engine m_Engine;
    Alarm::TrendBuffer m_Trend;
    Alarm::AlarmLog m_Log;
    QList<Alarm::LogEntry> m_SessionEvents;
    QPointer<QVideoPlay> m_pEngine;
    QString m_qStrSnapshotDir;
    QVector<Measure::MeasureReading> m_Items;
    QTimer* m_pRecordStop = nullptr;
    // A start entry waits briefly for the files its actions produce.
    QList<Alarm::LogEntry> m_Pending;
};
