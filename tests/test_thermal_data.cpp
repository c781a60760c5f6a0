// Temperatures from the measurement trailer, the luminance extent, the temperature-range
// mapping, the focus measure, and the thermal data worker that runs them.
#include "app/AppFlags.h"
#include "device/UsbCameraLink.h"
#include "measure/MeasureItem.h"
#include "measure/RegionStats.h"
#include "platform/camlib/CameraLibrary.h"
#include "platform/simcam/SimCamera.h"
#include "support/TestSupport.h"
#include "video/Palette.h"
#include "video/QTempRule.h"
#include "video/ThermImageContext.h"
#include "video/ThermalTrailer.h"
#include "video/VideoGlobals.h"

#include <QSignalSpy>
#include <QtTest>
#include <cmath>
#include <cstring>

using namespace ThermalTrailer;

namespace {

std::vector<uint8_t> frameWithLuma(const std::vector<uint8_t>& luma)
{
    std::vector<uint8_t> f(luma.size() * 2);
    for (size_t i = 0; i < luma.size(); ++i) {
        f[2 * i] = uint8_t(60 + i);   // chroma that the mapping must replace
        f[2 * i + 1] = luma[i];
    }
    return f;
}

std::vector<uint8_t> stepEdgeFrame()
{
    // 256 x 192, columns 0..127 dark, 128..255 at level 100.
    std::vector<uint8_t> f(256 * 192 * 2, 128);
    for (int y = 0; y < 192; ++y)
        for (int x = 0; x < 256; ++x)
            f[(size_t(y) * 256 + x) * 2 + 1] = x < 128 ? 0 : 100;
    return f;
}

} // namespace

