#pragma once
// Drawing of the trend chart (scene maximum, minimum, average and each item over time, with
// the alarm thresholds as lines) and of the temperature distribution, with QPainter, for the
// trend panel and the report alike.

#include "alarms/AlarmEngine.h"
#include "alarms/FrameStats.h"

#include <QRectF>
#include <deque>
#include <vector>

class QPainter;

namespace Alarm {

// Values are shown in nUnit (0 Celsius, 1 Fahrenheit, 2 Kelvin) with the suffix qStrUnit.
void drawTrendChart(QPainter& painter, const QRectF& area, const std::deque<Sample>& samples,
                    const std::vector<Rule>& rules, int nUnit, const QString& qStrUnit);
void drawHistogram(QPainter& painter, const QRectF& area, const Histogram& histogram, int nUnit, const QString& qStrUnit);

} // namespace Alarm
