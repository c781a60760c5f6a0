#pragma once
// The temperatures a snapshot carries. Every JPEG snapshot gets JPEG comment segments:
//
// - one "thermava-measure " + JSON object: time, camera part number and serial, display unit,
//   palette, rotation, emissivity and reflected temperature, the scene's minimum and maximum,
//   hot and cold spot, every measurement item with its readings, and the model's four numbers
//   (ymin, ymax, tmin, tmax). Temperatures are degrees Celsius after the emissivity
//   correction ("measuredMin"/"measuredMax" keep the camera's own values); positions are camera
//   pixels.
// - "thermava-luma i/n " + base64 chunks of the frame's compressed luminance, so that the
//   temperature of any pixel can be recomputed later with the model.

#include "measure/FrameSampler.h"
#include "measure/MeasureItem.h"
#include "measure/TemperatureModel.h"

#include <QDateTime>
#include <QImage>
#include <QJsonObject>
#include <QList>
#include <QMutex>
#include <QSize>
#include <QString>
#include <QVector>

namespace SnapshotMeta {

// What the owner of the picture knows beyond the frame itself.
struct Context
{
    QString qStrPart;
    QString qStrSerial;
    int nUnit = 0;        // display unit: 0 Celsius, 1 Fahrenheit, 2 kelvin
    int nPalette = 0;
    int nRotation = 0;    // 0..3, quarter turns clockwise
    Measure::Emissivity emissivity;
    QVector<Measure::MeasureItem> items;
    bool bShowItems = false;   // "Show with rules": the items and their labels are drawn in
};

// Size of the picture of a plane of nWidth x nHeight after rotation d.
QSize pictureSize(int nWidth, int nHeight, int nRotation);
// The plane pixel a picture pixel shows (rotation undone), and the way back for positions.
QPoint planeFromPicture(const QPoint& pt, int nPlaneWidth, int nPlaneHeight, int nRotation);
QPointF pictureFromPlane(const QPointF& pt, int nPlaneWidth, int nPlaneHeight, int nRotation);

// Draws the items with their readings into a picture of the frame (rotation applied), in
// the configured unit.
void drawItems(QImage& picture, const Measure::SampledFrame& frame, const Context& ctx);

QJsonObject buildMetadata(const Measure::SampledFrame& frame, const Context& ctx, const QDateTime& time);
QList<QByteArray> encodeComments(const QJsonObject& meta, const Measure::SampledFrame& frame);

// A snapshot read back.
struct Decoded
{
    QJsonObject meta;
    Measure::SampledFrame frame;   // luminance and model (invalid without luminance)
    Measure::Emissivity emissivity;
    int nRotation = 0;
};
// False (with a reason) when no metadata block is among the comments.
bool decode(const QList<QByteArray>& comments, Decoded* pOut, QString* pError);
// Temperature (Celsius, corrected) at a picture pixel; nan outside the picture or without
// luminance.
float temperatureAtPicture(const Decoded& snapshot, const QPoint& pt);

// Every picture pixel's temperature (Celsius, corrected), in the picture's orientation.
QVector<float> pictureTemperatures(const Measure::SampledFrame& frame, const Measure::Emissivity& emissivity,
                                   int nRotation, QSize* pSize);

// Adds the comments to a snapshot just written. Thread-safe: the owner updates the context on
// its thread, annotate() runs where the snapshot was written.
class Annotator
{
public:
    void setContext(const Context& ctx);
    Context context() const;
    // bItemsInPicture: the picture holds the items already (a recording draws them in).
    bool annotate(const QString& qStrJpeg, const Measure::SampledFrame& frame, bool bItemsInPicture,
                  QString* pError = nullptr) const;

private:
    mutable QMutex m_Mutex;
    Context m_Context;
};

} // namespace SnapshotMeta
