// A user's session against the simulated camera, through the real window: connect, the live
// picture with marker and colour scale, each palette, flip through four states, freeze, zoom to
// 15 and back, a manual temperature window, standby and wake, unplug noticed, disconnect; then
// connect, picture and unplug through the V4L2 backend on the emulated camera.
// With THERMAVA_SCREENSHOT_DIR set, the screen is saved at each stage.
#include "test_liveview_support.h"
#include "app/QTitleWidget.h"

#include "liveview/QTemperRangeAdjust.h"
#include "liveview/QVideoWndWidget.h"
#include "liveview/QChamferedLabel.h"
#include "maintenance/PtExItem.h"
#include "maintenance/QSceneViewCtrl.h"
#include "platform/camlib/CameraBackend.h"
#include "platform/camlib/CameraChoice.h"
#include "support/CliRunner.h"
#include "video/Palette.h"
#include "video/QVideoPlay.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QTextIconHBtn.h"
#include "widgets/SwitchButton.h"

#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QScreen>
#include <QSlider>
#include <dlfcn.h>
#include <functional>

using namespace LiveViewTest;

namespace {

QImage grabScreen() { return QGuiApplication::primaryScreen()->grabWindow(0).toImage(); }

// The window under test, kept above the windows of tests running beside it on the display.
QWidget* g_pFront = nullptr;
QWidget* g_pFrontOverlay = nullptr;

void bringToFront()
{
    if (g_pFront)
        g_pFront->raise();
    if (g_pFrontOverlay && g_pFrontOverlay->isVisible())
        g_pFrontOverlay->raise();
    QTest::qWait(30);
}

// Grabs the screen until the check holds: tests run side by side on one display, and another
// test's window may pass over ours for a moment. The last grab is left in *pLast.
bool holdsOnScreen(const std::function<bool(const QImage&)>& check, QImage* pLast = nullptr, int nMs = 8000)
{
    QElapsedTimer timer;
    timer.start();
    do {
        bringToFront();
        const QImage shot = grabScreen();
        if (pLast)
            *pLast = shot;
        if (check(shot))
            return true;
        QTest::qWait(100);
    } while (timer.elapsed() < nMs);
    return false;
}

void saveStage(const QImage& shot, const char* pszName)
{
    const QString qStrDir = qEnvironmentVariable("THERMAVA_SCREENSHOT_DIR");
    if (!qStrDir.isEmpty())
        shot.save(qStrDir + "/" + pszName + ".png");
}

int colourDistance(const QColor& a, const QColor& b)
{
    return std::abs(a.red() - b.red()) + std::abs(a.green() - b.green()) + std::abs(a.blue() - b.blue());
}

// Screen colour of a palette entry (studio-range BT.601, as the renderer converts).
QColor paletteRgb(int nPalette, int nLevel)
{
    const uint32_t e = Palette::entry(nPalette, nLevel);
    const double y = 1.164 * (Palette::entryY(e) - 16);
    const double u = Palette::entryU(e) - 128;
    const double v = Palette::entryV(e) - 128;
    auto c = [](double x) { return qBound(0, int(x), 255); };
    return QColor(c(y + 1.596 * v), c(y - 0.392 * u - 0.813 * v), c(y + 2.017 * u));
}

// Share of sampled pixels inside rect whose colour is within reach of the palette's ramp.
double paletteShare(const QImage& shot, const QRect& rect, int nPalette)
{
    QVector<QColor> ramp;
    for (int l = 0; l < 256; l += 2)
        ramp << paletteRgb(nPalette, l);
    int nIn = 0, nTotal = 0;
    for (int y = rect.top() + 8; y < rect.bottom() - 8; y += 11) {
        for (int x = rect.left() + 8; x < rect.right() - 8; x += 11) {
            const QColor c = shot.pixelColor(x, y);
            ++nTotal;
            int nBest = 1 << 30;
            for (const QColor& p : ramp)
                nBest = std::min(nBest, colourDistance(p, c));
            if (nBest <= 45)
                ++nIn;
        }
    }
    return nTotal ? double(nIn) / nTotal : 0.0;
}

// Share of sampled pixels that are grey (no colour at all).
double greyShare(const QImage& shot, const QRect& rect)
{
    int nGrey = 0, nTotal = 0;
    for (int y = rect.top() + 8; y < rect.bottom() - 8; y += 11) {
        for (int x = rect.left() + 8; x < rect.right() - 8; x += 11) {
            const QColor c = shot.pixelColor(x, y);
            ++nTotal;
            if (std::abs(c.red() - c.green()) < 12 && std::abs(c.green() - c.blue()) < 12)
                ++nGrey;
        }
    }
    return nTotal ? double(nGrey) / nTotal : 0.0;
}

// Present only in a process started under scripts/fakecam.sh: pulls the emulated camera out.
void (*fakeCamUnplug())()
{
    return reinterpret_cast<void (*)()>(dlsym(RTLD_DEFAULT, "thermava_fakecam_unplug"));
}

} // namespace

