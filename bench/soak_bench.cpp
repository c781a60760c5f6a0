// Soak run of the client's picture pipeline and recording against the simulated camera: the
// live view's engine and thermal data worker on their own threads, a manual recording cut into
// segments, for many minutes. Every second it samples resident memory, frames delivered by the
// camera, frames the engine processed and coalesced, and the latency from the frame callback
// to the present call. At the end it decodes every segment back and checks the cuts.
//
//   soak_bench [--minutes M] [--segment-seconds S] [--fps F] [--window] [--out DIR] [--keep]
//
//   --minutes          length of the run (default 10; fractions allowed)
//   --segment-seconds  length of a recording segment (default 60)
//   --fps              frame rate of the simulated camera (default 25)
//   --window           render into an SDL window (needs a display, e.g. Xvfb); by default the
//                      engine renders into a renderer that draws nothing, as thermava-cli does
//   --out DIR          where the segments and soak-samples.csv go (default: a temporary
//                      folder, removed at the end unless --keep)
//
// Targets: resident memory grows by less than 5 MB after the first minute, no frame takes more
// than 100 ms from the callback to the present, and every segment plays with no gap longer
// than one frame between consecutive segments (at most one camera frame missing at a cut, on
// the camera's timeline). Exit code 0 when all are met.

#include "app/AppFlags.h"
#include "app/Startup.h"
#include "device/UsbCameraLink.h"
#include "platform/camlib/CameraLibrary.h"
#include "platform/encoder/StreamConvertor.h"
#include "platform/render/RenderEngine.h"
#include "platform/simcam/SimCamera.h"
#include "support/MediaProbe.h"
#include "video/Palette.h"
#include "video/PipelineStats.h"
#include "video/QTempRule.h"
#include "video/QVideoPlay.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTextStream>
#include <QThread>
#include <QTimer>
#include <QWidget>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <malloc.h>
#include <memory>
#include <mutex>
#include <unistd.h>
#include <vector>

namespace {

constexpr double kMemoryTargetMb = 5.0;
constexpr double kLatencyTargetMs = 100.0;

struct Options
{
    double fMinutes = 10.0;
    int nSegmentSeconds = 60;
    double fFps = 25.0;
    bool bWindow = false;
    bool bKeep = false;
    QString qStrOut;
};

bool parseOptions(int argc, char** argv, Options& o)
{
    for (int i = 1; i < argc; ++i) {
        const bool bHasValue = i + 1 < argc;
        if (!std::strcmp(argv[i], "--minutes") && bHasValue)
            o.fMinutes = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--segment-seconds") && bHasValue)
            o.nSegmentSeconds = std::atoi(argv[++i]);
        else if (!std::strcmp(argv[i], "--fps") && bHasValue)
            o.fFps = std::atof(argv[++i]);
        else if (!std::strcmp(argv[i], "--out") && bHasValue)
            o.qStrOut = QString::fromLocal8Bit(argv[++i]);
        else if (!std::strcmp(argv[i], "--window"))
            o.bWindow = true;
        else if (!std::strcmp(argv[i], "--keep"))
            o.bKeep = true;
        else
            return false;
    }
    return o.fMinutes > 0 && o.nSegmentSeconds > 0 && o.fFps > 0;
}

// ---- where each segment's pictures fall in time -------------------------------------------------
// The MP4 writer stamps every picture with the moment it is written, on the monotonic clock,
// relative to the segment's first picture. Watching the clock it reads (the same steady clock
// it uses by default) pins each segment to absolute time. The engine tells, while it encodes,
// when the frame of its pass arrived from the camera: that places every written picture on the
// camera's own timeline, where a cut that loses pictures shows as a missing frame whatever the
// machine's load did to the moments of writing.
struct SegmentClock
{
    QString qStrPath;
    int64_t nFirstUs = -1;        // writer's stamp of the first picture
    int64_t nLastUs = -1;
    int64_t nFirstEntryUs = -1;   // camera arrival of the first and last picture
    int64_t nLastEntryUs = -1;
    int64_t nMaxEntryStepUs = 0;  // longest step between consecutive pictures, camera timeline
    int nUnits = 0;
};

std::mutex g_segmentMutex;
std::vector<SegmentClock> g_segments;
std::atomic<const QVideoPlay*> g_pWatchedEngine{nullptr};

void segmentOpened(const QString& qStrPath)
{
    std::lock_guard<std::mutex> lock(g_segmentMutex);
    SegmentClock seg;
    seg.qStrPath = qStrPath;
    g_segments.push_back(seg);
}

size_t segmentCount()
{
    std::lock_guard<std::mutex> lock(g_segmentMutex);
    return g_segments.size();
}

int64_t watchedClock()
{
    const int64_t nNow = PipelineStats::nowUs();
    const QVideoPlay* pEngine = g_pWatchedEngine.load();
    const int64_t nEntry = pEngine ? pEngine->pipelineStats().lastProcessedEntryUs() : nNow;
    std::lock_guard<std::mutex> lock(g_segmentMutex);
    if (!g_segments.empty()) {
        SegmentClock& seg = g_segments.back();
        if (seg.nFirstUs < 0) {
            seg.nFirstUs = nNow;
            seg.nFirstEntryUs = nEntry;
        } else {
            seg.nMaxEntryStepUs = std::max(seg.nMaxEntryStepUs, nEntry - seg.nLastEntryUs);
        }
        seg.nLastUs = nNow;
        seg.nLastEntryUs = nEntry;
        ++seg.nUnits;
    }
    return nNow;
}

// ---- samples ------------------------------------------------------------------------------------
double residentMb()
{
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly))
        return 0.0;
    const QList<QByteArray> fields = statm.readAll().simplified().split(' ');
    if (fields.size() < 2)
        return 0.0;
    return fields[1].toDouble() * double(sysconf(_SC_PAGESIZE)) / (1024.0 * 1024.0);
}

