// Where the hot point lands on the overlay for every direction, with and without zoom and
// super-resolution, and how the overlay fits the picture inside the video label.
#include "liveview/LiveViewGeometry.h"
#include "liveview/MeasureGeometry.h"

#include <QtTest>

using LiveViewGeometry::fitPicture;
using LiveViewGeometry::hotPointToOverlay;

class TestLiveViewGeometry : public QObject
{
    Q_OBJECT

private slots:
    void overlayKeepsThePictureAspect_data()
    {
        QTest::addColumn<QSize>("picture");
        QTest::addColumn<QSize>("label");
        QTest::addColumn<QRect>("expected");
        QTest::newRow("4:3 in a wide label") << QSize(256, 192) << QSize(1000, 600) << QRect(100, 0, 800, 600);
        QTest::newRow("quarter turn in the same label") << QSize(192, 256) << QSize(1000, 600) << QRect(275, 0, 450, 600);
        QTest::newRow("4:3 in a tall label") << QSize(256, 192) << QSize(400, 600) << QRect(0, 150, 400, 300);
        QTest::newRow("larger picture shrinks") << QSize(512, 384) << QSize(300, 300) << QRect(0, 37, 300, 225);
        QTest::newRow("exact fit") << QSize(256, 192) << QSize(1024, 768) << QRect(0, 0, 1024, 768);
        QTest::newRow("no frame yet") << QSize(0, 0) << QSize(1000, 600) << QRect();
        QTest::newRow("label not laid out") << QSize(256, 192) << QSize(0, 600) << QRect();
    }

    void overlayKeepsThePictureAspect()
    {
        QFETCH(QSize, picture);
        QFETCH(QSize, label);
        QFETCH(QRect, expected);
        QCOMPARE(fitPicture(picture.width(), picture.height(), label), expected);
    }

    // The sensor image is 256 x 192; the overlay covers the displayed (possibly rotated,
    // zoomed) picture exactly, so its corners and centre are easy to predict.
    void hotPointLandsOnThePicture_data()
    {
        QTest::addColumn<QPoint>("sensor");
        QTest::addColumn<int>("scale");
        QTest::addColumn<QPoint>("zoom");
        QTest::addColumn<int>("direction");
        QTest::addColumn<QSize>("overlay");
        QTest::addColumn<QPoint>("expected");

        const QSize upright(800, 600);
        const QSize turned(600, 800);
        QTest::newRow("centre stays centre") << QPoint(128, 96) << 1 << QPoint() << 0 << upright << QPoint(400, 300);
        QTest::newRow("corner, upright") << QPoint(0, 0) << 1 << QPoint() << 0 << upright << QPoint(0, 0);
        QTest::newRow("corner, clockwise: top right") << QPoint(0, 0) << 1 << QPoint() << 1 << turned << QPoint(600, 0);
        QTest::newRow("corner, half turn: bottom right") << QPoint(0, 0) << 1 << QPoint() << 2 << upright
                                                         << QPoint(800, 600);
        QTest::newRow("corner, counter-clockwise: bottom left") << QPoint(0, 0) << 1 << QPoint() << 3 << turned
                                                                << QPoint(0, 800);
        QTest::newRow("right edge, clockwise: bottom") << QPoint(256, 0) << 1 << QPoint() << 1 << turned
                                                       << QPoint(600, 800);

        // Zoom level 1 crops (32, 24) displayed pixels, i.e. sensor pixel (8, 6) is the corner.
        QTest::newRow("zoom: crop corner") << QPoint(8, 6) << 1 << QPoint(32, 24) << 0 << upright << QPoint(0, 0);
        QTest::newRow("zoom: centre") << QPoint(128, 96) << 1 << QPoint(32, 24) << 0 << upright << QPoint(400, 300);
        QTest::newRow("zoom: far corner") << QPoint(248, 186) << 1 << QPoint(32, 24) << 0 << upright
                                          << QPoint(800, 600);
        // The engine exchanges the crop origin for quarter turns: (24, 32).
        QTest::newRow("zoom, clockwise: crop corner goes top right") << QPoint(8, 6) << 1 << QPoint(24, 32) << 1
                                                                     << turned << QPoint(600, 0);
        QTest::newRow("zoom, clockwise: far corner goes bottom left") << QPoint(248, 186) << 1 << QPoint(24, 32) << 1
                                                                      << turned << QPoint(0, 800);
        QTest::newRow("zoom, half turn: crop corner goes bottom right") << QPoint(8, 6) << 1 << QPoint(32, 24) << 2
                                                                        << upright << QPoint(800, 600);
        QTest::newRow("zoom, counter-clockwise: crop corner goes bottom left") << QPoint(8, 6) << 1 << QPoint(24, 32)
                                                                               << 3 << turned << QPoint(0, 800);

        // Super-resolution doubles the displayed picture and the crop with it.
        QTest::newRow("super-resolution: centre") << QPoint(128, 96) << 2 << QPoint() << 0 << upright
                                                  << QPoint(400, 300);
        QTest::newRow("super-resolution, zoom: crop corner") << QPoint(8, 6) << 2 << QPoint(64, 48) << 0 << upright
                                                             << QPoint(0, 0);
        QTest::newRow("super-resolution, zoom: centre") << QPoint(128, 96) << 2 << QPoint(64, 48) << 0 << upright
                                                        << QPoint(400, 300);
        QTest::newRow("super-resolution, zoom, clockwise") << QPoint(8, 6) << 2 << QPoint(48, 64) << 1 << turned
                                                           << QPoint(600, 0);

        // A crop origin with a zero coordinate is not applied, but still sizes the source.
        QTest::newRow("half a crop origin is ignored") << QPoint(8, 6) << 1 << QPoint(32, 0) << 0 << upright
                                                       << QPoint(26, 18);
        // Without an overlay size the point stays in displayed pixels.
        QTest::newRow("no overlay yet") << QPoint(10, 20) << 1 << QPoint() << 0 << QSize(0, 0) << QPoint(40, 80);
    }

