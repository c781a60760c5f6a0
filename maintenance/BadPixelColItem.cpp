#include "maintenance/BadPixelColItem.h"

#include "maintenance/BadPixelItem.h"
#include "maintenance/BadPixelMarkerOwner.h"

#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QPainter>
#include <QPen>

BadPixelColItem::BadPixelColItem(QGraphicsItem* parent)
    : QGraphicsRectItem(parent)
    , m_curColor(0, 0, 255)
{
    setZValue(1.0);
    setFlags(ItemIsSelectable | ItemIsFocusable | ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
}

BadPixelColItem::~BadPixelColItem() = default;

QRectF BadPixelColItem::boundingRect() const { return rect(); }

QPainterPath BadPixelColItem::shape() const
{
    QPainterPath path;
    path.addRect(rect());
    return path;
}

void BadPixelColItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(option);
    Q_UNUSED(widget);
    const int h = columnMarkerHalfSize;
    bool bChanged = false;
    if (m_bRectDirty) {
        setRect(-h, 0, 2 * h + 1, m_nHeight);
        m_bRectDirty = false;
        bChanged = true;
    }
    const QColor color = isSelected() ? QColor(255, 0, 0) : QColor(0, 0, 255);
    if (color != m_curColor)
        bChanged = true;
    m_curColor = color;
    if (isSelected() && m_pOwner)
        m_pOwner->columnMarkerSelected(this);
    painter->setPen(QPen(QBrush(m_curColor), 0));
    painter->setBrush(Qt::NoBrush);
    painter->drawRect(QRectF(-h, 0, 2 * h + 1, m_nHeight));
    // A band changing size or colour leaves traces along the whole picture height; refresh the
    // scene then, but only then, or every paint would schedule the next one.
    if (bChanged && scene())
        scene()->update();
}

void BadPixelColItem::contextMenuEvent(QGraphicsSceneContextMenuEvent* event)
{
    if (isSelected() && m_pOwner) {
        m_pOwner->runMarkerContextMenu(event->screenPos(), event->scenePos());
        event->accept();
        return;
    }
    event->ignore();
}

void BadPixelColItem::mouseMoveEvent(QGraphicsSceneMouseEvent* event)
{
    // Markers stay on their column.
    Q_UNUSED(event);
}