// Bytes the allocator has handed out and not taken back (all arenas and mapped blocks): tells a
// growing heap from pages the allocator merely keeps.
double heapInUseMb()
{
    const struct mallinfo2 mi = mallinfo2();
    return double(mi.uordblks + mi.hblkhd) / (1024.0 * 1024.0);
}

// Kept for every second, so small: the latency histograms are compared one second to the next
// and not stored.
struct Sample
{
    double fSeconds = 0;
    double fRssMb = 0;
};

// Latency spread of the passes between two snapshots.
PipelineStats::Snapshot between(const PipelineStats::Snapshot& a, const PipelineStats::Snapshot& b)
{
    PipelineStats::Snapshot d;
    d.nFramesProcessed = b.nFramesProcessed - a.nFramesProcessed;
    d.nLatencySumUs = b.nLatencySumUs - a.nLatencySumUs;
    int nTop = -1;
    for (size_t i = 0; i < d.buckets.size(); ++i) {
        d.buckets[i] = b.buckets[i] - a.buckets[i];
        if (d.buckets[i])
            nTop = int(i);
    }
    // The histogram gives the second's maximum to within a bucket (the run's maximum is exact).
    d.nLatencyMaxUs = nTop < 0 ? 0
                      : nTop == PipelineStats::kBuckets ? b.nLatencyMaxUs
                                                        : int64_t(nTop + 1) * PipelineStats::kBucketUs;
    return d;
}

uint64_t passesLaterThan(const PipelineStats::Snapshot& s, double fMs)
{
    const size_t nFrom = size_t(std::ceil(fMs * 1000.0 / PipelineStats::kBucketUs));
    uint64_t n = 0;
    for (size_t i = std::min(nFrom, s.buckets.size() - 1); i < s.buckets.size(); ++i)
        n += s.buckets[i];
    return n;
}

// ---- the segments, decoded back -------------------------------------------------------------
struct SegmentCheck
{
    int nSegments = 0;
    int nBroken = 0;               // files that do not open, decode with errors or hold nothing
    int nCountMismatch = 0;        // segments that decode to another number of pictures than written
    double fMaxGapMs = 0;          // camera time between segments that no picture shows
    int nFramesLostAtCuts = 0;     // the same in frames, all cuts together
    int nMaxFramesLostAtCut = 0;   // and at the worst cut
    double fMaxFileGapMs = 0;      // the cut measured on the moments of writing
    double fMaxInnerStepMs = 0;    // longest step between pictures inside a segment (camera timeline)
};

