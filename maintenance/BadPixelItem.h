#pragma once
// Marker of one bad pixel on the bad pixel editor's picture: a square outline of side
// 2h + 1 scene units centred on the pixel, h = pixelMarkerHalfSize. Blue, red while selected.
// Markers cannot be dragged. Keeps the plain rectangle item type (3).

#include <QColor>
#include <QGraphicsRectItem>

class BadPixelMarkerOwner;
class QGraphicsScene;

// Half sizes shared by all bad pixel and bad column markers; the editor follows its zoom with
// updateMarkerHalfSizes().
extern int pixelMarkerHalfSize;
extern int columnMarkerHalfSize;

// Sets both half sizes to trunc(3.0 - zoom / 10.0). When a value changes, every marker of the
// scene has its rectangle marked dirty (and is scheduled for a repaint); returns whether a value
// changed. Items of the scene that are not markers are left alone.
bool updateMarkerHalfSizes(QGraphicsScene* pScene, double fZoomFactor);

class BadPixelItem : public QGraphicsRectItem
{
public:
    explicit BadPixelItem(QGraphicsItem* parent = nullptr);
    ~BadPixelItem() override;

    void setOwner(BadPixelMarkerOwner* pOwner) { m_pOwner = pOwner; }
    BadPixelMarkerOwner* owner() const { return m_pOwner; }

    void setRectDirty(bool bDirty) { m_bRectDirty = bDirty; }
    bool isRectDirty() const { return m_bRectDirty; }
    QColor currentColor() const { return m_curColor; }

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return QGraphicsRectItem::type(); }

protected:
    void contextMenuEvent(QGraphicsSceneContextMenuEvent* event) override;
    void mouseMoveEvent(QGraphicsSceneMouseEvent* event) override;

private:
    bool m_bRectDirty = false;
    BadPixelMarkerOwner* m_pOwner = nullptr;
    QColor m_curColor;
};
