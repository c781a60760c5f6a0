#pragma once
// Measurement on the live picture: the temperature under the cursor, measurement items placed
// with the mouse (points, lines, rectangles; moved, resized and deleted; kept in Config.ini),
// the cold spot marker, and the temperatures the snapshots carry. Everything is drawn on the
// hot point overlay's scene, like the hot point marker.
//
// For other modules (alarms, trend): every refresh (each thermal record, 200 ms) emits
//   sendMeasureReadingsSignal(QVector<Measure::MeasureReading>) - id, name, kind, max/min/avg in
//       degrees Celsius after the emissivity correction, one per item;
//   sendSceneReadingSignal(Measure::SceneReading) - the whole scene's max/min/avg with hot and
//       cold spot, corrected the same way.
// Both are queued-safe value types.

#include "liveview/MeasureGeometry.h"
#include "measure/FrameSampler.h"
#include "measure/MeasureItem.h"
#include "measure/RegionStats.h"
#include "maintenance/QSceneViewCtrl.h"
#include "measure/SnapshotMeta.h"

#include <QObject>
#include <QPointer>
#include <QPointF>
#include <QRect>
#include <QVector>

class QGraphicsItem;
class QSceneViewCtrl;
class QVideoPlay;
class QWidget;

class QMeasureLayer : public QObject
{
    Q_OBJECT
public:
    QMeasureLayer(QWidget* pVideoLabel, QSceneViewCtrl* pOverlay, QVideoPlay* pEngine, QObject* parent = nullptr);
    ~QMeasureLayer() override;

    void setView(const MeasureGeometry::View& view);
    // Shown over a live picture; hidden (and no readings) otherwise.
    void setLive(bool bLive);
    void setColdSpotVisible(bool bVisible);
    bool isColdSpotVisible() const { return m_bColdSpot; }
    // Palette, rotation and camera identity for the snapshots' metadata.
    void setSnapshotContext(int nPalette, int nRotation, const QString& qStrPart, const QString& qStrSerial);

    // New readings from the latest frame: labels, cold spot, the two signals.
    void refresh();

    const QVector<Measure::MeasureItem>& items() const { return m_Items; }
    bool addItem(Measure::ItemKind kind, const QPoint& pt1, const QPoint& pt2);
    void removeItem(int nId);
    void removeAllItems();
    Measure::SampledFrame latestFrame() const { return m_Sampler.latest(); }
    const QVector<Measure::MeasureReading>& readings() const { return m_Readings; }
    QString cursorText() const { return m_qStrCursor; }

    // Overlay areas this layer paints into, for the overlay's window mask.
    QVector<QRect> paintedAreas() const;
    void paint(QPainter* pPainter);
    // The cold spot moves with every frame, so it is laid over the picture with it (as the hot
    // spot is) rather than drawn on the overlay: in overlay coordinates. False: nothing drawn.
    bool paintColdSpot(QPainter* pPainter);

signals:
    void sendMeasureReadingsSignal(QVector<Measure::MeasureReading> readings);
    void sendSceneReadingSignal(Measure::SceneReading scene);
    // The painted areas changed: the page re-cuts the overlay mask.
    void sendMaskChangedSignal();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    enum class Drag { None, Create, Move, Point1, Point2 };
    QPointF toOverlay(const QPoint& cam, bool bCentre = true) const;
    bool toCamera(const QPoint& overlayPos, QPoint* pCam) const;
    QPoint sceneFromGlobal(const QPoint& globalPos) const;
    int hitTest(const QPoint& overlayPos, Drag* pDrag) const;
    void showContextMenu(const QPoint& globalPos, const QPoint& overlayPos);
    void updateCursor(const QPoint& overlayPos);
    void changed();
    QString labelOf(const Measure::MeasureItem& item, const Measure::MeasureReading& r) const;
    static QString degrees(float fCelsius);

    QWidget* m_pVideoLabel;
    QPointer<QSceneViewCtrl> m_pOverlay;
    QVideoPlay* m_pEngine;
    QGraphicsItem* m_pSceneItem = nullptr;
    Measure::FrameSampler m_Sampler;
    SnapshotMeta::Annotator m_Annotator;
    MeasureGeometry::View m_View;

    QVector<Measure::MeasureItem> m_Items;
    QVector<Measure::MeasureReading> m_Readings;
    Measure::SceneReading m_Scene;
    bool m_bLive = false;
    bool m_bColdSpot = false;

    Measure::ItemKind m_NewKind = Measure::ItemKind::Point;
    bool m_bPlacing = false;      // the next press places an item of m_NewKind
    Drag m_Drag = Drag::None;
    int m_nDragId = 0;
    QPoint m_ptDragStart;         // camera pixels
    Measure::MeasureItem m_DragOrigin;
    QString m_qStrCursor;
    QPoint m_ptCursor;            // overlay pixels
};
