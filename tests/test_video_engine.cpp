// The video engine driven directly: binding and renderer life, the per-frame pipeline as the
// renderer receives it, freeze, liveness, the buffers handed to other threads, frame
// coalescing under a slow pipeline, the super-resolution blend table and snapshots.
#include "app/AppFlags.h"
#include "device/UsbCameraLink.h"
#include "platform/render/RenderEngine.h"
#include "support/TestSupport.h"
#include "video/ImageOps.h"
#include "video/Palette.h"
#include "video/QVideoPlay.h"
#include "video/ThermImageContext.h"
#include "video/UpscaleStage.h"
#include "video/VideoGlobals.h"

#include <QImageReader>
#include <QSemaphore>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <cstring>

namespace {

// ---- a renderer that records what it is given ----------------------------------------------
struct FakeRenderer
{
    int nCreate = 0, nDestroy = 0, nDetach = 0, nPresent = 0, nDraw = 0;
    bool bFailCreate = false;
    RenderCreateInfo lastCreate;
    int nSrcWidth = 0, nSrcHeight = 0;
    RenderFrameDesc lastFrame;
    RenderRect lastRect;
    std::vector<uint8_t> y, u, v;   // copies of the drawn planes
};
FakeRenderer g_fake;
int g_fakeHandle = 0;

RenderHandle fakeCreate(const RenderCreateInfo* p)
{
    ++g_fake.nCreate;
    g_fake.lastCreate = *p;
    return g_fake.bFailCreate ? nullptr : &g_fakeHandle;
}
void fakeSize(RenderHandle, int w, int h)
{
    g_fake.nSrcWidth = w;
    g_fake.nSrcHeight = h;
}
void fakeDraw(RenderHandle, const RenderFrameDesc* f, const RenderRect* r, int)
{
    ++g_fake.nDraw;
    g_fake.lastFrame = *f;
    g_fake.lastRect = *r;
    g_fake.y.assign(f->pPlane[0], f->pPlane[0] + size_t(f->nPitch[0]) * f->nRows[0]);
    g_fake.u.assign(f->pPlane[1], f->pPlane[1] + size_t(f->nPitch[1]) * f->nRows[1]);
    g_fake.v.assign(f->pPlane[2], f->pPlane[2] + size_t(f->nPitch[2]) * f->nRows[2]);
}
void fakePresent(RenderHandle) { ++g_fake.nPresent; }
void fakeDetach(RenderHandle, const uint8_t*) { ++g_fake.nDetach; }
void fakeDestroy(RenderHandle) { ++g_fake.nDestroy; }
const RenderEngineApi kFakeRenderer = {fakeCreate, fakeSize, fakeDraw, fakePresent, fakeDetach, fakeDestroy, nullptr};

// ---- a super-resolution stage that can be held up -------------------------------------------
struct GatedStage
{
    QSemaphore entered;
    QSemaphore release;
    std::atomic<bool> bGate{false};
    std::atomic<int> nRuns{0};
    std::atomic<bool> bFail{false};
    std::vector<int> seen;   // first luminance byte of every frame the stage ran on
};
GatedStage g_stage;

bool stageSetUp() { return true; }
bool stageRun(const unsigned char* pSrc, unsigned char* pDst, int w, int h, float)
{
    g_stage.seen.push_back(pSrc[1]);
    ++g_stage.nRuns;
    if (g_stage.bGate) {
        g_stage.entered.release();
        g_stage.release.acquire();
    }
    std::memset(pDst, 0x80, size_t(w) * size_t(h) * 8);
    return !g_stage.bFail;
}
const UpscaleStage kGatedStage = {stageSetUp, stageRun};

uint32_t g_tick = 0;
uint32_t fakeTick() { return g_tick; }

std::vector<uint8_t> constantFrame(int w, int h, uint8_t u, uint8_t y, uint8_t v)
{
    std::vector<uint8_t> f(size_t(w) * size_t(h) * 2);
    for (size_t i = 0; i < f.size(); i += 4) {
        f[i] = u;
        f[i + 1] = y;
        f[i + 2] = v;
        f[i + 3] = y;
    }
    return f;
}

// The pointer a buffer signal carried (the type is registered by name only).
unsigned char* bufferArg(const QList<QVariant>& args)
{
    return *static_cast<unsigned char* const*>(args.at(0).constData());
}

void feed(QVideoPlay* p, std::vector<uint8_t>& f, int w, int h) { QVideoPlay::frameConsumer(f.data(), w, h, p); }

void bind(QVideoPlay* p, void* h, bool bWindow)
{
    QVERIFY(QMetaObject::invokeMethod(p, "setVideoPlaySlots", Qt::DirectConnection, Q_ARG(void*, h), Q_ARG(bool, bWindow)));
}

void* const kWindowA = reinterpret_cast<void*>(0x1001);
void* const kWindowB = reinterpret_cast<void*>(0x1002);

} // namespace