SegmentCheck checkSegments(const QString& qStrDir, double fFrameMs)
{
    std::vector<SegmentClock> segs;
    {
        std::lock_guard<std::mutex> lock(g_segmentMutex);
        segs = g_segments;
    }
    SegmentCheck check;
    std::printf("\nsegments (decoded back):\n");
    const SegmentClock* pPrev = nullptr;
    double fPrevFileEndUs = 0;
    for (const SegmentClock& seg : segs) {
        const QString qStrName = QFileInfo(seg.qStrPath).fileName();
        // A segment that never received a picture is removed by the writer; it cannot play.
        if (seg.nUnits == 0 && !QFileInfo::exists(seg.qStrPath)) {
            std::printf("  %s: no pictures, not kept\n", qPrintable(qStrName));
            continue;
        }
        ++check.nSegments;
        const TestSupport::MediaInfo info = TestSupport::probeMedia(seg.qStrPath);
        const bool bPlays = info.bOpened && info.nFrameCount > 0 && info.nDecodeErrors == 0;
        if (!bPlays)
            ++check.nBroken;
        if (info.nFrameCount != seg.nUnits)
            ++check.nCountMismatch;
        const double fFirst = info.vecPtsSec.isEmpty() ? 0.0 : info.vecPtsSec.first();
        const double fLast = info.vecPtsSec.isEmpty() ? 0.0 : info.vecPtsSec.last();
        check.fMaxInnerStepMs = std::max(check.fMaxInnerStepMs, seg.nMaxEntryStepUs / 1000.0);

        QString qStrGap = QStringLiteral("-");
        if (pPrev && bPlays) {
            const double fGapMs = (seg.nFirstEntryUs - pPrev->nLastEntryUs) / 1000.0 - fFrameMs;
            const double fFileGapMs = (seg.nFirstUs - fPrevFileEndUs) / 1000.0 - fFrameMs;
            const int nLost = std::max(0, int(std::lround(fGapMs / fFrameMs)));
            check.fMaxGapMs = std::max(check.fMaxGapMs, fGapMs);
            check.fMaxFileGapMs = std::max(check.fMaxFileGapMs, fFileGapMs);
            check.nFramesLostAtCuts += nLost;
            check.nMaxFramesLostAtCut = std::max(check.nMaxFramesLostAtCut, nLost);
            qStrGap = QString::asprintf("%.1f ms (%d frames lost; %.1f ms between the moments of writing)", fGapMs,
                                        nLost, fFileGapMs);
        }
        std::printf("  %s: %s, %d frames (%d written), %.3f .. %.3f s, %dx%d, gap before: %s\n",
                    qPrintable(qStrName), bPlays ? "plays" : qPrintable("BROKEN " + info.qStrError),
                    info.nFrameCount, seg.nUnits, fFirst, fLast, info.nWidth, info.nHeight, qPrintable(qStrGap));
        if (bPlays) {
            pPrev = &seg;
            // The last picture's moment of writing, from the file's own times.
            fPrevFileEndUs = double(seg.nFirstUs) + (fLast - fFirst) * 1e6;
        }
    }
    // Every .mp4 in the record folder should be one of the segments above.
    int nOnDisk = 0;
    QDir base(qStrDir);
    for (const QString& qStrDay : base.entryList(QDir::Dirs | QDir::NoDotAndDotDot))
        nOnDisk += QDir(base.filePath(qStrDay)).entryList({QStringLiteral("*.mp4")}, QDir::Files).size();
    if (nOnDisk != check.nSegments) {
        std::printf("  %d .mp4 files on disk, %d segments announced\n", nOnDisk, check.nSegments);
        ++check.nBroken;
    }
    return check;
}

// ---- the run ---------------------------------------------------------------------------------------
bool connectCamera()
{
    const CameraLibraryApi& lib = cameraLibrary();
    std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
    std::memset(list.data(), 0, list.size() * sizeof(UsbDeviceRecord));
    int32_t nCount = 0;
    for (int nPass = 0; nPass < 20; ++nPass) {
        if (lib.GetUsbDeviceNum(&nCount, list.data()) && UsbCameraLink::instance().open(list[0]))
            return true;
        QThread::msleep(200);
    }
    return false;
}

