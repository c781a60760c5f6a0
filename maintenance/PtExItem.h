#pragma once
// The hot point marker: a white cross at the point with a green temperature label (white halo)
// beside it. The label sits right of the cross unless the point is near the right edge, and is
// raised near the bottom edge and lowered near the top edge (see QSceneViewCtrl::setMarkerPoint).
// The drawing reaches well outside the 3 x 3 bounding rectangle; the overlay's view repaints its
// whole viewport for that reason.

#include <QColor>
#include <QGraphicsRectItem>
#include <QPointF>

class QSceneViewCtrl;

class PtExItem : public QGraphicsRectItem
{
public:
    enum { Type = UserType + 14 };
    enum LabelVerticalMode { LabelRaised = 1, LabelLowered = 2, LabelLevel = 3 };

    explicit PtExItem(QSceneViewCtrl* pOwner = nullptr);
    ~PtExItem() override;

    QSceneViewCtrl* owner() const { return m_pOwner; }

    void setPoint(int x, int y) { m_nPointX = x; m_nPointY = y; }
    int pointX() const { return m_nPointX; }
    int pointY() const { return m_nPointY; }

    // Whether cross and label are drawn (independent of QGraphicsItem visibility).
    void setShowFlag(bool bShow) { m_bShow = bShow; }
    bool showFlag() const { return m_bShow; }

    void setLabelText(const QString& qStrText) { m_qStrLabelText = qStrText; }

    // While an alarm is active, cross and label are drawn red.
    void setAlarm(bool bAlarm) { m_bAlarm = bAlarm; }
    bool isAlarm() const { return m_bAlarm; }
    QString labelText() const { return m_qStrLabelText; }

    void setLabelOnRight(bool bRight) { m_bLabelOnRight = bRight; }
    bool isLabelOnRight() const { return m_bLabelOnRight; }

    void setLabelVerticalMode(int nMode) { m_nLabelVerticalMode = nMode; }
    int labelVerticalMode() const { return m_nLabelVerticalMode; }

    // Where the label's baseline starts, in item coordinates, for the current flags.
    QPointF computeLabelPos() const;

    QRectF boundingRect() const override;
    QPainterPath shape() const override;
    void paint(QPainter* painter, const QStyleOptionGraphicsItem* option, QWidget* widget) override;
    int type() const override { return Type; }

protected:
    void focusInEvent(QFocusEvent* event) override;
    void focusOutEvent(QFocusEvent* event) override;
    void hoverMoveEvent(QGraphicsSceneHoverEvent* event) override;
    void hoverLeaveEvent(QGraphicsSceneHoverEvent* event) override;

private:
    QSceneViewCtrl* m_pOwner = nullptr;
    int m_nPointX = 0;
    int m_nPointY = 0;
    QColor m_penColor;
    bool m_bShow = true;
    bool m_bAlarm = false;
    QString m_qStrLabelText;
    bool m_bLabelOnRight = true;
    int m_nLabelVerticalMode = 0;
    int m_nLabelBaseOffset = 5;
    QPointF m_ptLabelPos;
};