class TestLiveViewJourney : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::ScopedConfigDir> m_pConfig;
    std::unique_ptr<MainWindow> m_pWindow;

    QVideoPreviewModuleWidget* page() const { return m_pWindow->liveView(); }
    QRect pictureRect() const { return page()->overlay()->geometry(); }

    // Only a process started with the preload library sees the emulated device: runs this
    // executable's slot again under scripts/fakecam.sh with the emulated camera so set.
    void rerunUnderFakeCam(const char* pszSlot, const QString& fakeConfig)
    {
        QVERIFY2(!qEnvironmentVariableIsSet("THERMAVA_SYSFS_ROOT"), "the emulated camera is not loaded");
        if (TestSupport::fakeCamScript().isEmpty())
            QSKIP("the emulated camera is not built in this tree");
        m_pWindow->hide();
        const TestSupport::CliRun r =
            TestSupport::runOnFakeCam(QCoreApplication::applicationFilePath(), {pszSlot}, fakeConfig, "seed=7", 180000);
        m_pWindow->show();
        QVERIFY2(r.nExit == 0, qPrintable(r.out + r.err));
    }

private slots:
    void initTestCase()
    {
        initLiveViewTests();
        if (fakeCamUnplug()) {
            // Run again under the emulated camera: bound before the window exists, as at start-up.
            std::string error;
            QVERIFY2(bindCameraChoice(qEnvironmentVariable("THERMAVA_CAMERA").toStdString(), &error), error.c_str());
        }
        m_pConfig = std::make_unique<TestSupport::ScopedConfigDir>();
        SimCamera::instance().reset();
        SimCamera::instance().setSeed(7);
        m_pWindow = makeMainWindow();
        m_pWindow->move(0, 0);
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
        g_pFront = m_pWindow.get();
        g_pFrontOverlay = m_pWindow->liveView()->overlay();
    }

    void cleanupTestCase()
    {
        g_pFront = nullptr;
        g_pFrontOverlay = nullptr;
        QMessageboxDlg::setExecHookForTests({});
        m_pWindow.reset();
    }

    void journey()
    {
        MessageRecorder messages;
        QVideoPreviewModuleWidget* p = page();
        saveStage(grabScreen(), "00_start");
        QTest::mouseClick(p->navButton(1), Qt::LeftButton);
        QTest::qWait(200);
        saveStage(grabScreen(), "00a_settings");
        QTest::mouseClick(p->navButton(2), Qt::LeftButton);
        QTest::qWait(200);
        saveStage(grabScreen(), "00b_device_info");
        QTest::mouseClick(p->navButton(0), Qt::LeftButton);
        QVERIFY(p->videoWnd()->isVisible());

        // Connect.
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bConnected, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(p->videoPlay()->isStreamAlive(), 10000);

        // Iron red, with the marker and the scale.
        QTest::mouseClick(p->paletteButton(2), Qt::LeftButton);
        p->hotPointSwitch()->setChecked(true, false);
        p->setHotPointSwitchSlots(true);
        QTRY_VERIFY_WITH_TIMEOUT(p->overlay()->labelText().endsWith(QString::fromUtf8("℃")), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!p->rangeAdjust()->scalePixmap().isNull(), 5000);
        QTest::qWait(600);
        const QRect slide = p->rangeAdjust()->slideRect();
        const QPoint barTop = p->rangeAdjust()->mapToGlobal(slide.topLeft()) + QPoint(slide.width() / 2, 4);
        const QPoint barBottom = p->rangeAdjust()->mapToGlobal(slide.bottomLeft()) + QPoint(slide.width() / 2, -4);
        auto hotPoint = [&] {
            return pictureRect().topLeft() + QPoint(p->overlay()->marker()->pointX(), p->overlay()->marker()->pointY());
        };
        QImage shot;
        QVERIFY2(holdsOnScreen([&](const QImage& s) { return paletteShare(s, pictureRect(), Palette::kIronRed) > 0.9; },
                               &shot),
                 "the picture is not in IronRed");
        saveStage(shot, "01_connected_ironred");
        QVERIFY(p->overlay()->marker()->isVisible());
        // The marker sits on the hot object: a bright IronRed area (or its white cross).
        QVERIFY2(holdsOnScreen([&](const QImage& s) {
                     const QPoint hot = hotPoint();
                     return colourDistance(s.pixelColor(hot + QPoint(-3, 3)), paletteRgb(Palette::kIronRed, 250)) < 200
                            || colourDistance(s.pixelColor(hot), QColor(Qt::white)) < 60;
                 }),
                 "the marker is not on the hot object");
        saveStage(shot.copy(QRect(hotPoint() - QPoint(150, 80), QSize(300, 160))), "01a_marker");
        saveStage(shot.copy(QRect(p->temperScaleWidget()->mapToGlobal(QPoint(-20, 0)),
                                  p->temperScaleWidget()->size() + QSize(40, 0))),
                  "01b_scale");
        // The scale's colour bar shows IronRed from bottom (cold) to top (hot).
        QVERIFY(holdsOnScreen([&](const QImage& s) {
            return s.pixelColor(barTop).lightness() > s.pixelColor(barBottom).lightness() + 100;
        }));
        const QLabel* pMax = p->rangeAdjust()->findChild<QLabel*>("maxTemperLabel");
        const QLabel* pMin = p->rangeAdjust()->findChild<QLabel*>("minTemperLabel");
        QVERIFY(pMax && pMin && pMax->isVisible() && pMin->isVisible());
        QVERIFY(pMax->text().endsWith(QString::fromUtf8("℃")));
        QVERIFY(pMin->text().endsWith(QString::fromUtf8("℃")));
        // Both are numbers before the unit, the scene's minimum below its maximum.
        bool bMinOk = false, bMaxOk = false;
        const float fMin = pMin->text().chopped(1).toFloat(&bMinOk);
        const float fMax = pMax->text().chopped(1).toFloat(&bMaxOk);
        QVERIFY2(bMinOk && bMaxOk && fMin < fMax, qPrintable(pMin->text() + " / " + pMax->text()));

        // Every palette.
        const int ids[4] = {Palette::kWhiteHot, Palette::kBlackHot, Palette::kIronRed, Palette::kRainbow};
        for (int i = 0; i < 4; ++i) {
            QTest::mouseClick(p->paletteButton(i), Qt::LeftButton);
            QCOMPARE(p->videoPlay()->paletteId(), ids[i]);
            const bool bGrey = ids[i] == Palette::kWhiteHot || ids[i] == Palette::kBlackHot;
            QVERIFY2(holdsOnScreen(
                         [&](const QImage& s) {
                             return bGrey ? greyShare(s, pictureRect()) > 0.9
                                          : paletteShare(s, pictureRect(), ids[i]) > 0.9;
                         },
                         &shot),
                     qPrintable(QString("the picture does not follow palette %1").arg(ids[i])));
        }
        saveStage(shot, "02_rainbow");
        QTest::mouseClick(p->paletteButton(2), Qt::LeftButton);

        // Flip through four states: the overlay turns with the picture.
        for (int i = 0; i < 4; ++i) {
            QTest::mouseClick(p->rotationButton(), Qt::LeftButton);
            QTest::qWait(200);
            const QRect r = pictureRect();
            if (p->m_nDirection % 2)
                QVERIFY2(r.height() > r.width(), "a quarter turn keeps a landscape overlay");
            else
                QVERIFY2(r.width() > r.height(), "upright picture with a portrait overlay");
            if (i == 0)
                saveStage(grabScreen(), "03_quarter_turn");
        }
        QCOMPARE(p->m_nDirection, 0);

        // Freeze: the picture stops changing.
        QTest::mouseClick(p->freezeButton(), Qt::LeftButton);
        QVERIFY(g_bFreeze);
        QTest::qWait(300);
        QVERIFY2(holdsOnScreen([&](const QImage& s) {
                     const QImage first = s.copy(pictureRect());
                     QTest::qWait(500);
                     bringToFront();
                     return grabScreen().copy(pictureRect()) == first;
                 }),
                 "the frozen picture still changes");
        QTest::mouseClick(p->freezeButton(), Qt::LeftButton);
        QVERIFY(!g_bFreeze);

        // Zoom to 15 and back.
        for (int i = 0; i < 15; ++i)
            QTest::mouseClick(p->zoomUpButton(), Qt::LeftButton);
        QCOMPARE(p->zoomSlider()->value(), 15);
        QCOMPARE(p->m_ptZoomOrigin, QPoint(416, 312));
        QTest::qWait(300);
        saveStage(grabScreen(), "04_zoom15");
        for (int i = 0; i < 15; ++i)
            QTest::mouseClick(p->zoomDownButton(), Qt::LeftButton);
        QCOMPARE(p->zoomSlider()->value(), 0);
        QCOMPARE(p->m_ptZoomOrigin, QPoint(0, 0));

        // A manual temperature window: the handles appear and the picture's colours follow.
        QTemperRangeAdjust* pAdjust = p->rangeAdjust();
        QTest::mouseClick(pAdjust->autoSwitch(), Qt::LeftButton);
        QVERIFY(!pAdjust->isAutoRange());
        QVERIFY(pAdjust->topHandle()->isVisible());
        QVERIFY(holdsOnScreen([&](const QImage& s) { return paletteShare(s, pictureRect(), Palette::kIronRed) > 0.9; }));
        // Drag the lower handle up to the middle of the bar: everything colder saturates.
        QPushButton* pBottom = pAdjust->bottomHandle();
        const QPoint grip(pBottom->width() / 2, pBottom->height() / 2);
        const int nBottomBefore = pBottom->y();
        QTest::mousePress(pBottom, Qt::LeftButton, Qt::NoModifier, grip);
        const int nSteps = 10;
        const int nDy = -(pAdjust->slideRect().height() / 2) / nSteps;
        for (int s = 1; s <= nSteps; ++s) {
            const QPoint at = pBottom->mapTo(pAdjust, grip) + QPoint(0, nDy);
            QMouseEvent move(QEvent::MouseMove, at, pAdjust->mapToGlobal(at), Qt::NoButton, Qt::LeftButton,
                             Qt::NoModifier);
            QApplication::sendEvent(pAdjust, &move);
        }
        QTest::mouseRelease(pBottom, Qt::LeftButton, Qt::NoModifier, grip + QPoint(0, nDy * nSteps));
        QVERIFY2(qAbs((nBottomBefore - pBottom->y()) - nSteps * -nDy) <= 1, "the handle did not follow the drag");
        QTRY_VERIFY_WITH_TIMEOUT(qAbs(p->videoPlay()->isoLow() - pAdjust->lowerTemper()) < 2.0f, 3000);
        // The colder half now maps to the palette's first entry.
        const QColor cold = paletteRgb(Palette::kIronRed, 0);
        auto coldShare = [&](const QImage& s) {
            int nCold = 0, nTotal = 0;
            const QRect pic = pictureRect();
            for (int y = pic.top() + 8; y < pic.bottom() - 8; y += 13) {
                for (int x = pic.left() + 8; x < pic.right() - 8; x += 13) {
                    ++nTotal;
                    if (colourDistance(s.pixelColor(x, y), cold) < 40)
                        ++nCold;
                }
            }
            return nTotal ? double(nCold) / nTotal : 0.0;
        };
        QVERIFY2(holdsOnScreen([&](const QImage& s) { return coldShare(s) > 0.2; }, &shot),
                 qPrintable(QString("only %1 of the picture at the cold end").arg(coldShare(shot))));
        saveStage(shot, "05_manual_window");
        QTest::mouseClick(pAdjust->autoSwitch(), Qt::LeftButton);
        QVERIFY(pAdjust->isAutoRange());

        // Standby and wake.
        QVERIFY(pressStandbyAndWait(p));
        QVERIFY(p->m_bStandby);
        QVERIFY(!p->temperScaleWidget()->isVisible());
        QTest::qWait(300);
        saveStage(grabScreen(), "06_standby");
        QVERIFY(pressStandbyAndWait(p));
        QVERIFY(!p->m_bStandby);
        QVERIFY(p->temperScaleWidget()->isVisible());

        // Unplug noticed.
        SimCamera::instance().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!p->m_bConnected, 10000);
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.last().startsWith("Connection lost, please check:"));
        QTest::qWait(300);
        saveStage(grabScreen(), "07_unplugged");

        // Plug back in, connect again and disconnect with the button.
        SimCamera::instance().replug();
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bConnected, 20000);
        messages.clear();
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QCOMPARE(messages.last(), QString("Please confirm whether to disconnect device?"));
        QTRY_VERIFY_WITH_TIMEOUT(!p->m_bConnected, 10000);
        QVERIFY(!UsbCameraLink::instance().bStreaming);
        QTest::qWait(300);
        saveStage(grabScreen(), "08_disconnected");
    }

    // The same window through the V4L2 backend on the emulated camera: connect, the IronRed
    // picture, the camera pulled out. Only a process started with the preload library sees the
    // emulated device, so this executable runs again under scripts/fakecam.sh for it.
    void journeyThroughTheV4l2Backend()
    {
        const auto unplug = fakeCamUnplug();
        if (!unplug) {
            rerunUnderFakeCam("journeyThroughTheV4l2Backend", "transport=xu");
            return;
        }
        MessageRecorder messages;
        QVideoPreviewModuleWidget* p = page();
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bConnected, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(p->videoPlay()->isStreamAlive(), 10000);
        QCOMPARE(cameraBackendEvents().describe().backend, std::string("v4l2"));
        QTest::mouseClick(p->paletteButton(2), Qt::LeftButton);
        QVERIFY2(holdsOnScreen([&](const QImage& s) { return paletteShare(s, pictureRect(), Palette::kIronRed) > 0.9; }),
                 "the picture is not in IronRed");
        unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!p->m_bConnected, 10000);
        QCOMPARE(messages.count(), 1);
        QVERIFY(messages.last().startsWith("Connection lost, please check:"));
    }

    // A node named explicitly whose command channel is silent: picture and temperatures in
    // stream-only mode, which the title bar says, and camera commands refused at once in words.
    void streamOnlyThroughTheV4l2Backend()
    {
        if (!fakeCamUnplug()) {
            rerunUnderFakeCam("streamOnlyThroughTheV4l2Backend", "transport=none");
            return;
        }
        MessageRecorder messages;
        QVideoPreviewModuleWidget* p = page();
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bConnected, 20000);
        QTRY_VERIFY_WITH_TIMEOUT(p->videoPlay()->isStreamAlive(), 10000);
        QTRY_VERIFY_WITH_TIMEOUT(!p->rangeAdjust()->scalePixmap().isNull(), 5000);
        QCOMPARE(m_pWindow->titleWidget()->cameraStatusText(), QString("stream only: camera commands unavailable"));
        p->setImageAdjustBtnSlots();
        p->setStandbyModeBtnSlots();
        QCOMPARE(messages.count(), 2);
        QCOMPARE(messages.last(), QString("stream only: camera commands unavailable"));
    }
};

QTEST_MAIN(TestLiveViewJourney)
#include "test_liveview_journey.moc"
