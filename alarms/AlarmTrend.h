#pragma once
// The last ten minutes of temperatures (scene maximum, minimum, average and each measurement
// item) for the trend chart and its CSV export.

#include "alarms/AlarmEngine.h"

#include <QString>
#include <deque>

namespace Alarm {

class TrendBuffer
{
public:
    static constexpr qint64 kDefaultSpanMs = 10 * 60 * 1000;
    explicit TrendBuffer(qint64 nSpanMs = kDefaultSpanMs) : m_nSpanMs(nSpanMs) {}

    // Adds a sample and drops those older than the span before it.
    void add(const Sample& sample);
    void clear() { m_Samples.clear(); }
    const std::deque<Sample>& samples() const { return m_Samples; }
    qint64 spanMs() const { return m_nSpanMs; }

    // One row per sample: time, the scene's max/min/avg, then max/min/avg of every item seen
    // in the buffer (empty where an item was absent). Degrees Celsius.
    QString toCsv() const;

private:
    qint64 m_nSpanMs;
    std::deque<Sample> m_Samples;
};

} // namespace Alarm
