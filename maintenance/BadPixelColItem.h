#pragma once
// Marker of one bad column: a full-height band of width 2h + 1 scene units centred on the column,
// h = columnMarkerHalfSize. Blue, red while selected. Cannot be dragged. Keeps type 3.
// The page sets the rectangle (-h, 0, 2h + 1, H), the height H and the position (column, 0).

#include <QColor>
#include <QGraphicsRectItem>

class BadPixelMarkerOwner;

class BadPixelColItem : public QGraphicsRectItem
{
public:
    explicit BadPixelColItem(QGraphicsItem* parent = nullptr);
    ~BadPixelColItem() override;

    void setOwner(BadPixelMarkerOwner* pOwner) { m_pOwner = pOwner; }
    BadPixelMarkerOwner* owner() const { return m_pOwner; }

    void setHeight(int nHeight) { m_nHeight = nHeight; }
    int height() const { return m_nHeight; }

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
    int m_nHeight = 0;
    BadPixelMarkerOwner* m_pOwner = nullptr;
    QColor m_curColor;
};
