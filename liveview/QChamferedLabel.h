#pragma once
// The label whose native window the render library draws the live picture into. Its window is
// clipped to an octagon (cut corners); the video window paints a black octagon of the same shape
// behind it, and the live view page paints its grid and dark frames with the helpers below.

#include <QLabel>
#include <QPainterPath>
#include <QPolygon>

class QPainter;

// The window region in device pixels for a label of the given logical size: with r the ratio
// (1.0 when not positive), W = qRound(width r), H = qRound(height r), d = qRound(chamfer r) + 1,
// the points (d,0) (W-d,0) (W,d) (W,H-d) (W-d,H) (d,H) (0,H-d) (0,d).
QPolygon chamferRegionPolygon(int nWidth, int nHeight, int nChamfer, qreal fRatio);

// Path of the black backdrop behind a label with the given geometry (logical, in the parent's
// coordinates), snapped to the device grid so that it coincides with the label's region.
QPainterPath chamferBackdropPath(const QRect& labelGeometry, qreal fRatio, int nChamfer = 12);
// Fills that path black, antialiased, without an outline.
void paintChamferBackdrop(QPainter& painter, const QRect& labelGeometry, qreal fRatio, int nChamfer = 12);

// The eight corners of a rectangle with corners cut by nCut: (x+c,y) (x+w-c,y) (x+w,y+c)
// (x+w,y+h-c) (x+w-c,y+h) (x+c,y+h) (x,y+h-c) (x,y+c).
QPolygon chamferOctagon(const QRect& rect, int nCut = 12);

// Page painting of the live view: "#c0c0c0" background with a 20-pixel "#b3b3b2" grid.
void paintPageGrid(QPainter& painter, const QSize& pageSize);
// A black 2-pixel chamfered frame (cut 12) one pixel outside the given rectangle.
void paintChamferFrame(QPainter& painter, const QRect& enclosed);
// Frame and dark fill of a hosted module page. (l, t, b) are the left, top and bottom margins of
// the picture column's layout, modulePos and nModuleHeight the module's place in the page, nPanelX
// the x of the right-hand panel. Returns the framed rectangle.
QRect paintModuleFrame(QPainter& painter, int l, int t, int b, const QPoint& modulePos, int nModuleHeight,
                       int nPanelX);

class QChamferedLabel : public QLabel
{
    Q_OBJECT

public:
    explicit QChamferedLabel(QWidget* parent = nullptr);

    int chamferSize() const { return m_nChamferSize; }
    // Takes effect at the next resize or show.
    void setChamferSize(int nChamfer) { m_nChamferSize = nChamfer; }

    // The polygon (device pixels) of the last region applied; empty before the first.
    QPolygon appliedRegionPolygon() const { return m_appliedPolygon; }
    // Ratio used for the last region applied (0 before the first).
    qreal appliedRatio() const { return m_fAppliedRatio; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void applyWindowRegion();

    int m_nChamferSize = 12;
    QPolygon m_appliedPolygon;
    qreal m_fAppliedRatio = 0;
};