    void hotPointLandsOnThePicture()
    {
        QFETCH(QPoint, sensor);
        QFETCH(int, scale);
        QFETCH(QPoint, zoom);
        QFETCH(int, direction);
        QFETCH(QSize, overlay);
        QFETCH(QPoint, expected);
        QCOMPARE(hotPointToOverlay(sensor.x(), sensor.y(), scale, 256, 192, zoom, direction, overlay), expected);
    }

    // Measurement items land where the hot point marker would, and the cursor maps back to
    // the camera pixel it points at, in every direction, zoomed and with super-resolution.
    void measurePositionsRoundTrip()
    {
        for (int nScale : {1, 2})
            for (int d = 0; d < 4; ++d)
                for (const QPoint& zoom : {QPoint(0, 0), QPoint(64 * nScale, 48 * nScale)}) {
                    MeasureGeometry::View v;
                    v.nScale = nScale;
                    v.nWidth = 256;
                    v.nHeight = 192;
                    v.zoomOrigin = (d % 2) ? QPoint(zoom.y(), zoom.x()) : zoom;
                    v.nDirection = d;
                    v.overlaySize = (d % 2) ? QSize(600, 800) : QSize(800, 600);
                    for (const QPoint& cam : {QPoint(100, 90), QPoint(130, 70)}) {
                        const QPointF at = MeasureGeometry::cameraToOverlay(QPointF(cam), v);
                        const QPoint hot = hotPointToOverlay(cam.x(), cam.y(), nScale, 256, 192, v.zoomOrigin, d,
                                                             v.overlaySize);
                        QVERIFY((at - QPointF(hot)).manhattanLength() < 2.0);
                        const QPointF back = MeasureGeometry::overlayToCamera(
                            MeasureGeometry::cameraToOverlay(QPointF(cam) + QPointF(0.5, 0.5), v), v);
                        QVERIFY2((back - QPointF(cam) - QPointF(0.5, 0.5)).manhattanLength() < 1e-6,
                                 qPrintable(QString("%1 %2 %3").arg(d).arg(back.x()).arg(back.y())));
                    }
                }
    }
};

QTEST_MAIN(TestLiveViewGeometry)
#include "test_liveview_geometry.moc"