class TestVideoEngine : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        setRenderEngine(&kFakeRenderer);
        setUpscaleStage(&kGatedStage);
    }

    void init()
    {
        g_fake = FakeRenderer();
        g_stage.seen.clear();
        g_stage.nRuns = 0;
        g_bFreeze = false;
        g_nDirection = 0;
        ThermImageContext::instance().m_bAutoRange = true;
        UsbCameraLink::instance().setFrameConsumer(nullptr, nullptr);
    }

    void bindingAndRendererLife()
    {
        UsbCameraLink& link = UsbCameraLink::instance();
        QVideoPlay engine;
        bind(&engine, nullptr, true);   // a null handle changes nothing
        QCOMPARE(g_fake.nCreate, 0);
        QVERIFY(link.pConsumerCtx == nullptr);

        bind(&engine, kWindowA, true);
        QCOMPARE(g_fake.nCreate, 1);
        QCOMPARE(g_fake.lastCreate.nKind, 4u);
        QVERIFY(g_fake.lastCreate.hWnd == kWindowA);
        QCOMPARE(g_fake.lastCreate.nFlags, 0u);
        QVERIFY(engine.hasRenderTarget());
        QVERIFY(link.pConsumerCtx == &engine);

        bind(&engine, kWindowA, true);   // same window: the renderer stays
        QCOMPARE(g_fake.nCreate, 1);
        bind(&engine, kWindowB, true);   // another window: detach, destroy, create
        QCOMPARE(g_fake.nDetach, 1);
        QCOMPARE(g_fake.nDestroy, 1);
        QCOMPARE(g_fake.nCreate, 2);

        engine.setIsoTemperSlot(10.0f, 20.0f);
        engine.stopPreview();
        QCOMPARE(g_fake.nDestroy, 2);
        QVERIFY(!engine.hasRenderTarget());
        QCOMPARE(engine.isoLow(), -30.0f);
        QCOMPARE(engine.isoHigh(), 200.0f);

        // No renderer could be made: the engine does not take frames.
        link.setFrameConsumer(nullptr, nullptr);
        g_fake.bFailCreate = true;
        bind(&engine, kWindowA, true);
        QVERIFY(!engine.hasRenderTarget());
        QVERIFY(link.pConsumerCtx == nullptr);

        // Without a window the pointer is never handed to the renderer, and frames are taken.
        const int nCreates = g_fake.nCreate;
        bind(&engine, &engine, false);
        QCOMPARE(g_fake.nCreate, nCreates);
        QVERIFY(link.pConsumerCtx == &engine);
    }

    void destroyedEngineIsUnbound()
    {
        UsbCameraLink& link = UsbCameraLink::instance();
        {
            QVideoPlay engine;
            bind(&engine, kWindowA, true);
            QVERIFY(link.pConsumerCtx == &engine);
        }
        QVERIFY(link.pConsumerCtx == nullptr);
        QVERIFY(link.pfnFrameConsumer == nullptr);
        QCOMPARE(g_fake.nDestroy, 1);
    }

    void pipelineAsTheRendererSeesIt()
    {
        QVideoPlay engine;
        bind(&engine, kWindowA, true);
        QSignalSpy sizeSpy(&engine, SIGNAL(sendVideoWidgetUpdateSignal(bool)));

        // Ignored frames.
        std::vector<uint8_t> f = constantFrame(256, 192, 100, 128, 150);
        QVideoPlay::frameConsumer(nullptr, 256, 192, &engine);
        QVideoPlay::frameConsumer(f.data(), 0, 192, &engine);
        QCOMPARE(g_fake.nDraw, 0);

        // WhiteHot: gamma only (128 -> 95), chroma as it came, fourfold planes, whole picture.
        engine.setPaletteId(Palette::kWhiteHot);
        feed(&engine, f, 256, 192);
        QCOMPARE(sizeSpy.count(), 1);
        QCOMPARE(sizeSpy.at(0).at(0).toBool(), false);
        QCOMPARE(engine.frameWidth(), 256);
        QCOMPARE(g_nFrameWidth.load(), 256);
        QCOMPARE(g_nFrameHeight.load(), 192);
        QCOMPARE(engine.zoomTableBase(), 4);
        QCOMPARE(g_fake.nDraw, 1);
        QCOMPARE(g_fake.nPresent, 1);
        QCOMPARE(g_fake.nSrcWidth, 1024);
        QCOMPARE(g_fake.nSrcHeight, 768);
        const RenderFrameDesc& d = g_fake.lastFrame;
        QCOMPARE(d.nPitch[0], 1024);
        QCOMPARE(d.nPitch[1], 512);
        QCOMPARE(d.nRows[0], 768);
        QCOMPARE(d.nRows[2], 384);
        QCOMPARE(d.nPitchVisible[2], 512);
        QCOMPARE(d.nRowsVisible[0], 768);
        QCOMPARE(g_fake.lastRect.left, 0);
        QCOMPARE(g_fake.lastRect.right, 1024);
        QCOMPARE(g_fake.lastRect.bottom, 768);
        QVERIFY(std::all_of(g_fake.y.begin(), g_fake.y.end(), [](uint8_t b) { return b == 95; }));
        QVERIFY(std::all_of(g_fake.u.begin(), g_fake.u.end(), [](uint8_t b) { return b == 100; }));
        QVERIFY(std::all_of(g_fake.v.begin(), g_fake.v.end(), [](uint8_t b) { return b == 150; }));

        // IronRed on the same frame; the size did not change, so no new size signal.
        engine.setPaletteId(Palette::kIronRed);
        feed(&engine, f, 256, 192);
        QCOMPARE(sizeSpy.count(), 1);
        const uint32_t e = Palette::entry(Palette::kIronRed, 95);
        QCOMPARE(g_fake.y[5000], Palette::entryY(e));
        QCOMPARE(g_fake.u[5000], Palette::entryU(e));
        QCOMPARE(g_fake.v[5000], Palette::entryV(e));

        // Zoom level 1 crops (32, 24) from each side of the 1024 x 768 picture.
        QCOMPARE(engine.computeZoomOffsets(1), QPoint(32, 24));
        feed(&engine, f, 256, 192);
        QCOMPARE(g_fake.lastRect.left, 32);
        QCOMPARE(g_fake.lastRect.top, 24);
        QCOMPARE(g_fake.lastRect.right, 992);
        QCOMPARE(g_fake.lastRect.bottom, 744);

        // A quarter turn shows a 768 x 1024 picture, and its crop is exchanged too.
        g_nDirection = 1;
        QCOMPARE(engine.computeZoomOffsets(1), QPoint(24, 32));
        feed(&engine, f, 256, 192);
        QCOMPARE(g_fake.nSrcWidth, 768);
        QCOMPARE(g_fake.nSrcHeight, 1024);
        QCOMPARE(g_fake.lastRect.right, 744);
        QCOMPARE(g_fake.lastRect.bottom, 992);
        g_nDirection = 0;

        // Super-resolution doubles everything downstream, and the zoom crop with it.
        engine.setSuperResolution(true);
        QCOMPARE(engine.computeZoomOffsets(1), QPoint(64, 48));
        feed(&engine, f, 256, 192);
        QCOMPARE(g_stage.nRuns.load(), 1);
        QCOMPARE(g_fake.nSrcWidth, 2048);
        QCOMPARE(g_fake.nSrcHeight, 1536);
        engine.setSuperResolution(false);

        // A wider camera: one more size signal, zoom table from its start.
        std::vector<uint8_t> wide = constantFrame(512, 384, 128, 60, 128);
        feed(&engine, wide, 512, 384);
        QCOMPARE(sizeSpy.count(), 2);
        QCOMPARE(engine.zoomTableBase(), 0);
        QCOMPARE(g_fake.nSrcWidth, 2048);

        // Super-resolution is refused, never faked by a plain enlargement: for a picture the
        // network was not made for, and when a run fails.
        QSignalSpy refused(&engine, &QVideoPlay::sendSuperResRefusedSignal);
        engine.setSuperResolution(true);
        feed(&engine, wide, 512, 384);
        QCOMPARE(g_stage.nRuns.load(), 1);
        QCOMPARE(g_fake.nSrcWidth, 2048);
        engine.setSuperResolution(true);
        g_stage.bFail = true;
        feed(&engine, f, 256, 192);
        g_stage.bFail = false;
        QCOMPARE(g_fake.nSrcWidth, 1024);
        QCOMPARE(refused.count(), 2);
        QVERIFY(!engine.m_bSuperRes.load() && engine.m_nScale.load() == 1);

        // Frozen across a change of picture size: the frozen picture stays, not black.
        const std::vector<uint8_t> shown = g_fake.y;
        g_bFreeze = true;
        feed(&engine, wide, 512, 384);
        g_bFreeze = false;
        QCOMPARE(g_fake.nSrcWidth, 1024);
        QVERIFY(g_fake.y == shown);
    }

    void rangeMappingInThePipeline()
    {
        QVideoPlay engine;
        bind(&engine, kWindowA, true);
        engine.setPaletteId(Palette::kWhiteHot);
        ThermImageContext& ctx = ThermImageContext::instance();
        ctx.m_bAutoRange = false;
        ctx.m_fSceneMin = 20.0f;
        ctx.m_fSceneMax = 40.0f;
        ctx.m_nLumaMin = 0;
        ctx.m_nLumaMax = 200;
        engine.setIsoTemperSlot(20.0f, 30.0f);   // window: levels 0 .. 100, spread over 0 .. 200
        std::vector<uint8_t> f = constantFrame(256, 192, 128, 64, 128);   // gamma: 64 -> 35
        feed(&engine, f, 256, 192);
        QCOMPARE(g_fake.y[0], Palette::entryY(Palette::entry(Palette::kWhiteHot, 70)));
        const std::vector<uint8_t> plane = ctx.lumaPlane();
        QCOMPARE(plane.size(), size_t(256 * 192));
        QCOMPARE(plane[0], uint8_t(35));

        // A window the scene cannot express leaves the grey picture as it is.
        engine.setIsoTemperSlot(20.0f, 100.0f);
        feed(&engine, f, 256, 192);
        QCOMPARE(g_fake.y[0], uint8_t(35));
        ctx.m_bAutoRange = true;
    }

    void freezeAndHandOff()
    {
        QVideoPlay engine;
        bind(&engine, &engine, false);
        QSignalSpy yuv(&engine, SIGNAL(sendYUVSignals(unsigned char*, int)));
        QSignalSpy calc(&engine, SIGNAL(sendCalcuYDataSignal(unsigned char*, int)));

        // Not rendering: the frame is handed on exactly as it came (no gamma, colour, rotation).
        g_nDirection = 1;
        engine.setPaletteId(Palette::kIronRed);
        std::vector<uint8_t> a = constantFrame(256, 192, 1, 2, 3);
        a[1] = 200;
        feed(&engine, a, 256, 192);
        QCOMPARE(yuv.count(), 1);
        QCOMPARE(calc.count(), 1);
        auto* pA = bufferArg(yuv.at(0));
        QCOMPARE(yuv.at(0).at(1).toInt(), 1);
        QVERIFY(std::memcmp(pA, a.data(), a.size()) == 0);
        QVERIFY(std::memcmp(bufferArg(calc.at(0)), a.data(), a.size()) == 0);

        // Frozen: later frames show, and hand on, the frame from before the freeze.
        g_bFreeze = true;
        std::vector<uint8_t> b = constantFrame(256, 192, 9, 9, 9);
        feed(&engine, b, 256, 192);
        feed(&engine, b, 256, 192);
        QCOMPARE(yuv.count(), 3);
        QVERIFY(std::memcmp(bufferArg(yuv.at(2)), a.data(), a.size()) == 0);
        QVERIFY(std::memcmp(bufferArg(calc.at(2)), a.data(), a.size()) == 0);
        g_bFreeze = false;
        feed(&engine, b, 256, 192);
        auto* pB = bufferArg(yuv.at(3));
        QVERIFY(std::memcmp(pB, b.data(), b.size()) == 0);

        // A receiver still copying the first frame's buffer is not overwritten by later frames.
        QVERIFY(pA != pB);
        QVERIFY(std::memcmp(pA, a.data(), a.size()) == 0);
        QVERIFY(bufferArg(calc.at(0)) != bufferArg(calc.at(3)));
        g_nDirection = 0;
    }

    void liveness()
    {
        // The real tick count moves with the clock (a stuck one keeps every stream "alive").
        const uint32_t nStart = videoTickCount();
        QTest::qWait(30);
        QVERIFY(videoTickCount() - nStart >= 25);
        setTickSourceForTests(fakeTick);
        QVideoPlay engine;
        g_tick = 100;   // a clock that has barely started must not look like a live stream
        bind(&engine, kWindowA, true);
        QVERIFY(!engine.isStreamAlive());
        g_tick = 5000;
        std::vector<uint8_t> f = constantFrame(256, 192, 128, 50, 128);
        feed(&engine, f, 256, 192);
        QVERIFY(engine.isStreamAlive());
        g_tick = 7000;
        QVERIFY(engine.isStreamAlive());
        g_tick = 7001;
        QVERIFY(!engine.isStreamAlive());

        // Across the wrap of the 32-bit tick count.
        g_tick = 0xFFFFFF00u;
        feed(&engine, f, 256, 192);
        g_tick = 0x100;
        QVERIFY(engine.isStreamAlive());

        bind(&engine, kWindowA, true);   // re-binding starts over
        QVERIFY(!engine.isStreamAlive());
        setTickSourceForTests(nullptr);
    }

    void framesCoalesceBehindASlowPipeline()
    {
        QThread thread;
        auto* pEngine = new QVideoPlay;
        pEngine->moveToThread(&thread);
        connect(&thread, &QThread::finished, pEngine, &QObject::deleteLater);
        thread.start();
        pEngine->setSuperResolution(true);
        QVERIFY(QMetaObject::invokeMethod(pEngine, "setVideoPlaySlots", Qt::BlockingQueuedConnection,
                                          Q_ARG(void*, pEngine), Q_ARG(bool, false)));
        std::atomic<int> nQueued{0};
        connect(pEngine, &QVideoPlay::sendRenderDataSignal, this, [&] { ++nQueued; }, Qt::DirectConnection);

        g_stage.bGate = true;
        std::vector<uint8_t> f = constantFrame(256, 192, 128, 0, 128);
        f[1] = 1;
        feed(pEngine, f, 256, 192);
        QVERIFY(g_stage.entered.tryAcquire(1, 10000));   // the first frame is in the slow stage

        // Forty-nine frames arrive while it is busy: one call is queued, the rest only refresh it.
        for (int i = 2; i <= 50; ++i) {
            f[1] = uint8_t(i);
            feed(pEngine, f, 256, 192);
            QCOMPARE(nQueued.load(), 2);
        }
        g_stage.release.release(1);
        QVERIFY(g_stage.entered.tryAcquire(1, 10000));
        g_stage.bGate = false;
        g_stage.release.release(1);
        QVERIFY(QMetaObject::invokeMethod(pEngine, [] {}, Qt::BlockingQueuedConnection));
        QCOMPARE(g_stage.nRuns.load(), 2);
        QCOMPARE(g_stage.seen, (std::vector<int>{1, 50}));   // the newest frame wins

        thread.quit();
        thread.wait();
    }

    void superResolutionBlendTable()
    {
        QVideoPlay engine;
        auto judge = [&](float t) {
            ThermHotPointParam st;
            st.fMaxTemper = t;
            engine.JudgeRatioRangeSlot(st);
        };
        judge(90.0f);
        QVERIFY(!engine.isSuperResRatioOn());
        judge(90.1f);
        QVERIFY(engine.isSuperResRatioOn());
        QCOMPARE(engine.superResRatio(), 0.9f);
        judge(120.0f);
        QCOMPARE(engine.superResRatio(), 0.9f);
        judge(140.0f);
        QCOMPARE(engine.superResRatio(), 0.7f);
        judge(140.1f);
        QCOMPARE(engine.superResRatio(), 0.5f);
        judge(20.0f);
        QVERIFY(!engine.isSuperResRatioOn());
        QCOMPARE(engine.superResRatio(), 0.5f);   // the weight stays for the next hot scene
    }

    void logoFollowsTheEnlargement()
    {
        QVideoPlay engine;
        engine.m_matLogo = cv::Mat(50, 50, CV_8UC4, cv::Scalar(0, 0, 255, 255));
        engine.m_matLogoSmall = cv::Mat(25, 25, CV_8UC4, cv::Scalar(255, 0, 0, 255));
        cv::Mat image(100, 100, CV_8UC3, cv::Scalar(0, 0, 0));
        engine.stampLogo(image);
        QCOMPARE(image.at<cv::Vec3b>(34, 34), cv::Vec3b(255, 0, 0));
        QCOMPARE(image.at<cv::Vec3b>(40, 40), cv::Vec3b(0, 0, 0));
        engine.setSuperResolution(true);
        engine.stampLogo(image);
        QCOMPARE(image.at<cv::Vec3b>(59, 59), cv::Vec3b(0, 0, 255));
    }

    void snapshots()
    {
        TestSupport::ScopedConfigDir dir;
        QVideoPlay engine;
        bind(&engine, kWindowA, true);
        QSignalSpy spy(&engine, SIGNAL(sendSnapshotResultSignals(int)));
        auto snap = [&](const QString& path) {
            QVERIFY(QMetaObject::invokeMethod(&engine, "setDealSnapshotSlots", Qt::DirectConnection, Q_ARG(QString, path)));
        };

        // Before the first frame: the folder is made, and the answer is "no frame".
        const QString qStrFolder = dir.path() + "/shots/day";
        snap(qStrFolder);
        QCOMPARE(spy.takeFirst().at(0).toInt(), 1);
        QVERIFY(QDir(qStrFolder).exists());

        // A folder that cannot be made.
        QFile blocker(dir.path() + "/file");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        snap(dir.path() + "/file/sub");
        QCOMPARE(spy.takeFirst().at(0).toInt(), 2);

        // Rotated a quarter turn, a 256 x 192 camera saves 192 x 256; with super-resolution 384 x 512.
        std::vector<uint8_t> f = constantFrame(256, 192, 128, 90, 128);
        g_nDirection = 1;
        feed(&engine, f, 256, 192);
        snap(qStrFolder);
        QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
        QStringList files = QDir(qStrFolder).entryList({"*.jpg"}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 1);
        QCOMPARE(QImageReader(qStrFolder + "/" + files.last()).size(), QSize(192, 256));

        engine.setSuperResolution(true);
        feed(&engine, f, 256, 192);
        QTest::qWait(2);   // file names carry milliseconds
        snap(qStrFolder);
        QCOMPARE(spy.takeFirst().at(0).toInt(), 0);
        files = QDir(qStrFolder).entryList({"*.jpg"}, QDir::Files, QDir::Name);
        QCOMPARE(files.size(), 2);
        QCOMPARE(QImageReader(qStrFolder + "/" + files.last()).size(), QSize(384, 512));
        g_nDirection = 0;
    }
};

QTEST_MAIN(TestVideoEngine)
#include "test_video_engine.moc"
