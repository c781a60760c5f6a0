// Video window: the label's octagonal window region, the black backdrop that must coincide with
// it, and the page painting helpers. Runs at a device pixel ratio of 1.5 (set before the
// application starts) so that the rounding of fractional ratios is exercised on real widgets.
#include "liveview/QChamferedLabel.h"
#include "liveview/QVideoWndWidget.h"
#include "support/TestSupport.h"

#include <QImage>
#include <QPainter>
#include <QScreen>
#include <QtTest>

namespace {

QPolygon octagon(int W, int H, int d)
{
    return QPolygon() << QPoint(d, 0) << QPoint(W - d, 0) << QPoint(W, d) << QPoint(W, H - d) << QPoint(W - d, H)
                      << QPoint(d, H) << QPoint(0, H - d) << QPoint(0, d);
}

// The backdrop's vertices in device pixels relative to the label's device origin.
QPolygon backdropInLabelDevicePixels(const QRect& geometry, qreal r)
{
    const QPainterPath path = chamferBackdropPath(geometry, r);
    const QPoint origin(qRound(geometry.x() * r), qRound(geometry.y() * r));
    QPolygon points;
    for (int i = 0; i < path.elementCount() && points.size() < 8; ++i) {
        const QPointF device = QPointF(path.elementAt(i).x, path.elementAt(i).y) * r;
        // Snapped coordinates are whole device pixels up to floating-point noise; anything else
        // shows up as a vertex that does not match.
        if (qAbs(device.x() - qRound(device.x())) > 1e-6 || qAbs(device.y() - qRound(device.y())) > 1e-6)
            points << QPoint(-9999, -9999);
        else
            points << QPoint(qRound(device.x()), qRound(device.y())) - origin;
    }
    return points;
}

qreal distanceToOutline(const QPolygon& polygon, const QPointF& p)
{
    qreal fBest = 1e9;
    for (int i = 0; i < polygon.size(); ++i) {
        const QPointF a = polygon.at(i);
        const QPointF b = polygon.at((i + 1) % polygon.size());
        const QPointF ab = b - a;
        const qreal fLen2 = QPointF::dotProduct(ab, ab);
        const qreal t = fLen2 > 0 ? qBound(0.0, QPointF::dotProduct(p - a, ab) / fLen2, 1.0) : 0.0;
        const QPointF d = p - (a + t * ab);
        fBest = qMin(fBest, qSqrt(QPointF::dotProduct(d, d)));
    }
    return fBest;
}

} // namespace

