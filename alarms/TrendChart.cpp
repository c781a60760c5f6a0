#include "alarms/TrendChart.h"

#include "alarms/AlarmRuleStore.h"

#include <QDateTime>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>
#include <functional>

namespace Alarm {

namespace {

const QColor kItemColours[] = {QColor(0x2e, 0x86, 0xc1), QColor(0x8e, 0x44, 0xad), QColor(0x16, 0xa0, 0x85),
                               QColor(0xd3, 0x54, 0x00), QColor(0x7f, 0x8c, 0x8d), QColor(0xc0, 0x39, 0x2b)};

void drawFrame(QPainter& painter, const QRectF& plot, float fLow, float fHigh, const QString& qStrUnit)
{
    painter.setPen(QPen(Qt::gray, 0));
    painter.drawRect(plot);
    for (int i = 0; i <= 4; ++i) {
        const float f = fLow + (fHigh - fLow) * float(i) / 4.0f;
        const qreal y = plot.bottom() - plot.height() * i / 4.0;
        painter.drawText(QRectF(plot.left() - 70, y - 8, 64, 16), Qt::AlignRight | Qt::AlignVCenter,
                         QStringLiteral("%1 %2").arg(double(f), 0, 'f', 1).arg(qStrUnit));
    }
}

} // namespace

void drawTrendChart(QPainter& painter, const QRectF& area, const std::deque<Sample>& samples,
                    const std::vector<Rule>& rules, int nUnit, const QString& qStrUnit)
{
    painter.save();
    const QRectF plot = area.adjusted(76, 8, -8, -24);
    float fLow = 1e9f, fHigh = -1e9f;
    QList<int> ids;
    for (const Sample& s : samples) {
        fLow = std::min(fLow, s.scene.fMin);
        fHigh = std::max(fHigh, s.scene.fMax);
        for (auto it = s.items.cbegin(); it != s.items.cend(); ++it) {
            if (!ids.contains(it.key()))
                ids << it.key();
        }
    }
    for (const Rule& r : rules) {
        if (r.bEnabled) {
            fLow = std::min(fLow, r.fThresholdC);
            fHigh = std::max(fHigh, r.fThresholdC);
        }
    }
    if (fLow > fHigh) {
        fLow = 0.0f;
        fHigh = 100.0f;
    }
    if (fHigh - fLow < 2.0f) {
        fLow -= 1.0f;
        fHigh += 1.0f;
    }
    const float fLowU = toUnit(fLow, nUnit), fHighU = toUnit(fHigh, nUnit);
    drawFrame(painter, plot, fLowU, fHighU, qStrUnit);
    if (!samples.empty()) {
        const qint64 t0 = samples.front().nTimeMs;
        const qint64 span = std::max<qint64>(1, samples.back().nTimeMs - t0);
        const auto x = [&](qint64 t) { return plot.left() + plot.width() * double(t - t0) / double(span); };
        const auto y = [&](float c) { return plot.bottom() - plot.height() * double(c - fLow) / double(fHigh - fLow); };
        const auto series = [&](const QColor& colour, const std::function<bool(const Sample&, float*)>& value) {
            QPainterPath path;
            bool bOpen = false;
            for (const Sample& s : samples) {
                float f = 0.0f;
                if (!value(s, &f) || !std::isfinite(f)) {
                    bOpen = false;
                    continue;
                }
                if (bOpen)
                    path.lineTo(x(s.nTimeMs), y(f));
                else
                    path.moveTo(x(s.nTimeMs), y(f));
                bOpen = true;
            }
            painter.setPen(QPen(colour, 1.5));
            painter.drawPath(path);
        };
        series(QColor(0xe7, 0x4c, 0x3c), [](const Sample& s, float* f) { *f = s.scene.fMax; return true; });
        series(QColor(0x34, 0x98, 0xdb), [](const Sample& s, float* f) { *f = s.scene.fMin; return true; });
        series(QColor(0x27, 0xae, 0x60), [](const Sample& s, float* f) { *f = s.scene.fAvg; return true; });
        for (int i = 0; i < ids.size(); ++i) {
            const int id = ids[i];
            series(kItemColours[i % 6], [id](const Sample& s, float* f) {
                if (!s.items.contains(id))
                    return false;
                *f = s.items.value(id).fAvg;
                return true;
            });
        }
        painter.setPen(QPen(Qt::gray, 0));
        painter.drawText(QRectF(plot.left(), plot.bottom() + 4, 120, 16), Qt::AlignLeft,
                         QDateTime::fromMSecsSinceEpoch(t0).toString(QStringLiteral("HH:mm:ss")));
        painter.drawText(QRectF(plot.right() - 120, plot.bottom() + 4, 120, 16), Qt::AlignRight,
                         QDateTime::fromMSecsSinceEpoch(samples.back().nTimeMs).toString(QStringLiteral("HH:mm:ss")));
    }
    // Thresholds as dashed lines.
    for (const Rule& r : rules) {
        if (!r.bEnabled)
            continue;
        const double yy = plot.bottom() - plot.height() * double(r.fThresholdC - fLow) / double(fHigh - fLow);
        painter.setPen(QPen(QColor(0xc0, 0x39, 0x2b), 1, Qt::DashLine));
        painter.drawLine(QPointF(plot.left(), yy), QPointF(plot.right(), yy));
    }
    painter.restore();
}

void drawHistogram(QPainter& painter, const QRectF& area, const Histogram& histogram, int nUnit, const QString& qStrUnit)
{
    painter.save();
    const QRectF plot = area.adjusted(8, 8, -8, -24);
    painter.setPen(QPen(Qt::gray, 0));
    painter.drawRect(plot);
    const int nMax = histogram.counts.empty() ? 0 : *std::max_element(histogram.counts.begin(), histogram.counts.end());
    if (nMax > 0) {
        const double w = plot.width() / double(histogram.counts.size());
        for (size_t i = 0; i < histogram.counts.size(); ++i) {
            const double h = plot.height() * double(histogram.counts[i]) / double(nMax);
            painter.fillRect(QRectF(plot.left() + w * double(i), plot.bottom() - h, std::max(1.0, w - 1.0), h),
                             QColor(0xe6, 0x7e, 0x22));
        }
    }
    painter.drawText(QRectF(plot.left(), plot.bottom() + 4, 120, 16), Qt::AlignLeft,
                     QStringLiteral("%1 %2").arg(double(toUnit(histogram.fLowC, nUnit)), 0, 'f', 1).arg(qStrUnit));
    painter.drawText(QRectF(plot.right() - 120, plot.bottom() + 4, 120, 16), Qt::AlignRight,
                     QStringLiteral("%1 %2").arg(double(toUnit(histogram.fHighC, nUnit)), 0, 'f', 1).arg(qStrUnit));
    painter.restore();
}

} // namespace Alarm
