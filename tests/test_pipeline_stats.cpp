// The engine's own frame counters and latency spread: the histogram arithmetic, and what the
// engine counts when frames coalesce behind a pass that has not run yet.
#include "app/AppFlags.h"
#include "device/UsbCameraLink.h"
#include "platform/render/RenderEngine.h"
#include "support/TestSupport.h"
#include "video/PipelineStats.h"
#include "video/QVideoPlay.h"
#include "video/UpscaleStage.h"

#include <QThread>
#include <QtTest>
#include <atomic>
#include <thread>
#include <vector>

namespace {

// A renderer whose present takes a while and says when it finished.
int g_handle = 0;
std::atomic<int64_t> g_nPresentEndUs{0};
std::atomic<int> g_nPresents{0};
RenderHandle slowCreate(const RenderCreateInfo*) { return &g_handle; }
void slowSize(RenderHandle, int, int) {}
void slowDraw(RenderHandle, const RenderFrameDesc*, const RenderRect*, int) {}
void slowPresent(RenderHandle)
{
    QThread::msleep(20);
    ++g_nPresents;
    g_nPresentEndUs = PipelineStats::nowUs();
}
void slowDetach(RenderHandle, const uint8_t*) {}
void slowDestroy(RenderHandle) {}
const RenderEngineApi kSlowRenderer = {slowCreate, slowSize, slowDraw, slowPresent, slowDetach, slowDestroy, nullptr};

bool noModel() { return false; }
bool noRun(const unsigned char*, unsigned char*, int, int, float) { return false; }
const UpscaleStage kNoModel = {noModel, noRun};

} // namespace

class TestPipelineStats : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        setRenderEngine(&kSlowRenderer);
        setUpscaleStage(&kNoModel);
        g_bFreeze = false;
        g_nDirection = 0;
    }

    void latencySpread()
    {
        PipelineStats stats;
        PipelineStats::Snapshot s = stats.snapshot();
        QCOMPARE(s.latencyPercentileMs(0.99), 0.0);
        QCOMPARE(s.latencyMeanMs(), 0.0);

        for (int ms = 100; ms >= 1; --ms)
            stats.frameProcessed(1000, 1000 + ms * 1000);
        s = stats.snapshot();
        QCOMPARE(s.nFramesProcessed, uint64_t(100));
        QCOMPARE(s.latencyMeanMs(), 50.5);
        QCOMPARE(s.latencyMaxMs(), 100.0);
        // Bucket edges: never below the true value, at most one bucket above it.
        const double fBucketMs = PipelineStats::kBucketUs / 1000.0;
        QVERIFY(s.latencyPercentileMs(0.5) >= 50.0 && s.latencyPercentileMs(0.5) <= 50.0 + fBucketMs);
        QVERIFY(s.latencyPercentileMs(0.99) >= 99.0 && s.latencyPercentileMs(0.99) <= 99.0 + fBucketMs);
        QCOMPARE(s.latencyPercentileMs(1.0), 100.0);   // capped by the maximum
        QCOMPARE(s.latencyPercentileMs(0.0), 1.0 + fBucketMs);

        // Beyond the histogram's range the maximum is the only honest figure.
        stats.frameProcessed(0, 400000);
        s = stats.snapshot();
        QCOMPARE(s.latencyPercentileMs(1.0), 400.0);
        QCOMPARE(s.buckets[PipelineStats::kBuckets], uint64_t(1));

        // A clock a hair behind on another core gives no negative latency.
        stats.frameProcessed(5, 0);
        QCOMPARE(stats.snapshot().buckets[0], uint64_t(1));
        QCOMPARE(stats.snapshot().nLatencySumUs, int64_t(5050000 + 400000));

        stats.reset();
        s = stats.snapshot();
        QCOMPARE(s.nFramesProcessed, uint64_t(0));
        QCOMPARE(s.nLatencyMaxUs, int64_t(0));
        QCOMPARE(s.latencyPercentileMs(0.99), 0.0);
    }

    void engineCountsCoalescedFramesAndLatencyToPresent()
    {
        QVideoPlay engine;   // lives on this thread: its queued passes wait for our event loop
        QVERIFY(QMetaObject::invokeMethod(&engine, "setVideoPlaySlots", Qt::DirectConnection,
                                          Q_ARG(void*, &g_handle), Q_ARG(bool, true)));
        std::vector<uint8_t> frame(256 * 192 * 2, 0x80);

        // Three frames from the camera's thread while no pass can run: one pass is queued,
        // the two older frames are replaced before anyone processed them.
        const int64_t nBeforeFeed = PipelineStats::nowUs();
        std::thread camera([&] {
            for (int i = 0; i < 3; ++i)
                QVideoPlay::frameConsumer(frame.data(), 256, 192, &engine);
        });
        camera.join();
        const int64_t nFed = PipelineStats::nowUs();
        PipelineStats::Snapshot s = engine.pipelineStats().snapshot();
        QCOMPARE(s.nFramesTaken, uint64_t(3));
        QCOMPARE(s.nFramesCoalesced, uint64_t(2));
        QCOMPARE(s.nFramesProcessed, uint64_t(0));

        QThread::msleep(30);
        QCoreApplication::sendPostedEvents(&engine);
        s = engine.pipelineStats().snapshot();
        QCOMPARE(g_nPresents.load(), 1);
        QCOMPARE(s.nFramesProcessed, uint64_t(1));
        // Measured from the newest frame's arrival until after the present call.
        QVERIFY2(s.nLatencyMaxUs >= g_nPresentEndUs.load() - nFed,
                 qPrintable(QString::number(s.nLatencyMaxUs)));
        QVERIFY(s.nLatencyMaxUs <= PipelineStats::nowUs() - nBeforeFeed);
        // What the pass showed is the newest of the three frames.
        const int64_t nEntry = engine.pipelineStats().lastProcessedEntryUs();
        QVERIFY(nEntry >= nBeforeFeed && nEntry <= nFed);

        // Nothing is left to process: a stray pass counts nothing.
        QVERIFY(QMetaObject::invokeMethod(&engine, "setInputRenderDataSlot", Qt::DirectConnection,
                                          Q_ARG(unsigned char*, frame.data()), Q_ARG(int, 256), Q_ARG(int, 192)));
        QCOMPARE(engine.pipelineStats().snapshot().nFramesProcessed, uint64_t(1));

        // A frame on the engine's own thread is processed at once.
        QVideoPlay::frameConsumer(frame.data(), 256, 192, &engine);
        s = engine.pipelineStats().snapshot();
        QCOMPARE(s.nFramesTaken, uint64_t(4));
        QCOMPARE(s.nFramesProcessed, uint64_t(2));
        QCOMPARE(s.nFramesCoalesced, uint64_t(2));
        UsbCameraLink::instance().setFrameConsumer(nullptr, nullptr);
    }
};

QTEST_MAIN(TestPipelineStats)
#include "test_pipeline_stats.moc"
