// The engine on its own thread, bound to a native window and fed by the simulated camera:
// the SDL renderer must show the coloured live picture, placed with its aspect ratio kept.
#include "app/AppFlags.h"
#include "device/UsbCameraLink.h"
#include "platform/camlib/CameraLibrary.h"
#include "platform/render/RenderEngine.h"
#include "platform/simcam/SimCamera.h"
#include "support/TestSupport.h"
#include "video/Palette.h"
#include "video/QVideoPlay.h"
#include "video/UpscaleStage.h"

#include <QGuiApplication>
#include <QImage>
#include <QScreen>
#include <QThread>
#include <QWidget>
#include <QtTest>

namespace {

bool noModel() { return false; }
bool noRun(const unsigned char*, unsigned char*, int, int, float) { return false; }
const UpscaleStage kNoModel = {noModel, noRun};

bool openSimulatedCamera()
{
    std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
    int32_t nCount = 0;
    if (!cameraLibrary().GetUsbDeviceNum(&nCount, list.data()))
        return false;
    return UsbCameraLink::instance().open(list[0]);
}

// Colour of the IronRed entry at a level, as the screen shows it (studio-range BT.601).
QColor ironRedRgb(int nLevel)
{
    const uint32_t e = Palette::entry(Palette::kIronRed, nLevel);
    const double y = 1.164 * (Palette::entryY(e) - 16);
    const double u = Palette::entryU(e) - 128;
    const double v = Palette::entryV(e) - 128;
    auto c = [](double x) { return qBound(0, int(x), 255); };
    return QColor(c(y + 1.596 * v), c(y - 0.392 * u - 0.813 * v), c(y + 2.017 * u));
}

} // namespace

class TestVideoWindow : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        setUpscaleStage(&kNoModel);
        SimCamera::instance().reset();
    }

    void liveIronRedPictureFitsTheWindow()
    {
        // A 800 x 400 window is wider than the 4:3 picture: it must be centred with black bars.
        QWidget window;
        window.setAttribute(Qt::WA_NativeWindow);
        window.setAttribute(Qt::WA_NoSystemBackground);
        window.setFixedSize(800, 400);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        window.setUpdatesEnabled(false);

        QVERIFY(openSimulatedCamera());
        QThread thread;
        auto* pEngine = new QVideoPlay;
        pEngine->moveToThread(&thread);
        connect(&thread, &QThread::finished, pEngine, &QObject::deleteLater);
        thread.start();
        // However the test ends, the camera is closed and the engine's thread joined.
        struct Cleanup
        {
            QThread& thread;
            ~Cleanup()
            {
                UsbCameraLink::instance().close();
                thread.quit();
                thread.wait();
            }
        } cleanup{thread};
        pEngine->setPaletteId(Palette::kIronRed);
        g_nDirection = 0;
        QVERIFY(QMetaObject::invokeMethod(pEngine, "setVideoPlaySlots", Qt::QueuedConnection,
                                          Q_ARG(void*, reinterpret_cast<void*>(window.winId())), Q_ARG(bool, true)));
        QTRY_VERIFY_WITH_TIMEOUT(pEngine->isStreamAlive(), 10000);
        QVERIFY(pEngine->hasRenderTarget());
        QTest::qWait(500);

        const QImage shot = QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
        const QString qStrOut = qEnvironmentVariable("THERMAVA_SCREENSHOT");
        if (!qStrOut.isEmpty())
            shot.save(qStrOut);

        QCOMPARE(shot.size(), QSize(800, 400));
        // Picture 1024 x 768 fitted into 800 x 400 is 533 x 400, centred at x = 133.
        const RenderPlacement place = fitPicture(1024, 768, 800, 400);
        QCOMPARE(place.width, 533);
        QCOMPARE(place.x, 133);
        QCOMPARE(shot.pixelColor(60, 200), QColor(Qt::black));
        QCOMPARE(shot.pixelColor(740, 200), QColor(Qt::black));

        // Inside, every pixel is an IronRed colour (none of the grey the camera sends), and the
        // scene's hot object reaches the bright end of the ramp.
        const QColor hot = ironRedRgb(240);
        int nFar = 0, nHot = 0, nTotal = 0;
        for (int y = 10; y < 390; y += 7) {
            for (int x = place.x + 10; x < place.x + place.width - 10; x += 7) {
                const QColor c = shot.pixelColor(x, y);
                ++nTotal;
                int nBest = 1 << 30;
                for (int l = 0; l < 256; l += 4) {
                    const QColor p = ironRedRgb(l);
                    const int d = std::abs(p.red() - c.red()) + std::abs(p.green() - c.green()) +
                                  std::abs(p.blue() - c.blue());
                    nBest = std::min(nBest, d);
                }
                if (nBest > 60)
                    ++nFar;
                if (std::abs(c.red() - hot.red()) + std::abs(c.green() - hot.green()) < 60 && c.green() > 150)
                    ++nHot;
            }
        }
        QVERIFY2(nFar < nTotal / 50, qPrintable(QString("%1 of %2 pixels are not IronRed").arg(nFar).arg(nTotal)));
        QVERIFY2(nHot > 0, "the hot object is not visible");

        // The label is resized by its layout: the picture follows the new size at once.
        window.setFixedSize(400, 600);
        QTest::qWait(600);
        const QImage tall = QGuiApplication::primaryScreen()->grabWindow(window.winId()).toImage();
        if (!qStrOut.isEmpty())
            tall.save(QString(qStrOut).replace(".png", "-tall.png"));
        QCOMPARE(tall.size(), QSize(400, 600));
        const RenderPlacement tallPlace = fitPicture(1024, 768, 400, 600);
        QCOMPARE(tallPlace.y, 150);
        QCOMPARE(tall.pixelColor(200, 60), QColor(Qt::black));
        QCOMPARE(tall.pixelColor(200, 540), QColor(Qt::black));
        QVERIFY(tall.pixelColor(200, 300) != QColor(Qt::black));

        pEngine->stopPreview();
        QVERIFY(!pEngine->hasRenderTarget());
    }
};

QTEST_MAIN(TestVideoWindow)
#include "test_video_window.moc"
