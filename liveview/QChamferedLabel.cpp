#include "liveview/QChamferedLabel.h"

#include <QPainter>
#include <QRegion>
#include <QResizeEvent>
#include <QShowEvent>

namespace {

qreal validRatio(qreal fRatio) { return fRatio > 0 ? fRatio : 1.0; }

// Snaps a logical coordinate to the device pixel grid.
qreal snap(qreal v, qreal r) { return qRound(v * r) / r; }

} // namespace

QPolygon chamferRegionPolygon(int nWidth, int nHeight, int nChamfer, qreal fRatio)
{
    const qreal r = validRatio(fRatio);
    const int W = qRound(nWidth * r);
    const int H = qRound(nHeight * r);
    const int d = qRound(nChamfer * r) + 1;
    QPolygon polygon;
    polygon << QPoint(d, 0) << QPoint(W - d, 0) << QPoint(W, d) << QPoint(W, H - d) << QPoint(W - d, H)
            << QPoint(d, H) << QPoint(0, H - d) << QPoint(0, d);
    return polygon;
}

QPainterPath chamferBackdropPath(const QRect& labelGeometry, qreal fRatio, int nChamfer)
{
    const qreal r = validRatio(fRatio);
    const qreal k = (qRound(nChamfer * r) + 1) / r;
    const qreal x = snap(labelGeometry.x(), r);
    const qreal y = snap(labelGeometry.y(), r);
    const qreal w = snap(labelGeometry.width(), r);
    const qreal h = snap(labelGeometry.height(), r);
    QPainterPath path;
    path.moveTo(x + k, y);
    path.lineTo(x + w - k, y);
    path.lineTo(x + w, y + k);
    path.lineTo(x + w, y + h - k);
    path.lineTo(x + w - k, y + h);
    path.lineTo(x + k, y + h);
    path.lineTo(x, y + h - k);
    path.lineTo(x, y + k);
    path.closeSubpath();
    return path;
}

void paintChamferBackdrop(QPainter& painter, const QRect& labelGeometry, qreal fRatio, int nChamfer)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.fillPath(chamferBackdropPath(labelGeometry, fRatio, nChamfer), QColor("#000000"));
    painter.restore();
}

QPolygon chamferOctagon(const QRect& rect, int nCut)
{
    const int x = rect.x();
    const int y = rect.y();
    const int w = rect.width();
    const int h = rect.height();
    QPolygon polygon;
    polygon << QPoint(x + nCut, y) << QPoint(x + w - nCut, y) << QPoint(x + w, y + nCut) << QPoint(x + w, y + h - nCut)
            << QPoint(x + w - nCut, y + h) << QPoint(x + nCut, y + h) << QPoint(x, y + h - nCut) << QPoint(x, y + nCut);
    return polygon;
}

void paintPageGrid(QPainter& painter, const QSize& pageSize)
{
    painter.save();
    painter.fillRect(QRect(QPoint(0, 0), pageSize), QColor("#c0c0c0"));
    painter.setPen(QPen(QColor("#b3b3b2"), 1));
    for (int x = 0; x <= pageSize.width(); x += 20)
        painter.drawLine(x, 0, x, pageSize.height());
    for (int y = 0; y <= pageSize.height(); y += 20)
        painter.drawLine(0, y, pageSize.width(), y);
    painter.restore();
}

void paintChamferFrame(QPainter& painter, const QRect& enclosed)
{
    painter.save();
    painter.setPen(QPen(Qt::black, 2));
    painter.setBrush(Qt::NoBrush);
    const QRect outer(enclosed.x() - 1, enclosed.y() - 1, enclosed.width() + 2, enclosed.height() + 2);
    painter.drawPolygon(chamferOctagon(outer, 12));
    painter.restore();
}

QRect paintModuleFrame(QPainter& painter, int l, int t, int b, const QPoint& modulePos, int nModuleHeight, int nPanelX)
{
    const int x = l + modulePos.x() + 24;
    const int y = t + 24 + modulePos.y();
    const int w = nPanelX - 25 - x + 1;
    const int h = nModuleHeight - t - b - 48;
    const QRect framed(x, y, w, h);
    paintChamferFrame(painter, framed);
    painter.save();
    painter.setPen(Qt::NoPen);
    painter.setBrush(QColor("#3e3e3e"));
    painter.drawPolygon(chamferOctagon(framed.adjusted(16, 16, -16, -16), 12));
    painter.restore();
    return framed;
}

QChamferedLabel::QChamferedLabel(QWidget* parent)
    : QLabel(parent)
{
}

void QChamferedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    applyWindowRegion();
}

void QChamferedLabel::showEvent(QShowEvent* event)
{
    QLabel::showEvent(event);
    applyWindowRegion();
}

void QChamferedLabel::applyWindowRegion()
{
    if (!isVisible() || !internalWinId() || width() < 1 || height() < 1)
        return;
    const qreal r = validRatio(devicePixelRatioF());
    const QPolygon devicePolygon = chamferRegionPolygon(width(), height(), m_nChamferSize, r);
    // The mask is given in logical pixels; Qt scales it back to the native window's device
    // pixels, exactly at whole ratios and within a pixel at fractional ones.
    QPolygon logicalPolygon = devicePolygon;
    if (r != 1.0) {
        QPolygonF scaled;
        for (const QPoint& pt : devicePolygon)
            scaled << QPointF(pt) / r;
        logicalPolygon = scaled.toPolygon();
    }
    setMask(QRegion(logicalPolygon, Qt::OddEvenFill));
    m_appliedPolygon = devicePolygon;
    m_fAppliedRatio = r;
}
