#pragma once
// Alarm rules and their evaluation. Pure: no widgets, no timers, no files. The owner feeds a
// sample of temperatures with its timestamp and gets back the alarm starts and ends it
// caused, each exactly once per crossing.

#include <QMap>
#include <QString>
#include <QtGlobal>
#include <vector>

namespace Alarm {

// The six rule types, in the order of the language tables' texts.
enum Type { AboveMax = 0, BelowMax, AboveMin, BelowMin, AboveAvg, BelowAvg, TypeCount };

// An alarm ends only once the value is this far back on the safe side of the threshold, so
// noise around the line does not make it flicker.
constexpr float kHysteresisC = 1.0f;
constexpr int kSceneSource = -1;

// Maximum, minimum and average of one source, degrees Celsius.
struct Stats
{
    float fMax = 0.0f;
    float fMin = 0.0f;
    float fAvg = 0.0f;
};

struct Rule
{
    int nSource = kSceneSource;   // the whole scene, or a measurement item's id
    int nType = AboveMax;
    float fThresholdC = 60.0f;
    double fHoldSec = 0.0;        // the condition must last this long before the alarm starts
    bool bEnabled = true;
    // Actions.
    bool bSound = false;
    QString qStrAudioFile;        // empty: the client's own tone
    bool bSnapshot = false;
    bool bRecord = false;
    bool bNotify = false;

    bool isAbove() const { return nType % 2 == 0; }
    float pick(const Stats& st) const;
    // The fields that decide when the alarm is raised (actions may change without ending it).
    bool sameCondition(const Rule& other) const;
};

// Language table key of a type ("Above(Max Temper)" ...).
const char* typeKey(int nType);

struct Sample
{
    qint64 nTimeMs = 0;            // milliseconds since the epoch
    Stats scene;
    QMap<int, Stats> items;       // measurement items present in this sample, by id
};

struct Event
{
    bool bStart = true;
    int nRule = 0;                // index into the engine's rules
    qint64 nTimeMs = 0;
    float fValueC = 0.0f;
};

class Engine
{
public:
    // Replaces the rules. An alarm that is active keeps running when its rule's condition is
    // unchanged; otherwise it ends now, so the log never holds a start without an end.
    std::vector<Event> setRules(const std::vector<Rule>& rules, qint64 nNowMs);
    const std::vector<Rule>& rules() const { return m_Rules; }

    std::vector<Event> feed(const Sample& sample);
    // Ends every active alarm (the camera went away, the program ends).
    std::vector<Event> endAll(qint64 nNowMs);

    bool isActive(int nRule) const;
    bool anyActive() const;

private:
    struct State
    {
        bool bActive = false;
        bool bPending = false;    // the condition holds, the hold time runs
        qint64 nSinceMs = 0;
        float fLastC = 0.0f;
    };
    std::vector<Rule> m_Rules;
    std::vector<State> m_States;
};

} // namespace Alarm