int run(const Options& o)
{
    initThermavaResources();
    registerThermavaMetaTypes();
    if (!o.bWindow)
        setRenderEngine(&nullRenderEngineApi());

    std::unique_ptr<QTemporaryDir> pTemp;
    QString qStrOut = o.qStrOut;
    if (qStrOut.isEmpty()) {
        pTemp.reset(new QTemporaryDir(QDir::tempPath() + QStringLiteral("/thermava-soak-XXXXXX")));
        pTemp->setAutoRemove(!o.bKeep);
        qStrOut = pTemp->path();
    }
    const QString qStrRecords = qStrOut + QStringLiteral("/Records");
    QDir().mkpath(qStrRecords);

    SimCamera& cam = SimCamera::instance();
    cam.setFrameRate(o.fFps);
    if (!connectCamera()) {
        std::fprintf(stderr, "soak_bench: the simulated camera did not connect\n");
        return 2;
    }
    const UsbCameraLink& link = UsbCameraLink::instance();
    std::printf("soak: %.1f min, %d s segments, %.0f fps, %dx%d, %s, output %s\n", o.fMinutes, o.nSegmentSeconds,
                o.fFps, link.nWidth, link.nHeight, o.bWindow ? "SDL window" : "headless renderer",
                qPrintable(qStrOut));
    std::fflush(stdout);

    // The live view's arrangement: engine and thermal data worker on threads of their own.
    std::unique_ptr<QWidget> pWindow;
    static int s_nNoWindow = 0;   // any non-null window will do for the null renderer
    void* pTarget = &s_nNoWindow;
    if (o.bWindow) {
        pWindow.reset(new QWidget);
        pWindow->setAttribute(Qt::WA_NativeWindow);
        pWindow->resize(1024, 768);
        pWindow->setWindowTitle(QStringLiteral("soak"));
        pWindow->show();
        QApplication::processEvents();
        pWindow->setUpdatesEnabled(false);
        pTarget = reinterpret_cast<void*>(pWindow->winId());
    }
    g_bFreeze = false;
    g_nDirection = 0;
    QThread engineThread, ruleThread;
    auto* pEngine = new QVideoPlay;
    auto* pRule = new QTempRule;
    pEngine->setPaletteId(Palette::kIronRed);
    pEngine->setManualRecordDir(qStrRecords);
    pEngine->setSegmentLengthMs(o.nSegmentSeconds * 1000);
    pEngine->moveToThread(&engineThread);
    pRule->moveToThread(&ruleThread);
    QObject::connect(&engineThread, &QThread::finished, pEngine, &QObject::deleteLater);
    QObject::connect(&ruleThread, &QThread::finished, pRule, &QObject::deleteLater);
    QObject::connect(pEngine, SIGNAL(sendCalcuYDataSignal(unsigned char*, int)), pRule,
                     SLOT(getYuvData(unsigned char*, int)));
    QObject::connect(pRule, SIGNAL(SendHotPointSignal(ThermHotPointParam)), pEngine,
                     SLOT(JudgeRatioRangeSlot(ThermHotPointParam)));
    QObject::connect(pEngine, &QVideoPlay::sendRecordFileSignal, pEngine, segmentOpened, Qt::DirectConnection);
    int nRecordResult = -1;
    QObject::connect(pEngine, &QVideoPlay::sendRecordResultSignals, qApp, [&nRecordResult](int nCode) {
        if (nRecordResult == 0 && nCode != 0)
            std::printf("recording stopped with code %d\n", nCode);
        nRecordResult = nCode;
    });
    g_pWatchedEngine = pEngine;
    setStreamConvertorClock(watchedClock);
    engineThread.start();
    ruleThread.start();
    QMetaObject::invokeMethod(pRule, "GetTimerStatusSlot", Qt::BlockingQueuedConnection, Q_ARG(bool, true));
    // The camera hands out frames from the moment the engine registers for them.
    const uint64_t nDeliveredBase = cam.frameNumber();
    QMetaObject::invokeMethod(pEngine, "setVideoPlaySlots", Qt::BlockingQueuedConnection, Q_ARG(void*, pTarget),
                              Q_ARG(bool, true));

    // Recording starts once the engine knows the picture size.
    QElapsedTimer waited;
    waited.start();
    while (pEngine->pipelineStats().snapshot().nFramesProcessed < 1 && waited.elapsed() < 10000)
        QThread::msleep(10);
    QMetaObject::invokeMethod(pEngine, "setStartRecordSlots", Qt::BlockingQueuedConnection);
    QCoreApplication::processEvents();
    if (nRecordResult != 0)
        std::printf("recording did not start (code %d)\n", nRecordResult);

    // One sample a second, on this thread.
    QFile csv(qStrOut + QStringLiteral("/soak-samples.csv"));
    csv.open(QIODevice::WriteOnly | QIODevice::Truncate);
    QTextStream csvOut(&csv);
    csvOut << "seconds,rss_mb,heap_in_use_mb,delivered,taken,processed,coalesced_in_engine,p99_ms_this_second,"
              "max_ms_this_second\n";
    const qint64 nRunMs = qint64(o.fMinutes * 60000.0);
    std::vector<Sample> samples;
    samples.reserve(size_t(nRunMs / 1000) + 16);   // no growth of our own during the run
    PipelineStats::Snapshot prev;
    QElapsedTimer clock;
    clock.start();
    QEventLoop loop;
    QTimer sampler;
    sampler.setTimerType(Qt::PreciseTimer);
    int nSecond = 0;
    QObject::connect(&sampler, &QTimer::timeout, [&] {
        ++nSecond;
        Sample s;
        s.fSeconds = clock.elapsed() / 1000.0;
        s.fRssMb = residentMb();
        const uint64_t nDelivered = cam.frameNumber() - nDeliveredBase;
        const PipelineStats::Snapshot now = pEngine->pipelineStats().snapshot();
        const PipelineStats::Snapshot d = between(prev, now);
        prev = now;
        csvOut << QString::asprintf("%.3f,%.2f,%.2f,%llu,%llu,%llu,%llu,%.2f,%.2f\n", s.fSeconds, s.fRssMb,
                                    heapInUseMb(), (unsigned long long)nDelivered,
                                    (unsigned long long)now.nFramesTaken, (unsigned long long)now.nFramesProcessed,
                                    (unsigned long long)now.nFramesCoalesced, d.latencyPercentileMs(0.99),
                                    d.latencyMaxMs());
        samples.push_back(s);
        if (nSecond % 60 == 0) {
            csvOut.flush();
            std::printf("[%3d:%02d] rss %.1f MB (heap in use %.1f MB), delivered/processed/coalesced %llu/%llu/%llu, "
                        "latency p99 %.1f ms, max %.1f ms, segments %zu\n",
                        nSecond / 60, nSecond % 60, s.fRssMb, heapInUseMb(), (unsigned long long)nDelivered,
                        (unsigned long long)now.nFramesProcessed,
                        (unsigned long long)(nDelivered - std::min(nDelivered, now.nFramesProcessed)),
                        now.latencyPercentileMs(0.99), now.latencyMaxMs(), segmentCount());
            std::fflush(stdout);
        }
        if (clock.elapsed() >= nRunMs)
            loop.quit();
    });
    sampler.start(1000);
    loop.exec();
    sampler.stop();

    // Wind down as the live view does: stop recording, stop measuring, let go of the camera.
    QMetaObject::invokeMethod(pEngine, "setStopRecordSlots", Qt::BlockingQueuedConnection);
    QMetaObject::invokeMethod(pRule, "GetTimerStatusSlot", Qt::BlockingQueuedConnection, Q_ARG(bool, false));
    const PipelineStats::Snapshot end = pEngine->pipelineStats().snapshot();
    const uint64_t nDelivered = cam.frameNumber() - nDeliveredBase;
    UsbCameraLink::instance().close();
    engineThread.quit();
    ruleThread.quit();
    engineThread.wait();
    ruleThread.wait();
    setStreamConvertorClock({});
    g_pWatchedEngine = nullptr;
    csv.close();

    // ---- figures ----
    const double fFrameMs = 1000.0 / o.fFps;
    const double fBaselineAt = samples.size() >= 120 ? 60.0 : std::max(1.0, double(samples.size()) / 2.0);
    double fBaseline = 0, fMaxAfter = 0, fLast = samples.empty() ? 0.0 : samples.back().fRssMb;
    bool bBaseline = false;
    for (const Sample& s : samples) {
        if (!bBaseline && s.fSeconds >= fBaselineAt - 0.5) {
            fBaseline = s.fRssMb;
            fMaxAfter = s.fRssMb;
            bBaseline = true;
        } else if (bBaseline) {
            fMaxAfter = std::max(fMaxAfter, s.fRssMb);
        }
    }
    const double fGrowth = fMaxAfter - fBaseline;
    const SegmentCheck seg = checkSegments(qStrRecords, fFrameMs);

    const double fMaxLatency = end.latencyMaxMs();
    const bool bMemory = bBaseline && fGrowth < kMemoryTargetMb;
    const bool bLatency = end.nFramesProcessed > 0 && fMaxLatency <= kLatencyTargetMs;
    // A gap is counted in whole frames: the camera's own delivery jitters by a few milliseconds,
    // so one missing frame shows as 40 ms give or take that jitter.
    const bool bSegments =
        seg.nSegments > 0 && seg.nBroken == 0 && seg.nCountMismatch == 0 && seg.nMaxFramesLostAtCut <= 1;

    std::printf("\n");
    std::printf("rss: %.1f MB at %.0f s, %.1f MB at the end, highest after that %.1f MB\n", fBaseline, fBaselineAt,
                fLast, fMaxAfter);
    std::printf("latency: mean %.2f ms, %llu of %llu passes later than %.0f ms\n", end.latencyMeanMs(),
                (unsigned long long)passesLaterThan(end, kLatencyTargetMs),
                (unsigned long long)end.nFramesProcessed, kLatencyTargetMs);
    std::printf("engine: %llu frames taken, %llu replaced before their pass\n",
                (unsigned long long)end.nFramesTaken, (unsigned long long)end.nFramesCoalesced);
    std::printf("cuts: %d frames lost in all, largest gap between the moments of writing %.1f ms\n",
                seg.nFramesLostAtCuts, seg.fMaxFileGapMs);
    std::printf("longest step between pictures inside a segment: %.1f ms (camera timeline)\n", seg.fMaxInnerStepMs);
    if (seg.nCountMismatch)
        std::printf("%d segments decode to another number of pictures than were written\n", seg.nCountMismatch);
    std::printf("\n==== soak summary ====\n");
    std::printf("rss growth after first minute: %.2f MB\n", fGrowth);
    std::printf("max latency: %.1f ms\n", fMaxLatency);
    // Beyond the histogram's range the 99th percentile is only known to lie above it.
    const double fRangeMs = PipelineStats::kBuckets * PipelineStats::kBucketUs / 1000.0;
    if (end.buckets[PipelineStats::kBuckets] * 100 > end.nFramesProcessed)
        std::printf("p99 latency: > %.1f ms\n", fRangeMs);
    else
        std::printf("p99 latency: %.1f ms\n", end.latencyPercentileMs(0.99));
    std::printf("frames delivered/processed/coalesced: %llu/%llu/%llu\n", (unsigned long long)nDelivered,
                (unsigned long long)end.nFramesProcessed,
                (unsigned long long)(nDelivered - std::min(nDelivered, end.nFramesProcessed)));
    std::printf("segments: %d, max gap: %.1f ms (%d frame%s)\n", seg.nSegments, seg.fMaxGapMs,
                seg.nMaxFramesLostAtCut, seg.nMaxFramesLostAtCut == 1 ? "" : "s");
    std::printf("memory (< %.0f MB): %s\n", kMemoryTargetMb, bMemory ? "PASS" : "FAIL");
    std::printf("latency (<= %.0f ms): %s\n", kLatencyTargetMs, bLatency ? "PASS" : "FAIL");
    std::printf("segments (all play, no cut loses more than one frame of %.0f ms): %s\n", fFrameMs,
                bSegments ? "PASS" : "FAIL");
    const bool bPass = bMemory && bLatency && bSegments;
    std::printf("%s\n", bPass ? "PASS" : "FAIL");
    if (o.bKeep || !o.qStrOut.isEmpty())
        std::printf("files kept in %s\n", qPrintable(qStrOut));
    return bPass ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    Options o;
    if (!parseOptions(argc, argv, o)) {
        std::fprintf(stderr, "usage: soak_bench [--minutes M] [--segment-seconds S] [--fps F] [--window] "
                             "[--out DIR] [--keep]\n");
        return 2;
    }
    // Recording, the camera and the samples need no window; --window needs a display.
    std::unique_ptr<QCoreApplication> pApp;
    if (o.bWindow)
        pApp.reset(new QApplication(argc, argv));
    else
        pApp.reset(new QCoreApplication(argc, argv));
    return run(o);
}
