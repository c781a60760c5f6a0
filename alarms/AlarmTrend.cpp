#include "alarms/AlarmTrend.h"

#include "alarms/AlarmLog.h"

#include <QDateTime>
#include <QSet>
#include <algorithm>
#include <cmath>

namespace Alarm {

void TrendBuffer::add(const Sample& sample)
{
    m_Samples.push_back(sample);
    while (!m_Samples.empty() && m_Samples.front().nTimeMs < sample.nTimeMs - m_nSpanMs)
        m_Samples.pop_front();
}

QString TrendBuffer::toCsv() const
{
    QSet<int> idSet;
    for (const Sample& s : m_Samples) {
        for (auto it = s.items.cbegin(); it != s.items.cend(); ++it)
            idSet.insert(it.key());
    }
    QList<int> ids = idSet.values();
    std::sort(ids.begin(), ids.end());

    QStringList header = {"time", "scene_max_C", "scene_min_C", "scene_avg_C"};
    for (int id : ids)
        header << QStringLiteral("item%1_max_C").arg(id) << QStringLiteral("item%1_min_C").arg(id)
               << QStringLiteral("item%1_avg_C").arg(id);
    QString text = csvLine(header);
    const auto num = [](float f) { return std::isfinite(f) ? QString::number(double(f), 'f', 2) : QString(); };
    for (const Sample& s : m_Samples) {
        QStringList row = {QDateTime::fromMSecsSinceEpoch(s.nTimeMs).toString(Qt::ISODateWithMs), num(s.scene.fMax),
                           num(s.scene.fMin), num(s.scene.fAvg)};
        for (int id : ids) {
            if (s.items.contains(id)) {
                const Stats st = s.items.value(id);
                row << num(st.fMax) << num(st.fMin) << num(st.fAvg);
            } else {
                row << QString() << QString() << QString();
            }
        }
        text += csvLine(row);
    }
    return text;
}

} // namespace Alarm
