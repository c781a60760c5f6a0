#include "maintenance/BadPixelItem.h"

#include "maintenance/BadPixelColItem.h"
#include "maintenance/BadPixelMarkerOwner.h"

#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QPainter>
#include <QPen>

int pixelMarkerHalfSize = 3;
int columnMarkerHalfSize = 3;

bool updateMarkerHalfSizes(QGraphicsScene* pScene, double fZoomFactor)
{
    const int h = static_cast<int>(3.0 - fZoomFactor / 10.0);
    const bool bChanged = h != pixelMarkerHalfSize || h != columnMarkerHalfSize;
    pixelMarkerHalfSize = h;
    columnMarkerHalfSize = h;
    if (!bChanged || !pScene)
        return bChanged;
    const QList<QGraphicsItem*> items = pScene->items();
    for (QGraphicsItem* pItem : items) {
        if (pItem->type() != QGraphicsRectItem::Type)
            continue;
        // Plain rectangle items share the type; only markers carry the flag.
        if (auto* pPixel = dynamic_cast<BadPixelItem*>(pItem)) {
            pPixel->setRectDirty(true);
            pPixel->update();
        } else if (auto* pColumn = dynamic_cast<BadPixelColItem*>(pItem)) {
            pColumn->setRectDirty(true);
            pColumn->update();
        }
    }
    return true;
}

BadPixelItem::BadPixelItem(QGraphicsItem* parent)
    : QGraphicsRectItem(parent)
    , m_curColor(0, 0, 255)
{
    const int h = pixelMarkerHalfSize;
    setRect(-h, -h, 2 * h + 1, 2 * h + 1);
    setZValue(1.5);
    setFlags(ItemIsSelectable | ItemIsFocusable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
}

BadPixelItem::~BadPixelItem() = default;

QRectF BadPixelItem::boundingRect() const { return rect(); }

QPainterPath BadPixelItem::shape() const
{
    QPainterPath path;
    path.addRect(rect());
    return path;
}

void BadPixelItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(option);
    Q_UNUSED(widget);
    const int h = pixelMarkerHalfSize;
    if (m_bRectDirty) {
        setRect(-h, -h, 2 * h + 1, 2 * h + 1);
        m_bRectDirty = false;
    }
    if (isSelected()) {
        m_curColor = QColor(255, 0, 0);
        if (m_pOwner)
            m_pOwner->pixelMarkerSelected(this);
    } else {
        m_curColor = QColor(0, 0, 255);
    }
    painter->setPen(QPen(QBrush(m_curColor), 0));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(-h, -h, 2 * h + 1, 2 * h + 1));
}

void BadPixelItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    if (isSelected() && m_pOwner) {
        m_pOwner->runMarkerContextMenu(event->screenPos(), event->scenePos());
        event->accept();
        return;
    }
    event->ignore();
}

void BadPixelItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    // Markers stay on their pixel.
    Q_UNUSED(event);
}
