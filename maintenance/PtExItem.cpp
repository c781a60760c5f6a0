#include "maintenance/PtExItem.h"

#include <QCursor>
#include <QFont>
#include <QPainter>
#include <QPainterPath>
#include <QPen>

PtExItem::PtExItem(QSceneViewCtrl* pOwner)
    : QGraphicsRectItem(nullptr)
    , m_pOwner(pOwner)
    , m_penColor(255, 255, 255)
{
    setRect(-1, -1, 3, 3);
    setZValue(1.0);
    setFlags(ItemSendsGeometryChanges);
    setAcceptHoverEvents(true);
}

PtExItem::~PtExItem() = default;

QRectF PtExItem::boundingRect() const { return rect(); }

QPainterPath PtExItem::shape() const
{
    QPainterPath path;
    path.addRect(rect());
    return path;
}

QPointF PtExItem::computeLabelPos() const
{
    const qreal x = m_bLabelOnRight ? 4.0 + 10.0 : -3.0 - 55.0;
    qreal y = m_nLabelBaseOffset + 0.5;
    if (m_nLabelVerticalMode == LabelRaised)
        y -= 10;
    else if (m_nLabelVerticalMode == LabelLowered)
        y += 10;
    return QPointF(x, y);
}

void PtExItem::paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget)
{
    Q_UNUSED(option);
    Q_UNUSED(widget);
    if (!m_bShow)
        return;
    m_penColor = m_bAlarm ? QColor(230, 30, 30) : QColor(255, 255, 255);
    QPen pen(m_penColor);
    pen.setWidth(3);
    painter->setPen(pen);
    painter->drawLine(QPointF(-3.0, 0.5), QPointF(4.0, 0.5));
    painter->drawLine(QPointF(0.5, -3.0), QPointF(0.5, 4.0));

    m_ptLabelPos = computeLabelPos();
    const QFont font("Arial", 10, 63, false);
    QPainterPath textPath;
    textPath.addText(m_ptLabelPos, font, m_qStrLabelText);
    // A white halo keeps the green text readable on any palette.
    painter->setBrush(Qt::white);
    painter->drawPath(textPath);
    pen.setColor(m_bAlarm ? QColor(230, 30, 30) : QColor(50, 205, 50));
    painter->setPen(pen);
    painter->setFont(font);
    painter->drawText(m_ptLabelPos, m_qStrLabelText);
}

void PtExItem::focusInEvent(QFocusEvent* event) { Q_UNUSED(event); }

void PtExItem::focusOutEvent(QFocusEvent* event) { Q_UNUSED(event); }

void PtExItem::hoverMoveEvent(QGraphicsSceneHoverEvent* event)
{
    setCursor(Qt::CrossCursor);
    QGraphicsRectItem::hoverMoveEvent(event);
}

void PtExItem::hoverLeaveEvent(QGraphicsSceneHoverEvent* event)
{
    setCursor(Qt::ArrowCursor);
    QGraphicsRectItem::hoverLeaveEvent(event);
}
