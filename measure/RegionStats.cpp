#include "measure/RegionStats.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <limits>

namespace Measure {
namespace {

// Walks plane pixels, keeping the darkest and brightest and the sum of their temperatures.
struct Accumulator
{
    const LumaPlane& plane;
    float table[256];
    int nMinY = 256, nMaxY = -1;
    QPoint ptMin, ptMax;
    double fSum = 0.0;
    int nCount = 0;

    Accumulator(const LumaPlane& p, const LumaModel& model, const Emissivity& emissivity) : plane(p)
    {
        temperatureTable(model, emissivity, table);
    }

    void add(int x, int y)
    {
        if (x < 0 || y < 0 || x >= plane.nWidth || y >= plane.nHeight)
            return;
        const int v = plane.pLuma[size_t(y) * size_t(plane.nWidth) + size_t(x)];
        if (v > nMaxY) {
            nMaxY = v;
            ptMax = QPoint(x / plane.nScale, y / plane.nScale);
        }
        if (v < nMinY) {
            nMinY = v;
            ptMin = QPoint(x / plane.nScale, y / plane.nScale);
        }
        fSum += table[v];
        ++nCount;
    }

    RegionStats result() const
    {
        RegionStats s;
        if (nCount == 0)
            return s;
        s.bValid = true;
        s.fMax = table[nMaxY];
        s.fMin = table[nMinY];
        s.fAvg = float(fSum / nCount);
        s.ptMax = ptMax;
        s.ptMin = ptMin;
        s.nPixels = nCount;
        return s;
    }
};

void addBlock(Accumulator& acc, int x0, int y0, int x1, int y1)
{
    const int x0c = std::max(0, x0), y0c = std::max(0, y0);
    const int x1c = std::min(acc.plane.nWidth - 1, x1), y1c = std::min(acc.plane.nHeight - 1, y1);
    for (int y = y0c; y <= y1c; ++y)
        for (int x = x0c; x <= x1c; ++x)
            acc.add(x, y);
}

} // namespace

RegionStats measureItem(const LumaPlane& plane, const MeasureItem& item, const LumaModel& model,
                        const Emissivity& emissivity)
{
    if (!plane.isValid())
        return RegionStats();
    Accumulator acc(plane, model, emissivity);
    const int s = plane.nScale;
    switch (item.kind) {
    case ItemKind::Point:
        addBlock(acc, item.pt1.x() * s, item.pt1.y() * s, item.pt1.x() * s + s - 1, item.pt1.y() * s + s - 1);
        break;
    case ItemKind::Rect: {
        const QRect r = item.rect();
        addBlock(acc, r.left() * s, r.top() * s, r.right() * s + s - 1, r.bottom() * s + s - 1);
        break;
    }
    case ItemKind::Line: {
        // Bresenham between the two camera pixels, each visited camera pixel taken whole.
        int x0 = item.pt1.x(), y0 = item.pt1.y();
        const int x1 = item.pt2.x(), y1 = item.pt2.y();
        const int dx = std::abs(x1 - x0), dy = -std::abs(y1 - y0);
        const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
        int err = dx + dy;
        for (;;) {
            addBlock(acc, x0 * s, y0 * s, x0 * s + s - 1, y0 * s + s - 1);
            if (x0 == x1 && y0 == y1)
                break;
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
        break;
    }
    }
    return acc.result();
}

RegionStats measureAll(const LumaPlane& plane, const LumaModel& model, const Emissivity& emissivity)
{
    if (!plane.isValid())
        return RegionStats();
    Accumulator acc(plane, model, emissivity);
    addBlock(acc, 0, 0, plane.nWidth - 1, plane.nHeight - 1);
    return acc.result();
}

float temperatureAt(const LumaPlane& plane, const QPoint& pt, const LumaModel& model, const Emissivity& emissivity)
{
    MeasureItem item;
    item.pt1 = item.pt2 = pt;
    const RegionStats s = measureItem(plane, item, model, emissivity);
    return s.bValid ? s.fAvg : std::numeric_limits<float>::quiet_NaN();
}

MeasureReading readingOf(const MeasureItem& item, const RegionStats& stats)
{
    MeasureReading r;
    r.nId = item.nId;
    r.qStrName = item.qStrName;
    r.kind = item.kind;
    r.bValid = stats.bValid;
    r.fMax = stats.fMax;
    r.fMin = stats.fMin;
    r.fAvg = stats.fAvg;
    r.ptMax = stats.ptMax;
    r.ptMin = stats.ptMin;
    return r;
}

SceneReading sceneReadingOf(const RegionStats& all)
{
    SceneReading r;
    r.bValid = all.bValid;
    r.fMax = all.fMax;
    r.fMin = all.fMin;
    r.fAvg = all.fAvg;
    r.ptHot = all.ptMax;
    r.ptCold = all.ptMin;
    return r;
}

QVector<float> temperatureImage(const LumaPlane& plane, const LumaModel& model, const Emissivity& emissivity)
{
    QVector<float> out;
    if (!plane.isValid())
        return out;
    float table[256];
    temperatureTable(model, emissivity, table);
    const size_t n = size_t(plane.nWidth) * size_t(plane.nHeight);
    out.resize(int(n));
    for (size_t i = 0; i < n; ++i)
        out[int(i)] = table[plane.pLuma[i]];
    return out;
}

} // namespace Measure