class TestThermalData : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        SimCamera::instance().reset();
    }

    void trailerDecoding()
    {
        // Literal bytes: row 0x1000, column 8191, maximum -200 (-1.0 C), minimum -4000.
        uint8_t t[256];
        std::memset(t, 0xAB, sizeof(t));   // even bytes and the tail must not matter
        const uint8_t odd[12] = {0x00, 0x10, 0xFF, 0x1F, 0x38, 0xFF, 0xFF, 0xFF, 0x60, 0xF0, 0xFF, 0xFF};
        for (int i = 0; i < 12; ++i)
            t[1 + 2 * i] = odd[i];
        ThermHotPointParam st = decode(t, 256, 192);
        QCOMPARE(st.nPosX, 256);   // the width itself, not 255
        QCOMPARE(st.nPosY, 96);    // 4096 x 192 / 8191 = 96.01
        QCOMPARE(st.fMaxTemper, -1.0f);
        QCOMPARE(st.fMinTemper, -20.0f);

        // Positive temperatures and a mid position, on a 512-wide frame.
        encode(t, 0, 4096, 13050, 4410);
        st = decode(t, 512, 384);
        QCOMPARE(st.nPosX, 256);
        QCOMPARE(st.nPosY, 0);
        QCOMPARE(st.fMaxTemper, 65.25f);
        QCOMPARE(st.fMinTemper, 22.05f);

        // Before the first frame the size is 0, and so are the positions.
        st = decode(t, 0, 0);
        QCOMPARE(st.nPosX, 0);
        QCOMPARE(st.nPosY, 0);

        // Raw positions beyond 8191 are held at the frame's edge.
        encode(t, 0xFFFF, 0xFFFF, 0, 0);
        st = decode(t, 256, 192);
        QCOMPARE(st.nPosX, 256);
        QCOMPARE(st.nPosY, 192);
    }

    void luminanceExtent()
    {
        uint32_t lo = 0, hi = 0;
        std::vector<uint8_t> f = frameWithLuma({40, 200, 7, 90});
        lumaExtent(f.data(), f.size(), lo, hi);
        QCOMPARE(lo, 7u);
        QCOMPARE(hi, 200u);
        f = frameWithLuma({33, 33, 33, 33});
        lumaExtent(f.data(), f.size(), lo, hi);
        QCOMPARE(lo, 33u);
        QCOMPARE(hi, 33u);
        lumaExtent(f.data(), 0, lo, hi);
        QCOMPARE(lo, 2147483647u);
        QCOMPARE(hi, 0u);
    }

    void rangeLevelsAndFailures()
    {
        int a = -1, b = -1;
        // Scene 20 .. 40 C over grey 50 .. 150: 5 C is 25 grey levels.
        QVERIFY(rangeLevels(20.0f, 40.0f, 50, 150, 25.0f, 35.0f, a, b));
        QCOMPARE(a, 75);
        QCOMPARE(b, 125);
        // Below the scene minimum the window starts at the extent's minimum.
        QVERIFY(rangeLevels(20.0f, 40.0f, 50, 150, -30.0f, 40.0f, a, b));
        QCOMPARE(a, 50);
        QCOMPARE(b, 150);
        // Above the scene maximum b runs past the extent, up to 255 ...
        QVERIFY(rangeLevels(20.0f, 40.0f, 50, 150, 20.0f, 60.0f, a, b));
        QCOMPARE(b, 250);
        // ... and at 256 the mapping fails.
        QVERIFY(!rangeLevels(20.0f, 40.0f, 50, 150, 20.0f, 61.4f, a, b));
        QVERIFY(!rangeLevels(20.0f, 40.0f, 50, 150, 20.0f, 200.0f, a, b));
        // An empty window still gets one level.
        QVERIFY(rangeLevels(20.0f, 40.0f, 50, 150, 30.0f, 30.0f, a, b));
        QCOMPARE(a, 100);
        QCOMPARE(b, 101);
        QVERIFY(!rangeLevels(20.0f, 40.0f, 50, 255, 40.0f, 40.0f, a, b));   // b would be 256

        // Degenerate scenes are skipped instead of dividing by zero or spreading nothing.
        QVERIFY(!rangeLevels(30.0f, 30.0f, 50, 150, 25.0f, 35.0f, a, b));
        QVERIFY(!rangeLevels(20.0f, 40.0f, 2147483647u, 0, 25.0f, 35.0f, a, b));
        QVERIFY(!rangeLevels(20.0f, 40.0f, 150, 50, 25.0f, 35.0f, a, b));
        QVERIFY(!rangeLevels(20.0f, INFINITY, 50, 150, 25.0f, 35.0f, a, b));
        QVERIFY(!rangeLevels(20.0f, 40.0f, 50, 150, NAN, 35.0f, a, b));
        // A far-off window on a narrow scene fails cleanly rather than overflowing.
        QVERIFY(!rangeLevels(20.0f, 20.0001f, 0, 255, 20.0f, 3.0e38f, a, b));
    }

    void rangeMappingColoursTheWindow()
    {
        RangeScene scene;
        scene.fSceneMin = 20.0f;
        scene.fSceneMax = 40.0f;
        scene.nLumaMin = 50;
        scene.nLumaMax = 150;
        const std::vector<uint8_t> luma = {75, 125, 100, 10, 200, 80};
        std::vector<uint8_t> f = frameWithLuma(luma);
        std::vector<uint8_t> plane;
        QVERIFY(applyRangeMapping(f.data(), 6, 1, Palette::kWhiteHot, 25.0f, 35.0f, scene, &plane));
        QCOMPARE(plane, luma);
        // Window [75, 125] spread over [50, 150]: 75 -> 50, 125 -> 150, 100 -> 100, outside clamped;
        // 80 -> (5 x 100 / 50) + 50 = 60.
        const int idx[6] = {50, 150, 100, 50, 150, 60};
        for (int p = 0; p < 6; ++p) {
            const uint32_t e = Palette::entry(Palette::kWhiteHot, idx[p]);
            QCOMPARE(f[2 * p + 1], Palette::entryY(e));
            // Each pair's chroma is that of its first pixel.
            const uint32_t first = Palette::entry(Palette::kWhiteHot, idx[p & ~1]);
            QCOMPARE(f[2 * p], (p & 1) ? Palette::entryV(first) : Palette::entryU(first));
        }

        f = frameWithLuma(luma);
        QVERIFY(applyRangeMapping(f.data(), 6, 1, Palette::kIronRed, 25.0f, 35.0f, scene));
        QCOMPARE(f[0], Palette::entryU(Palette::entry(Palette::kIronRed, 50)));
        QCOMPARE(f[3], Palette::entryY(Palette::entry(Palette::kIronRed, 150)));

        // A failing mapping leaves the frame as it was.
        const std::vector<uint8_t> before = frameWithLuma(luma);
        f = before;
        QVERIFY(!applyRangeMapping(f.data(), 6, 1, Palette::kIronRed, 20.0f, 200.0f, scene));
        QCOMPARE(f, before);
        scene.fSceneMax = scene.fSceneMin;
        QVERIFY(!applyRangeMapping(f.data(), 6, 1, Palette::kIronRed, 25.0f, 35.0f, scene));
        QCOMPARE(f, before);

        // A palette id outside the table never reads past it: the window comes out blank.
        scene.fSceneMax = 40.0f;
        QVERIFY(applyRangeMapping(f.data(), 6, 1, 14, 25.0f, 35.0f, scene));
        QVERIFY(std::all_of(f.begin(), f.end(), [](uint8_t b) { return b == 0; }));
        f = before;
        QVERIFY(applyRangeMapping(f.data(), 6, 1, -3, 25.0f, 35.0f, scene));
    }

    void focusMeasure()
    {
        std::vector<uint8_t> flat(256 * 192 * 2, 77);
        QCOMPARE(ThermalTrailer::focusMeasure(flat.data()), 0.0f);
        // One vertical edge of height 100: |Gx| = 400 on the two columns beside it, every row.
        const std::vector<uint8_t> edge = stepEdgeFrame();
        QCOMPARE(ThermalTrailer::focusMeasure(edge.data()), 3.125f);
    }

    void workerReadsTheCamerasTrailer()
    {
        UsbCameraLink& link = UsbCameraLink::instance();
        QTempRule rule(nullptr, 3600000);   // the timer never fires by itself here
        QSignalSpy spy(&rule, SIGNAL(SendHotPointSignal(ThermHotPointParam)));

        // Not running: nothing is read or sent.
        rule.GetVideoThermalData();
        QCOMPARE(spy.count(), 0);

        // Running without a camera: a zeroed record is still sent.
        rule.GetTimerStatusSlot(true);
        QVERIFY(rule.isTimerRunning());
        ThermImageContext::instance().m_fSceneMax = 55.0f;
        rule.GetVideoThermalData();
        QCOMPARE(spy.count(), 1);
        ThermHotPointParam st = spy.takeFirst().at(0).value<ThermHotPointParam>();
        QCOMPARE(st.nPosX, 0);
        QCOMPARE(st.fMaxTemper, 0.0f);
        QCOMPARE(ThermImageContext::instance().m_fSceneMax.load(), 0.0f);

        // With the simulated camera: the record is what the camera measured.
        std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
        int32_t nCount = 0;
        QVERIFY(cameraLibrary().GetUsbDeviceNum(&nCount, list.data()));
        SimCamera& cam = SimCamera::instance();
        cam.setHotTemperature(80.0f);
        QVERIFY(link.open(list[0]));
        QVERIFY(link.registerStreamCallback(nullptr, nullptr));
        QTRY_VERIFY(cam.frameNumber() > 2);
        cam.setStreamPaused(true);
        QTest::qWait(100);
        g_nFrameWidth = link.nWidth;
        g_nFrameHeight = link.nHeight;
        const SimMeasurement m = cam.lastMeasurement();
        rule.GetVideoThermalData();
        st = spy.takeFirst().at(0).value<ThermHotPointParam>();
        QVERIFY(std::abs(st.fMaxTemper - m.fMaxTemper) < 0.01f);
        QVERIFY(std::abs(st.fMinTemper - m.fMinTemper) < 0.01f);
        QVERIFY(std::abs(st.nPosX - m.nHotCol) <= 1);
        QVERIFY(std::abs(st.nPosY - m.nHotRow) <= 1);
        QVERIFY(std::abs(st.fMaxTemper - 80.0f) < 3.0f);
        QCOMPARE(ThermImageContext::instance().m_fSceneMax.load(), st.fMaxTemper);

        // Frozen: the record from before the freeze comes back while the camera moves on.
        g_bFreeze = true;
        cam.setHotTemperature(120.0f);
        cam.setStreamPaused(false);
        QTRY_VERIFY(cam.lastMeasurement().fMaxTemper > 100.0f);
        rule.GetVideoThermalData();
        ThermHotPointParam frozen = spy.takeFirst().at(0).value<ThermHotPointParam>();
        QCOMPARE(frozen.fMaxTemper, st.fMaxTemper);
        QCOMPARE(frozen.nPosX, st.nPosX);
        QCOMPARE(ThermImageContext::instance().m_fSceneMax.load(), st.fMaxTemper);
        g_bFreeze = false;
        rule.GetVideoThermalData();
        QVERIFY(spy.takeFirst().at(0).value<ThermHotPointParam>().fMaxTemper > 100.0f);

        rule.GetTimerStatusSlot(false);
        QVERIFY(!rule.isTimerRunning());
        rule.GetVideoThermalData();
        QCOMPARE(spy.count(), 0);

        // Luminance extent of processed frames, only while the camera streams.
        QSignalSpy extent(&rule, SIGNAL(SendYDataSignals(uint, uint)));
        g_nFrameWidth = 4;
        g_nFrameHeight = 1;
        std::vector<uint8_t> f = frameWithLuma({9, 30, 250, 31});
        rule.getYuvData(f.data(), 1);
        QCOMPARE(extent.count(), 1);
        QCOMPARE(extent.at(0).at(0).toUInt(), 9u);
        QCOMPARE(extent.at(0).at(1).toUInt(), 250u);
        QCOMPARE(ThermImageContext::instance().m_nLumaMax.load(), 250u);
        rule.getYuvData(nullptr, 1);
        rule.getYuvData(f.data(), 7);   // no such scale: the copy would run past the frame
        QCOMPARE(extent.count(), 1);
        link.close();
        rule.getYuvData(f.data(), 1);
        QCOMPARE(extent.count(), 1);
        g_nFrameWidth = 0;
        g_nFrameHeight = 0;
        rule.getYuvData(f.data(), 1);
        QCOMPARE(extent.count(), 1);
        cam.reset();
    }

    void workerFocusMaximumAndReset()
    {
        QTempRule rule;
        QSignalSpy spy(&rule, SIGNAL(SendFocusValueSignal(float, float)));
        std::vector<uint8_t> edge = stepEdgeFrame();
        std::vector<uint8_t> flat(256 * 192 * 2, 5);
        rule.GetVideoYuvData(edge.data());
        rule.GetVideoYuvData(flat.data());
        rule.m_bFocusReset = true;
        rule.GetVideoYuvData(flat.data());
        QCOMPARE(spy.count(), 3);
        QCOMPARE(spy.at(0).at(0).toFloat(), 3.125f);
        QCOMPARE(spy.at(0).at(1).toFloat(), 3.125f);
        QCOMPARE(spy.at(1).at(0).toFloat(), 3.125f);   // the best so far is kept
        QCOMPARE(spy.at(1).at(1).toFloat(), 0.0f);
        QCOMPARE(spy.at(2).at(0).toFloat(), 0.0f);     // after the reset the new value replaces it
        QVERIFY(!rule.m_bFocusReset);
    }

    void timerDrivesTheRecords()
    {
        // A short period: records keep coming while the timer runs and stop when it stops.
        QTempRule rule(nullptr, 10);
        QSignalSpy spy(&rule, SIGNAL(SendHotPointSignal(ThermHotPointParam)));
        rule.GetTimerStatusSlot(true);
        QTRY_VERIFY(spy.count() >= 3);
        rule.GetTimerStatusSlot(false);
        const int n = spy.count();
        QTest::qWait(50);
        QCOMPARE(spy.count(), n);
    }

    void measurementModelItemsAndEmissivity()
    {
        using namespace Measure;
        // 8 x 4 plane: luminance = 10 * x + y, so every pixel is distinct.
        std::vector<uint8_t> luma(32);
        for (int y = 0; y < 4; ++y)
            for (int x = 0; x < 8; ++x)
                luma[size_t(y * 8 + x)] = uint8_t(10 * x + y);
        const LumaModel model = modelOf(luma.data(), luma.size(), 20.0f, 40.0f);   // Y 0..73
        QCOMPARE(model.fYmax, 73.0f);
        QCOMPARE(model.temperature(0.0f), 20.0f);
        QCOMPARE(model.temperature(73.0f), 40.0f);
        QVERIFY(std::abs(model.luminance(model.temperature(36.5f)) - 36.5f) < 1e-4f);
        const LumaModel flat{5.0f, 5.0f, 21.0f, 21.0f};
        QCOMPARE(flat.temperature(9.0f), 21.0f);   // a flat frame reads its one temperature

        const Emissivity black;
        const LumaPlane plane{luma.data(), 8, 4, 1};
        MeasureItem rect;
        rect.kind = ItemKind::Rect;
        rect.pt1 = QPoint(6, 3);
        rect.pt2 = QPoint(2, 1);   // corners in any order
        RegionStats s = measureItem(plane, rect, model, black);
        QVERIFY(s.bValid);
        QCOMPARE(s.nPixels, 15);
        QCOMPARE(s.ptMax, QPoint(6, 3));
        QCOMPARE(s.ptMin, QPoint(2, 1));
        QVERIFY(std::abs(s.fAvg - model.temperature(42.0f)) < 1e-4f);
        MeasureItem line;
        line.kind = ItemKind::Line;
        line.pt1 = QPoint(0, 0);
        line.pt2 = QPoint(7, 3);
        s = measureItem(plane, line, model, black);
        QCOMPARE(s.nPixels, 8);   // one pixel per column of a flat diagonal
        QCOMPARE(s.ptMax, QPoint(7, 3));
        // Super-resolution doubles the plane; positions stay in camera pixels.
        std::vector<uint8_t> doubled(16 * 8);
        for (int y = 0; y < 8; ++y)
            for (int x = 0; x < 16; ++x)
                doubled[size_t(y * 16 + x)] = luma[size_t((y / 2) * 8 + x / 2)];
        const LumaPlane plane2{doubled.data(), 16, 8, 2};
        QCOMPARE(measureAll(plane2, model, black).ptMax, QPoint(7, 3));
        QCOMPARE(temperatureAt(plane2, QPoint(3, 2), model, black), model.temperature(32.0f));
        QVERIFY(std::isnan(temperatureAt(plane, QPoint(8, 0), model, black)));
        MeasureItem outside = rect;
        outside.pt1 = outside.pt2 = QPoint(20, 20);
        QVERIFY(!measureItem(plane, outside, model, black).bValid);

        // Grey body: e = 1 changes nothing; e = 0.5 against 20 degrees lifts a measured 65 to
        // the formula's 96.963; reflections stronger than the reading give absolute zero.
        QCOMPARE(black.correct(65.0), 65.0);
        const Emissivity half{0.5, 20.0};
        QVERIFY(std::abs(half.correct(65.0) - 96.9634) < 0.001);
        QCOMPARE(Emissivity({0.1, 100.0}).correct(20.0), -273.15);
        QCOMPARE(Emissivity::clampEmissivity(0.01), 0.10);
        s = measureItem(plane, rect, model, half);
        QVERIFY(std::abs(double(s.fMax) - half.correct(double(model.temperature(63.0f)))) < 1e-3);

        // Config.ini form: names may hold commas; bad entries are refused.
        QVector<MeasureItem> items;
        for (int i = 0; i < kMaxLines; ++i) {
            QVERIFY(canAdd(items, ItemKind::Line));
            items.append(newItem(items, ItemKind::Line));
        }
        QVERIFY(!canAdd(items, ItemKind::Line));
        QCOMPARE(items.last().nId, 4);
        QCOMPARE(items.last().qStrName, QString("L4"));
        rect.nId = 9;
        rect.qStrName = "Pipe, left";
        MeasureItem back;
        QVERIFY(MeasureItem::fromConfigText(rect.toConfigText(), &back));
        QCOMPARE(back.toConfigText(), rect.toConfigText());
        for (const char* bad : {"circle,1,0,0,0,0,x", "point,0,1,1,1,1,x", "rect,2,-1,0,3,3,x", "line,3,1,2"})
            QVERIFY2(!MeasureItem::fromConfigText(bad, &back), bad);
        MeasureItem moved = rect;
        moved.moveBy(QPoint(100, -100), 8, 4);   // stops at the edge, keeps its shape
        QCOMPARE(moved.rect(), QRect(QPoint(3, 0), QPoint(7, 2)));
    }
};

QTEST_MAIN(TestThermalData)
#include "test_thermal_data.moc"