class TestVideoWnd : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initCommon(); }

    void regionPolygonAtRatios()
    {
        QCOMPARE(chamferRegionPolygon(368, 268, 12, 1.0), octagon(368, 268, 13));
        // 12 x 1.5 = 18, plus one: 19 device pixels.
        QCOMPARE(chamferRegionPolygon(368, 268, 12, 1.5), octagon(552, 402, 19));
        // Halves round away from zero: 101 x 1.5 = 151.5 -> 152, 7 x 1.5 = 10.5 -> 11 (+1).
        QCOMPARE(chamferRegionPolygon(101, 61, 7, 1.5), octagon(152, 92, 12));
        // A ratio that is not positive counts as 1.
        QCOMPARE(chamferRegionPolygon(100, 80, 12, 0.0), octagon(100, 80, 13));
        QCOMPARE(chamferRegionPolygon(100, 80, 12, -2.0), octagon(100, 80, 13));
    }

    void backdropCoincidesWithRegion_data()
    {
        QTest::addColumn<QRect>("geometry");
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("ratio 1") << QRect(16, 16, 368, 268) << qreal(1.0);
        QTest::newRow("ratio 1.5") << QRect(16, 16, 368, 268) << qreal(1.5);
        QTest::newRow("ratio 1.5, odd place and size") << QRect(17, 17, 367, 267) << qreal(1.5);
        QTest::newRow("ratio 1.25") << QRect(16, 16, 101, 75) << qreal(1.25);
    }

    void backdropCoincidesWithRegion()
    {
        QFETCH(QRect, geometry);
        QFETCH(qreal, ratio);
        QCOMPARE(backdropInLabelDevicePixels(geometry, ratio),
                 chamferRegionPolygon(geometry.width(), geometry.height(), 12, ratio));
        // In logical pixels the backdrop's chamfer is 19 / 1.5 at ratio 1.5.
        if (ratio == 1.5) {
            const QPainterPath path = chamferBackdropPath(geometry, ratio);
            QCOMPARE(path.elementAt(0).x - path.elementAt(7).x, 19 / 1.5);
        }
    }

    void labelRegionOnTheLiveWidget()
    {
        // As on the live view page, the video window is a child of the page.
        QWidget page;
        page.resize(800, 600);
        auto* pWnd = new QVideoWndWidget(&page);
        QChamferedLabel* pLabel = pWnd->videoLabel();
        QCOMPARE(pLabel->objectName(), QString("VideoWndLabel"));
        QCOMPARE(pLabel->chamferSize(), 12);
        QVERIFY(pLabel->testAttribute(Qt::WA_NativeWindow));
        QVERIFY(pLabel->appliedRegionPolygon().isEmpty());

        pWnd->setGeometry(0, 0, 400, 300);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const qreal r = pWnd->devicePixelRatioF();
        QCOMPARE(pLabel->geometry(), QRect(16, 16, 368, 268));
        QVERIFY(pWnd->videoWindowHandle() != 0);
        QCOMPARE(pWnd->videoWindowHandle(), pLabel->winId());

        QCOMPARE(pLabel->appliedRatio(), r);
        QCOMPARE(pLabel->appliedRegionPolygon(), chamferRegionPolygon(368, 268, 12, r));
        const QRegion mask = pLabel->mask();
        QVERIFY(!mask.contains(QPoint(1, 1)));
        QVERIFY(!mask.contains(QPoint(366, 266)));
        QVERIFY(mask.contains(QPoint(184, 134)));
        QVERIFY(mask.contains(QPoint(13, 1)));
        QVERIFY(mask.contains(QPoint(1, 134)));

        // The region follows a resize of the visible window.
        pWnd->resize(500, 300);
        // Let the window system confirm the native geometry, as the event loop would.
        QCoreApplication::processEvents();
        QCOMPARE(pLabel->width(), 468);
        QCOMPARE(pLabel->appliedRegionPolygon(), chamferRegionPolygon(468, 268, 12, r));

        // A zero-sized label keeps the region it had.
        pLabel->resize(0, 100);
        QCoreApplication::processEvents();
        QCOMPARE(pLabel->appliedRegionPolygon(), chamferRegionPolygon(468, 268, 12, r));

        // Hidden, it keeps its region too, and gets the right one when shown again.
        pWnd->hide();
        pWnd->resize(300, 200);
        QCoreApplication::processEvents();
        QCOMPARE(pLabel->appliedRegionPolygon(), chamferRegionPolygon(468, 268, 12, r));
        pWnd->show();
        QCOMPARE(pLabel->width(), 268);
        QCOMPARE(pLabel->appliedRegionPolygon(), chamferRegionPolygon(268, 168, 12, r));
    }

    void nativeWindowShapeOnScreen()
    {
        QWidget page;
        page.resize(260, 200);
        auto* pWnd = new QVideoWndWidget(&page);
        pWnd->setGeometry(0, 0, 200, 150);
        QChamferedLabel* pLabel = pWnd->videoLabel();
        // Stand-in for the rendered picture.
        pLabel->setStyleSheet("QLabel{background-color: #ff0000;}");
        // Out of the way of windows that other tests put at the screen's origin.
        const QRect screen = QGuiApplication::primaryScreen()->geometry();
        page.move(screen.right() - 300, screen.bottom() - 240);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        const qreal r = pWnd->devicePixelRatioF();
        QCOMPARE(r, qEnvironmentVariable("QT_SCALE_FACTOR").toDouble());

        // Qt takes window masks in logical pixels, so at ratios other than 1 the native shape
        // may differ from the device polygon, but never by more than one logical pixel.
        const QPoint origin(qRound(16 * r), qRound(16 * r));
        const QPolygon polygon = chamferRegionPolygon(pLabel->width(), pLabel->height(), 12, r);
        const QRegion expected(polygon, Qt::OddEvenFill);
        int nMismatch = -1;
        qreal fWorst = 0;
        bool bCornerOpen = false;
        bool bEdgeCovered = false;
        const auto measure = [&]() {
            page.raise();
            const QImage shot = page.screen()->grabWindow(page.winId()).toImage();
            const auto red = [&](const QPoint& p) { return shot.pixelColor(origin + p) == QColor(Qt::red); };
            if (!red(QPoint(pLabel->width() / 2, pLabel->height() / 2)))
                return false;   // not drawn yet
            nMismatch = 0;
            fWorst = 0;
            const int nSpan = qRound(30 * r);
            for (int y = 0; y < nSpan; ++y) {
                for (int x = 0; x < nSpan; ++x) {
                    if (red(QPoint(x, y)) != expected.contains(QPoint(x, y))) {
                        ++nMismatch;
                        fWorst = qMax(fWorst, distanceToOutline(polygon, QPointF(x + 0.5, y + 0.5)));
                    }
                }
            }
            bCornerOpen = !red(QPoint(1, 1));
            bEdgeCovered = red(QPoint(qRound(20 * r), 1));
            return (r != 1.0 || nMismatch == 0) && fWorst <= r + 0.5 && bCornerOpen && bEdgeCovered;
        };
        // Retried, in case another test's window passes over this one meanwhile.
        QTRY_VERIFY_WITH_TIMEOUT(measure(), 3000);
    }

    void pagePainting()
    {
        QImage page(300, 200, QImage::Format_RGB32);
        QPainter painter(&page);
        paintPageGrid(painter, page.size());
        QCOMPARE(page.pixelColor(10, 10), QColor("#c0c0c0"));
        QCOMPARE(page.pixelColor(20, 10), QColor("#b3b3b2"));
        QCOMPARE(page.pixelColor(10, 40), QColor("#b3b3b2"));

        // The frame runs one pixel outside the enclosed rectangle, with its corners cut.
        const QRect enclosed(40, 40, 200, 120);
        paintChamferFrame(painter, enclosed);
        QCOMPARE(page.pixelColor(39, 100), QColor(Qt::black));
        QCOMPARE(page.pixelColor(140, 39), QColor(Qt::black));
        QCOMPARE(page.pixelColor(240, 100), QColor(Qt::black));
        QVERIFY(page.pixelColor(41, 41) != QColor(Qt::black));
        QVERIFY(page.pixelColor(45, 100) != QColor(Qt::black));

        // A hosted module: frame plus a dark body 16 pixels inside it.
        QImage module(400, 300, QImage::Format_RGB32);
        module.fill(Qt::white);
        QPainter modulePainter(&module);
        const QRect framed = paintModuleFrame(modulePainter, 0, 0, 0, QPoint(0, 0), 248, 350);
        QCOMPARE(framed, QRect(24, 24, 302, 200));
        QCOMPARE(module.pixelColor(framed.center()), QColor("#3e3e3e"));
        QCOMPARE(module.pixelColor(framed.left() + 8, framed.center().y()), QColor(Qt::white));
        QCOMPARE(module.pixelColor(framed.left() - 1, framed.center().y()), QColor(Qt::black));
    }
};

int main(int argc, char** argv)
{
    // Must be set before the application object exists.
    if (!qEnvironmentVariableIsSet("QT_SCALE_FACTOR"))
        qputenv("QT_SCALE_FACTOR", "1.5");
    QApplication app(argc, argv);
    TestVideoWnd test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_videownd.moc"
