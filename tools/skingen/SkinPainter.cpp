#include "SkinPainter.h"

#include <QFont>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>
#include <functional>

namespace SkinPainter {
namespace {

const QColor kIcon("#C8C8C8");   // icons at rest
const QColor kAccent("#E67E22"); // selected, highlighted, pressed
const QColor kText("#F5F5F5");
const QColor kRed("#E74C3C");
const QColor kGreen("#27AE60");
const QColor kBlue("#3498DB");

using Drawing = std::function<void(QPainter&)>;

QPolygonF poly(std::initializer_list<QPointF> points) { return QPolygonF(QVector<QPointF>(points)); }

// Renders a drawing made on a gridW x gridH design grid into a w x h transparent image.
QImage render(int w, int h, const Drawing& draw, qreal gridW = 24, qreal gridH = 24)
{
    QImage image(w, h, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    {
        QPainter p(&image);
        p.setRenderHint(QPainter::Antialiasing, true);
        p.setRenderHint(QPainter::SmoothPixmapTransform, true);
        p.scale(w / gridW, h / gridH);
        draw(p);
    }
    return image.convertToFormat(QImage::Format_ARGB32);
}

QPen stroke(const QColor& c, qreal w = 1.8)
{
    return QPen(c, w, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
}

void outline(QPainter& p, const QColor& c, qreal w = 1.8)
{
    p.setPen(stroke(c, w));
    p.setBrush(Qt::NoBrush);
}

void solid(QPainter& p, const QColor& c)
{
    p.setPen(Qt::NoPen);
    p.setBrush(c);
}

// Filled arrow head whose tip lies `len` ahead of `at` along `dir`.
void arrowHead(QPainter& p, QPointF at, QPointF dir, qreal len, qreal half, const QColor& c)
{
    const qreal n = qSqrt(dir.x() * dir.x() + dir.y() * dir.y());
    if (n <= 0)
        return;
    const QPointF t(dir.x() / n, dir.y() / n);
    const QPointF o(-t.y(), t.x());
    solid(p, c);
    p.drawPolygon(poly({at + t * len, at + o * half, at - o * half}));
}

// ---- icons on a 24 x 24 grid -------------------------------------------------------------

void videoCamera(QPainter& p, const QColor& c)
{
    outline(p, c);
    p.drawRoundedRect(QRectF(3, 7, 12.5, 10), 2, 2);
    p.drawPolygon(poly({{15.5, 10.5}, {21, 7.5}, {21, 16.5}, {15.5, 13.5}}));
    solid(p, c);
    p.drawEllipse(QPointF(7, 11), 1.3, 1.3);
}

void gear(QPainter& p, const QColor& c)
{
    QPolygonF teeth;
    const QPointF centre(12, 12);
    for (int i = 0; i < 8; ++i) {
        const qreal a = i * 45.0;
        for (const auto& step : {std::pair<qreal, qreal>{-15, 6.9}, {-8, 9.6}, {8, 9.6}, {15, 6.9}}) {
            const qreal rad = qDegreesToRadians(a + step.first);
            teeth << centre + QPointF(step.second * qCos(rad), step.second * qSin(rad));
        }
    }
    QPainterPath body;
    body.addPolygon(teeth);
    body.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(centre, 3.2, 3.2);
    solid(p, c);
    p.drawPath(body.subtracted(hole));
}

void chipInfo(QPainter& p, const QColor& c)
{
    outline(p, c, 1.6);
    p.drawRoundedRect(QRectF(6.5, 6.5, 11, 11), 1.5, 1.5);
    for (qreal k : {9.5, 12.0, 14.5}) {
        p.drawLine(QPointF(k, 3), QPointF(k, 6.5));
        p.drawLine(QPointF(k, 17.5), QPointF(k, 21));
        p.drawLine(QPointF(3, k), QPointF(6.5, k));
        p.drawLine(QPointF(17.5, k), QPointF(21, k));
    }
    p.drawLine(QPointF(12, 11.4), QPointF(12, 15));
    solid(p, c);
    p.drawEllipse(QPointF(12, 9.3), 1.0, 1.0);
}

void calibrationTarget(QPainter& p, const QColor& c)
{
    outline(p, c);
    const qreal a = 3, b = 21, l = 5;
    p.drawPolyline(poly({{a, a + l}, {a, a}, {a + l, a}}));
    p.drawPolyline(poly({{b - l, a}, {b, a}, {b, a + l}}));
    p.drawPolyline(poly({{b, b - l}, {b, b}, {b - l, b}}));
    p.drawPolyline(poly({{a + l, b}, {a, b}, {a, b - l}}));
    p.drawEllipse(QPointF(12, 12), 4.6, 4.6);
    solid(p, c);
    p.drawEllipse(QPointF(12, 12), 1.6, 1.6);
}

void superResolution(QPainter& p, const QColor& c)
{
    outline(p, c, 1.5);
    p.drawRoundedRect(QRectF(3, 3, 18, 18), 2, 2);
    solid(p, c);
    for (int i = 0; i < 2; ++i)
        for (int j = 0; j < 2; ++j)
            p.drawRect(QRectF(5.5 + i * 3.6, 12 + j * 3.6, 3, 3));
    outline(p, c, 1.8);
    p.drawLine(QPointF(13, 11), QPointF(17.6, 6.4));
    p.drawPolyline(poly({{13.8, 6}, {18, 6}, {18, 10.2}}));
}

void sharpen(QPainter& p, const QColor& c)
{
    solid(p, c);
    p.drawPolygon(poly({{12, 3}, {12, 21}, {3, 12}}));
    outline(p, c);
    p.drawPolygon(poly({{12, 3}, {21, 12}, {12, 21}, {3, 12}}));
}

void rotateArrow(QPainter& p, const QColor& c)
{
    const QRectF ring(4.5, 4.5, 15, 15);
    QPainterPath arc;
    arc.arcMoveTo(ring, 100);
    arc.arcTo(ring, 100, -290);
    outline(p, c, 1.9);
    p.drawPath(arc);
    // Clockwise travel: the end of the arc heads along (sin a, cos a) in screen coordinates.
    const qreal endDeg = 100 - 290;
    const qreal rad = qDegreesToRadians(endDeg);
    const QPointF end(12 + 7.5 * qCos(rad), 12 - 7.5 * qSin(rad));
    arrowHead(p, end, QPointF(qSin(rad), qCos(rad)), 3.6, 3.2, c);
}

void snowflake(QPainter& p, const QColor& c)
{
    outline(p, c, 1.6);
    const QPointF centre(12, 12);
    for (int i = 0; i < 6; ++i) {
        const qreal a = qDegreesToRadians(90.0 + 60.0 * i);
        const QPointF dir(qCos(a), -qSin(a));
        p.drawLine(centre, centre + dir * 9.5);
        const QPointF fork = centre + dir * 5.6;
        for (int s : {-1, 1}) {
            const qreal b = a + s * qDegreesToRadians(45.0);
            p.drawLine(fork, fork + QPointF(qCos(b), -qSin(b)) * 3.4);
        }
    }
}

void zoomStep(QPainter& p, const QColor& c, bool bPlus)
{
    outline(p, c, 1.7);
    p.drawEllipse(QPointF(12, 12), 9.6, 9.6);
    p.drawLine(QPointF(7.5, 12), QPointF(16.5, 12));
    if (bPlus)
        p.drawLine(QPointF(12, 7.5), QPointF(12, 16.5));
}

void camera(QPainter& p, const QColor& c)
{
    outline(p, c);
    QPainterPath body;
    body.addRoundedRect(QRectF(2.5, 7, 19, 13), 2.5, 2.5);
    p.drawPath(body);
    p.drawPolyline(poly({{8, 7}, {9.5, 4.5}, {14.5, 4.5}, {16, 7}}));
    p.drawEllipse(QPointF(12, 13.5), 3.8, 3.8);
    solid(p, c);
    p.drawEllipse(QPointF(18.2, 10), 0.9, 0.9);
}

void recordDot(QPainter& p, const QColor& ring, const QColor& dot)
{
    outline(p, ring, 1.7);
    p.drawEllipse(QPointF(12, 12), 9.4, 9.4);
    solid(p, dot);
    p.drawEllipse(QPointF(12, 12), 5.2, 5.2);
}

void plug(QPainter& p, const QColor& c)
{
    outline(p, c);
    p.drawLine(QPointF(9.5, 3), QPointF(9.5, 8));
    p.drawLine(QPointF(14.5, 3), QPointF(14.5, 8));
    p.drawPolygon(poly({{6.5, 8}, {17.5, 8}, {17.5, 12}, {14, 16.5}, {10, 16.5}, {6.5, 12}}));
    p.drawLine(QPointF(12, 16.5), QPointF(12, 21.5));
}

QPainterPath crescent(QPointF centre, qreal r, QPointF bite, qreal rb)
{
    QPainterPath moon;
    moon.addEllipse(centre, r, r);
    QPainterPath cut;
    cut.addEllipse(bite, rb, rb);
    return moon.subtracted(cut);
}

void moon(QPainter& p, const QColor& c)
{
    solid(p, c);
    p.drawPath(crescent(QPointF(11.5, 12.5), 8.5, QPointF(16.5, 8.5), 7.2));
    p.drawEllipse(QPointF(18.5, 16.5), 1.1, 1.1);
}

void bin(QPainter& p, const QColor& c)
{
    outline(p, c, 1.6);
    p.drawLine(QPointF(4.5, 6.5), QPointF(19.5, 6.5));
    p.drawPolyline(poly({{9.5, 6.5}, {9.5, 4}, {14.5, 4}, {14.5, 6.5}}));
    p.drawPolygon(poly({{6.5, 6.5}, {7.5, 20.5}, {16.5, 20.5}, {17.5, 6.5}}));
    p.drawLine(QPointF(10, 10), QPointF(10.3, 17.5));
    p.drawLine(QPointF(14, 10), QPointF(13.7, 17.5));
}

void folder(QPainter& p, const QColor& c)
{
    solid(p, c.darker(135));
    p.drawPolygon(poly({{3, 5.5}, {9.5, 5.5}, {11.5, 7.5}, {21, 7.5}, {21, 18.5}, {3, 18.5}}));
    solid(p, c);
    p.drawPolygon(poly({{3, 10}, {21, 10}, {21, 18.5}, {3, 18.5}}));
}

// ---- larger pieces -------------------------------------------------------------------------

// Title bar buttons, 20 x 20 grid.
void titleMin(QPainter& p, const QColor& c)
{
    outline(p, c, 1.5);
    p.drawLine(QPointF(5, 10.5), QPointF(15, 10.5));
}
void titleMax(QPainter& p, const QColor& c)
{
    outline(p, c, 1.5);
    p.drawRect(QRectF(5, 5, 10, 10));
}
void titleRestore(QPainter& p, const QColor& c)
{
    outline(p, c, 1.5);
    p.drawRect(QRectF(4.5, 7.5, 8, 8));
    p.drawPolyline(poly({{7.5, 7.5}, {7.5, 4.5}, {15.5, 4.5}, {15.5, 12.5}, {12.5, 12.5}}));
}
void titleClose(QPainter& p, const QColor& c)
{
    outline(p, c, 1.6);
    p.drawLine(QPointF(5.5, 5.5), QPointF(14.5, 14.5));
    p.drawLine(QPointF(14.5, 5.5), QPointF(5.5, 14.5));
}
void titleInfo(QPainter& p, const QColor& c)
{
    outline(p, c, 1.4);
    p.drawEllipse(QPointF(10, 10), 7, 7);
    p.drawLine(QPointF(10, 9), QPointF(10, 13.5));
    solid(p, c);
    p.drawEllipse(QPointF(10, 6.6), 0.9, 0.9);
}

// Status lights, 20 x 20 grid.
void lamp(QPainter& p, const QColor& c)
{
    QColor glow = c;
    glow.setAlpha(70);
    solid(p, glow);
    p.drawEllipse(QPointF(10, 10), 8.5, 8.5);
    solid(p, c);
    p.drawEllipse(QPointF(10, 10), 5.5, 5.5);
    solid(p, QColor(255, 255, 255, 110));
    p.drawEllipse(QPointF(8.4, 8.2), 1.7, 1.7);
}
void lampOff(QPainter& p)
{
    const QColor grey("#7F8C8D");
    outline(p, grey, 1.4);
    p.drawEllipse(QPointF(10, 10), 7.5, 7.5);
    solid(p, grey.darker(120));
    p.drawEllipse(QPointF(10, 10), 4.6, 4.6);
    outline(p, QColor("#B0B6B8"), 1.6);
    p.drawLine(QPointF(4.8, 15.2), QPointF(15.2, 4.8));
}
void lampDormant(QPainter& p)
{
    const QColor amber("#F1C40F");
    QColor glow = amber;
    glow.setAlpha(60);
    solid(p, glow);
    p.drawEllipse(QPointF(10, 10), 8.5, 8.5);
    solid(p, amber);
    p.drawPath(crescent(QPointF(10, 10.4), 6.2, QPointF(13.6, 7.6), 5.2));
}

// Notice icons, 24 x 24 grid.
void noticeDisc(QPainter& p, const QColor& disc)
{
    solid(p, disc);
    p.drawEllipse(QPointF(12, 12), 11, 11);
}
void noticeInfo(QPainter& p)
{
    noticeDisc(p, kBlue);
    outline(p, Qt::white, 2.6);
    p.drawLine(QPointF(12, 10.8), QPointF(12, 17.2));
    solid(p, Qt::white);
    p.drawEllipse(QPointF(12, 7), 1.6, 1.6);
}
void noticeSuccess(QPainter& p)
{
    noticeDisc(p, kGreen);
    outline(p, Qt::white, 2.6);
    p.drawPolyline(poly({{6.8, 12.4}, {10.4, 16}, {17.2, 8.6}}));
}
void noticeFail(QPainter& p)
{
    noticeDisc(p, kRed);
    outline(p, Qt::white, 2.6);
    p.drawLine(QPointF(8, 8), QPointF(16, 16));
    p.drawLine(QPointF(16, 8), QPointF(8, 16));
}

// Radio indicators, 16 x 16 grid.
void radio(QPainter& p, bool bChecked)
{
    p.setPen(QPen(bChecked ? kAccent : QColor("#8A8A8A"), 1.3));
    p.setBrush(QColor("#333333"));
    p.drawEllipse(QPointF(8, 8), 6.5, 6.5);
    if (bChecked) {
        solid(p, kAccent);
        p.drawEllipse(QPointF(8, 8), 3.6, 3.6);
    }
}

// Range handle, 25 x 18 grid: a pointer and a rule across the colour bar; a dark rim keeps
// it readable over both ends of any palette.
void rangeHandle(QPainter& p, const QColor& c)
{
    const QPolygonF pointer = poly({{1, 3.5}, {9, 9}, {1, 14.5}});
    const QColor rim("#1E1E1E");
    p.setPen(QPen(rim, 3.4, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(rim);
    p.drawPolygon(pointer);
    p.drawLine(QPointF(8, 9), QPointF(23.5, 9));
    p.setPen(QPen(c, 1.8, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(c);
    p.drawPolygon(pointer);
    p.drawLine(QPointF(8, 9), QPointF(23.5, 9));
}

// Button plates, 128 x 40.
QImage plate(const QColor& fill, const QColor& rim, qreal rimWidth)
{
    return render(128, 40, [&](QPainter& p) {
        p.setPen(QPen(rim, rimWidth));
        p.setBrush(fill);
        const qreal inset = rimWidth / 2;
        p.drawRoundedRect(QRectF(inset, inset, 128 - 2 * inset, 40 - 2 * inset), 4, 4);
    }, 128, 40);
}

QImage divideLine()
{
    QImage image(550, 2, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter p(&image);
    for (int row = 0; row < 2; ++row) {
        const QColor c = row == 0 ? QColor("#161616") : QColor("#4A4A4A");
        QLinearGradient g(0, 0, 550, 0);
        QColor edge = c;
        edge.setAlpha(0);
        g.setColorAt(0.0, edge);
        g.setColorAt(0.12, c);
        g.setColorAt(0.88, c);
        g.setColorAt(1.0, edge);
        p.fillRect(QRectF(0, row, 550, 1), g);
    }
    p.end();
    return image;
}

// Palette swatch, hot at the top; stops run from cold (0) to hot (1).
QImage swatch(const QVector<QPair<qreal, QColor>>& stops)
{
    return render(24, 24, [&](QPainter& p) {
        QLinearGradient g(0, 21, 0, 3);
        for (const auto& stop : stops)
            g.setColorAt(stop.first, stop.second);
        p.setPen(QPen(QColor("#6A6A6A"), 1));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(2.5, 2.5, 19, 19), 3, 3);
    });
}

// The emblem on a 64 x 64 grid: thermometer inside an orange ring. discAlpha sets how much
// of the picture shows through the inside; the outside is always fully transparent.
void emblem(QPainter& p, int nDiscAlpha, bool bDetailed)
{
    const QPointF centre(32, 32);
    QColor disc("#181818");
    disc.setAlpha(nDiscAlpha);
    solid(p, disc);
    p.drawEllipse(centre, 29, 29);
    p.setPen(QPen(kAccent, bDetailed ? 4 : 5.5));
    p.setBrush(Qt::NoBrush);
    p.drawEllipse(centre, 28, 28);

    // Glass of the thermometer.
    solid(p, kText);
    QPainterPath glass;
    glass.addRoundedRect(QRectF(26.5, 11, 11, 32), 5.5, 5.5);
    glass.addEllipse(QPointF(32, 45), 9.5, 9.5);
    p.drawPath(glass.simplified());

    // Hot column.
    QLinearGradient heat(0, 20, 0, 54);
    heat.setColorAt(0.0, kAccent);
    heat.setColorAt(1.0, kRed);
    p.setBrush(heat);
    QPainterPath column;
    column.addRoundedRect(QRectF(29.5, 21, 5, 24), 2.5, 2.5);
    column.addEllipse(QPointF(32, 45), 6.3, 6.3);
    p.drawPath(column.simplified());

    if (bDetailed) {
        outline(p, kText, 2.6);
        for (qreal y : {15.0, 21.0, 27.0})
            p.drawLine(QPointF(41, y), QPointF(46, y));
    }
}

QImage emblemImage(int nSize, int nDiscAlpha, bool bDetailed)
{
    return render(nSize, nSize, [&](QPainter& p) { emblem(p, nDiscAlpha, bDetailed); }, 64, 64);
}

QImage logoText()
{
    QImage image(160, 44, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing, true);
    p.save();
    p.translate(2, 4);
    p.scale(36.0 / 64, 36.0 / 64);
    emblem(p, 255, true);
    p.restore();

    QFont font("DejaVu Sans");
    font.setPixelSize(21);
    font.setBold(true);
    QPainterPath head;
    head.addText(QPointF(44, 29.5), font, "Therm");
    const qreal headWidth = head.boundingRect().width();
    QPainterPath tail;
    tail.addText(QPointF(44 + headWidth + 1.5, 29.5), font, "ava");
    solid(p, kText);
    p.drawPath(head);
    solid(p, kAccent);
    p.drawPath(tail);
    p.end();
    return image.convertToFormat(QImage::Format_ARGB32);
}

QImage icon24(const std::function<void(QPainter&, const QColor&)>& draw, const QColor& c, int nSize = 24)
{
    return render(nSize, nSize, [&](QPainter& p) { draw(p, c); });
}

QImage icon20(const std::function<void(QPainter&, const QColor&)>& draw, const QColor& c, int nSize = 20)
{
    return render(nSize, nSize, [&](QPainter& p) { draw(p, c); }, 20, 20);
}

QColor blend(const QColor& a, const QColor& b, qreal t)
{
    return QColor::fromRgbF(a.redF() + (b.redF() - a.redF()) * t, a.greenF() + (b.greenF() - a.greenF()) * t,
                            a.blueF() + (b.blueF() - a.blueF()) * t);
}

} // namespace

QImage appIcon(int nSize) { return emblemImage(nSize, 255, nSize >= 32); }

QVector<SkinImage> stillImages()
{
    QVector<SkinImage> list;
    auto add = [&list](const QString& name, const QImage& image) { list.append({name, image}); };

    // Emblem: the window icon is opaque inside; the stamps let the picture show through.
    add("LOGO.png", emblemImage(64, 255, true));
    add("LOGO_CN.png", emblemImage(50, 150, true));
    add("LOGO_CN25.png", emblemImage(25, 150, false));
    add("logo_text.png", logoText());

    add("state_Online.png", render(20, 20, [](QPainter& p) { lamp(p, QColor("#2ECC71")); }, 20, 20));
    add("state_Offline.png", render(20, 20, [](QPainter& p) { lampOff(p); }, 20, 20));
    add("state_Dormancy.png", render(20, 20, [](QPainter& p) { lampDormant(p); }, 20, 20));

    add("video_preview_n.png", icon24(videoCamera, kIcon, 36));
    add("video_preview_p.png", icon24(videoCamera, kAccent, 36));
    add("material_manage_n.png", icon24(gear, kIcon, 36));
    add("material_manage_p.png", icon24(gear, kAccent, 36));
    add("image_analyse_n.png", icon24(chipInfo, kIcon, 36));
    add("image_analyse_p.png", icon24(chipInfo, kAccent, 36));

    add("wnd_divide_line_550.png", divideLine());

    add("common_info.png", render(24, 24, noticeInfo));
    add("common_sucess.png", render(24, 24, noticeSuccess));
    add("common_fail.png", render(24, 24, noticeFail));

    add("btn_n.png", plate(QColor("#3A3A3A"), QColor("#555555"), 1));
    add("btn_s.png", plate(blend(QColor("#3A3A3A"), kAccent, 0.16), kAccent, 1.5));
    add("color_btn_n.png", plate(QColor("#333333"), QColor("#4A4A4A"), 1));
    add("color_btn_s.png", plate(blend(QColor("#333333"), kAccent, 0.24), kAccent, 2));

    add("galleryIcon_Baire.png", swatch({{0.0, Qt::black}, {1.0, Qt::white}}));
    add("galleryIcon_Heire.png", swatch({{0.0, Qt::white}, {1.0, Qt::black}}));
    add("galleryIcon_Tiehong.png", swatch({{0.0, QColor("#000000")},
                                           {0.25, QColor("#3C0A6E")},
                                           {0.5, QColor("#B4143C")},
                                           {0.72, QColor("#F06414")},
                                           {0.9, QColor("#FFD21E")},
                                           {1.0, QColor("#FFFFE6")}}));
    add("galleryIcon_Rainbow.png", swatch({{0.0, QColor("#1E1EC8")},
                                           {0.25, QColor("#00B4FF")},
                                           {0.5, QColor("#1EC83C")},
                                           {0.75, QColor("#FFE600")},
                                           {1.0, QColor("#FF2814")}}));

    add("imagecorrect_n.png", icon24(calibrationTarget, kIcon));
    add("imagecorrect_s.png", icon24(calibrationTarget, kAccent));
    add("superres_n.png", icon24(superResolution, kIcon));
    add("superres_s.png", icon24(superResolution, kAccent));
    add("imagesharpen_n.png", icon24(sharpen, kIcon));
    add("imagesharpen_s.png", icon24(sharpen, kAccent));
    add("imagerotate_n.png", icon24(rotateArrow, kIcon));
    add("imagerotate_s.png", icon24(rotateArrow, kAccent));
    add("galleryIcon_freeze.png", icon24(snowflake, QColor("#BFE6FF")));

    add("Icon-decrease_Normal.png", icon24([](QPainter& p, const QColor& c) { zoomStep(p, c, false); }, kIcon, 20));
    add("Icon-increase_Normal.png", icon24([](QPainter& p, const QColor& c) { zoomStep(p, c, true); }, kIcon, 20));

    add("video_screenshot.png", icon24(camera, kIcon));
    add("video_screenshot_s.png", icon24(camera, kAccent));
    add("video_record.png", render(24, 24, [](QPainter& p) { recordDot(p, kIcon, QColor("#C0392B")); }));
    add("video_recording.png", render(24, 24, [](QPainter& p) { recordDot(p, kAccent, QColor("#FF3B2F")); }));

    add("connect_n.png", icon24(plug, kIcon));
    add("connect_s.png", icon24(plug, kAccent));
    add("sleep_n.png", icon24(moon, kIcon));
    add("sleep_s.png", icon24(moon, kAccent));

    add("galleryIcon_Delete_n.png", icon24(bin, kIcon, 20));
    add("galleryIcon_Delete_h.png", icon24(bin, kAccent, 20));
    add("sel_path.png", icon24(folder, kIcon, 20));

    // Stylesheet pieces.
    const QColor titleIcon("#D8D8D8");
    add("title_info.png", icon20(titleInfo, titleIcon));
    add("title_min.png", icon20(titleMin, titleIcon));
    add("title_max.png", icon20(titleMax, titleIcon));
    add("title_restore.png", icon20(titleRestore, titleIcon));
    add("title_close.png", icon20(titleClose, titleIcon));
    add("combo_arrow.png", render(12, 12, [](QPainter& p) {
            outline(p, kIcon, 1.6);
            p.drawPolyline(poly({{2.5, 4.5}, {6, 8}, {9.5, 4.5}}));
        }, 12, 12));
    add("radio_n.png", render(16, 16, [](QPainter& p) { radio(p, false); }, 16, 16));
    add("radio_s.png", render(16, 16, [](QPainter& p) { radio(p, true); }, 16, 16));
    add("range_handle.png", render(25, 18, [](QPainter& p) { rangeHandle(p, kText); }, 25, 18));
    add("range_handle_s.png", render(25, 18, [](QPainter& p) { rangeHandle(p, kAccent); }, 25, 18));
    return list;
}

QVector<QImage> loadingFrames()
{
    // Twelve dots on a ring; the orange head runs clockwise and its trail fades into grey.
    // Colours, not alpha, make the fade, so the one-bit transparency of GIF keeps clean edges.
    constexpr int kDots = 12;
    const QColor rest("#5A5A5A");
    QVector<QImage> frames;
    for (int f = 0; f < kDots; ++f) {
        frames.append(render(48, 48, [&](QPainter& p) {
            for (int i = 0; i < kDots; ++i) {
                const int age = (f - i + kDots) % kDots;
                const qreal t = qMin(1.0, age / 6.0);
                const qreal a = qDegreesToRadians(-90.0 + 360.0 / kDots * i);
                const QPointF at(24 + 17 * qCos(a), 24 + 17 * qSin(a));
                solid(p, blend(kAccent, rest, t));
                const qreal r = 3.8 - 1.0 * t;
                p.drawEllipse(at, r, r);
            }
        }, 48, 48));
    }
    return frames;
}

} // namespace SkinPainter
