#pragma once
// Temperatures over a luminance plane: the reading at a pixel, and the maximum, minimum and
// average (with where the extremes lie) over a point, a line or a rectangle.
//
// The plane may be larger than the camera's grid (super-resolution doubles it); items and
// results are in camera pixels either way.

#include "measure/MeasureItem.h"
#include "measure/TemperatureModel.h"

#include <QMetaType>
#include <QPoint>
#include <QString>
#include <QVector>
#include <cstdint>

namespace Measure {

struct LumaPlane
{
    const uint8_t* pLuma = nullptr;   // row-major, nWidth x nHeight
    int nWidth = 0;
    int nHeight = 0;
    int nScale = 1;                   // plane pixels per camera pixel in each direction

    int cameraWidth() const { return nScale > 0 ? nWidth / nScale : 0; }
    int cameraHeight() const { return nScale > 0 ? nHeight / nScale : 0; }
    bool isValid() const { return pLuma && nWidth > 0 && nHeight > 0 && nScale > 0; }
};

struct RegionStats
{
    bool bValid = false;   // false: the item lies wholly outside the picture
    float fMax = 0.0f;     // degrees Celsius, after the emissivity correction
    float fMin = 0.0f;
    float fAvg = 0.0f;
    QPoint ptMax;          // camera pixels
    QPoint ptMin;
    int nPixels = 0;
};

// Extremes and mean over the item. Out-of-picture parts are left out.
RegionStats measureItem(const LumaPlane& plane, const MeasureItem& item, const LumaModel& model,
                        const Emissivity& emissivity);
// The whole picture (hot and cold spot with the scene's mean).
RegionStats measureAll(const LumaPlane& plane, const LumaModel& model, const Emissivity& emissivity);
// The reading at one camera pixel (nan outside the picture).
float temperatureAt(const LumaPlane& plane, const QPoint& pt, const LumaModel& model, const Emissivity& emissivity);

// One item's reading, as the live view publishes it every 200 ms.
struct MeasureReading
{
    int nId = 0;
    QString qStrName;
    ItemKind kind = ItemKind::Point;
    float fMax = 0.0f;   // Celsius, emissivity-corrected
    float fMin = 0.0f;
    float fAvg = 0.0f;
    QPoint ptMax;        // camera pixels
    QPoint ptMin;
    bool bValid = false;
};

// The scene as the live view publishes it with the items: hot and cold spot, mean.
struct SceneReading
{
    float fMax = 0.0f;   // Celsius, emissivity-corrected
    float fMin = 0.0f;
    float fAvg = 0.0f;
    QPoint ptHot;        // camera pixels
    QPoint ptCold;
    bool bValid = false;
};

MeasureReading readingOf(const MeasureItem& item, const RegionStats& stats);
// The whole picture's statistics (measureAll) as a scene reading.
SceneReading sceneReadingOf(const RegionStats& all);

// Every pixel's corrected temperature, row-major over the plane.
QVector<float> temperatureImage(const LumaPlane& plane, const LumaModel& model, const Emissivity& emissivity);

} // namespace Measure

Q_DECLARE_METATYPE(Measure::MeasureReading)
Q_DECLARE_METATYPE(Measure::SceneReading)
Q_DECLARE_METATYPE(QVector<Measure::MeasureReading>)
