// Recording through the video engine, decoded back with libavformat/libavcodec: result codes
// and their checks, folder and file names, what the file holds (size, frames, arrival times,
// colours and logo as shown), segments at the timer, across midnight and at a picture size
// change, starts over a running recording, alarm recordings, a camera that stops sending, a
// disk that fills, and an engine destroyed mid-recording.
#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "measure/BurnIn.h"
#include "platform/encoder/StreamConvertor.h"
#include "platform/render/RenderEngine.h"
#include "support/MediaProbe.h"
#include "support/TestSupport.h"
#include "video/QVideoPlay.h"
#include "video/RecordSupport.h"
#include "video/ThermImageContext.h"
#include "video/VideoGlobals.h"

#include <QDir>
#include <QDirIterator>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <memory>
#include <opencv2/imgcodecs.hpp>
#include <sys/resource.h>

namespace {

// Clocks the test moves by hand: the writer's arrival stamps and the engine's tick count.
std::atomic<int64_t> g_nMicros{0};
std::atomic<uint32_t> g_nTick{1000};
uint32_t fakeTick() { return g_nTick.load(); }

constexpr int kFrameMicros = 40000;

// A 256 x 192 frame with a smooth horizontal ramp and a bright block that moves with n.
std::vector<uint8_t> rampFrame(int n, int w = 256, int h = 192)
{
    std::vector<uint8_t> f(size_t(w) * size_t(h) * 2);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; x += 2) {
            uint8_t* p = &f[(size_t(y) * w + x) * 2];
            const bool bBlock = x >= (40 + n * 2) % (w - 40) && x < (40 + n * 2) % (w - 40) + 24 && y > 120 && y < 150;
            const uint8_t luma = bBlock ? 230 : uint8_t(30 + x * 160 / w);
            p[0] = 128;
            p[1] = luma;
            p[2] = 128;
            p[3] = luma;
        }
    }
    return f;
}

QStringList mp4Files(const QString& qStrDir)
{
    QStringList out;
    QDirIterator it(qStrDir, {"*.mp4"}, QDir::Files, QDirIterator::Subdirectories);
    while (it.hasNext())
        out << it.next();
    out.sort();
    return out;
}

// One engine bound to a quiet window, its record folders in a fresh configuration folder.
struct Rig
{
    TestSupport::ScopedConfigDir cfg;
    std::unique_ptr<QVideoPlay> engine{new QVideoPlay};
    QSignalSpy results{engine.get(), SIGNAL(sendRecordResultSignals(int))};
    QSignalSpy files{engine.get(), SIGNAL(sendRecordFileSignal(QString))};
    int nFrame = 0;

    Rig()
    {
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualRecordPath", manualDir());
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "AlarmRecordPath", alarmDir());
        engine->setRecordWatch(0, 5000);
        QMetaObject::invokeMethod(engine.get(), "setVideoPlaySlots", Qt::DirectConnection,
                                  Q_ARG(void*, reinterpret_cast<void*>(0x1001)), Q_ARG(bool, true));
    }
    QString manualDir() const { return cfg.path() + "/rec"; }
    QString alarmDir() const { return cfg.path() + "/alarm"; }

    // One frame arriving kFrameMicros after the previous one (plus nExtraMicros of gap).
    void frame(int nExtraMicros = 0, int w = 256, int h = 192)
    {
        g_nMicros += kFrameMicros + nExtraMicros;
        g_nTick += uint32_t((kFrameMicros + nExtraMicros) / 1000);
        std::vector<uint8_t> f = rampFrame(nFrame++, w, h);
        QVideoPlay::frameConsumer(f.data(), w, h, engine.get());
    }
    void frames(int n)
    {
        for (int i = 0; i < n; ++i)
            frame();
    }
    void call(const char* pszSlot) { QVERIFY(QMetaObject::invokeMethod(engine.get(), pszSlot, Qt::DirectConnection)); }
    int start()
    {
        results.clear();
        call("setStartRecordSlots");
        return results.isEmpty() ? -1 : results.takeFirst().at(0).toInt();
    }
    void stop() { call("setStopRecordSlots"); }
    QString file(int i) const { return files.at(i).at(0).toString(); }
};

} // namespace

class TestRecord : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        // Draws nothing, so the engine runs its window pipeline (palette, rotation).
        setRenderEngine(&nullRenderEngineApi());
        setStreamConvertorClock([] { return g_nMicros.load(); });
        setTickSourceForTests(fakeTick);
    }

    void init()
    {
        g_bFreeze = false;
        g_nDirection = 0;
        ThermImageContext::instance().m_bAutoRange = true;
        RecordSupport::setFreeSpaceQuery({});
        RecordSupport::setClockForTests({});
    }

    void cleanupTestCase()
    {
        setStreamConvertorClock({});
        setTickSourceForTests(nullptr);
        RecordSupport::setFreeSpaceQuery({});
    }

    void startResultCodes()
    {
        Rig rig;
        // Before the first frame: "no frame", and no folder is made.
        QCOMPARE(rig.start(), 1);
        QVERIFY(!QFileInfo::exists(rig.manualDir()));

        rig.frame();
        // A record folder below a plain file cannot be made.
        QFile blocker(rig.cfg.path() + "/plain");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualRecordPath", blocker.fileName() + "/rec");
        QCOMPARE(rig.start(), 2);
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "ManualRecordPath", rig.manualDir());

        // The 5 GiB rule, asked of the record folder, at its exact boundary.
        QString qStrAsked;
        quint64 nFree = RecordSupport::kMinFreeBytes - 1;
        RecordSupport::setFreeSpaceQuery([&](const QString& qStrDir, quint64* pn) {
            qStrAsked = qStrDir;
            *pn = nFree;
            return true;
        });
        QCOMPARE(rig.start(), 3);
        QCOMPARE(qStrAsked, rig.manualDir());
        QVERIFY(!rig.engine->isRecording());
        QVERIFY(mp4Files(rig.manualDir()).isEmpty());
        nFree = RecordSupport::kMinFreeBytes;
        QCOMPARE(rig.start(), 0);
        QVERIFY(rig.engine->isRecording());
        rig.stop();
        QVERIFY(!rig.engine->isRecording());

        // A volume that cannot be asked does not stop the recording.
        RecordSupport::setFreeSpaceQuery([](const QString&, quint64*) { return false; });
        QCOMPARE(rig.start(), 0);
        rig.stop();
    }

    void folderAndFileNames()
    {
        Rig rig;
        rig.frame();
        QCOMPARE(rig.start(), 0);
        rig.frames(3);
        rig.stop();
        QCOMPARE(rig.files.size(), 1);
        const QFileInfo info(rig.file(0));
        QCOMPARE(info.absolutePath(), QDir(rig.manualDir()).absolutePath() + "/" + QDate::currentDate().toString("yyyyMMdd"));
        QVERIFY2(QRegularExpression("^\\d{8}_\\d{6}_\\d{3}\\.mp4$").match(info.fileName()).hasMatch(),
                 qPrintable(info.fileName()));
        QVERIFY(info.fileName().startsWith(info.dir().dirName() + "_"));
        QVERIFY(info.size() > 0);

        // Two saves within one millisecond keep both files.
        const QDateTime when = QDateTime::currentDateTime();
        const QString qStrFirst = RecordSupport::freeFileName(rig.cfg.path(), when, ".jpg");
        QFile(qStrFirst).open(QIODevice::WriteOnly);
        const QString qStrSecond = RecordSupport::freeFileName(rig.cfg.path(), when, ".jpg");
        QVERIFY(qStrSecond != qStrFirst);
        QCOMPARE(qStrSecond, rig.cfg.path() + "/" + when.addMSecs(1).toString("yyyyMMdd_HHmmss_zzz") + ".jpg");
    }

    // The file holds every frame at its arrival time, so its duration is the time recorded
    // even with gaps and a rate other than 25 fps; and its pictures are the shown ones.
    void recordingDecodesAsShown()
    {
        Rig rig;
        rig.engine->setPaletteId(6);
        rig.frame();
        QCOMPARE(rig.start(), 0);
        const int64_t nStart = g_nMicros;
        QVector<int64_t> arrivals;
        const int nFrames = 120;
        for (int i = 0; i < nFrames; ++i) {
            // A slow rate (about 26 fps drifting to 24) and a gap of three lost frames now and then.
            rig.frame(-2000 + (i * 4000) / nFrames + (i % 25 == 24 ? 3 * kFrameMicros : 0));
            arrivals << g_nMicros - nStart;
        }
        const QString qStrShot = rig.cfg.path() + "/shots";
        QSignalSpy shots(rig.engine.get(), SIGNAL(sendSnapshotFileSignal(QString)));
        QVERIFY(QMetaObject::invokeMethod(rig.engine.get(), "setDealSnapshotSlots", Qt::DirectConnection,
                                          Q_ARG(QString, qStrShot)));
        QCOMPARE(shots.size(), 1);
        rig.stop();

        cv::Mat lastFrame;
        const TestSupport::MediaInfo info = TestSupport::probeMedia(
            rig.file(0), [&](int, double, const cv::Mat& bgr) { lastFrame = bgr.clone(); });
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QVERIFY(info.qStrFormat.contains("mp4"));
        QCOMPARE(info.qStrCodec, QString("h264"));
        QCOMPARE(info.nWidth, 256);
        QCOMPARE(info.nHeight, 192);
        QCOMPARE(info.nFrameCount, nFrames);
        QCOMPARE(info.nDecodeErrors, 0);
        const double fFirst = arrivals.first() / 1e6;
        for (int i = 0; i < nFrames; ++i)
            QVERIFY2(std::abs(info.vecPtsSec[i] - (arrivals[i] / 1e6 - fFirst)) < 0.002, qPrintable(QString::number(i)));
        const double fRecorded = (arrivals.last() - arrivals.first()) / 1e6 * nFrames / (nFrames - 1);
        QVERIFY2(std::abs(info.fDurationSec - fRecorded) <= 0.02 * fRecorded,
                 qPrintable(QString("%1 s against %2 s").arg(info.fDurationSec).arg(fRecorded)));
        QVERIFY(std::abs(info.nCreationTime - QDateTime::currentSecsSinceEpoch()) < 600);

        // The last recorded picture is the snapshot of that moment: same colours, same logo.
        const cv::Mat shot = cv::imread(QFile::encodeName(shots.at(0).at(0).toString()).toStdString());
        QCOMPARE(shot.cols, 256);
        QVERIFY(!lastFrame.empty());
        const cv::Rect logo(10, 10, 25, 25);
        const double fWhole = cv::norm(lastFrame, shot, cv::NORM_L1) / double(shot.total() * 3);
        const double fLogo = cv::norm(lastFrame(logo), shot(logo), cv::NORM_L1) / double(logo.area() * 3);
        QVERIFY2(fWhole < 4.0, qPrintable(QString::number(fWhole)));
        // The logo's sharp coloured edges lose most to the halved chroma of the video.
        QVERIFY2(fLogo < 20.0, qPrintable(QString::number(fLogo)));
        // ... and the logo is really there: the picture differs from the unstamped one.
        cv::Mat bare = QVideoPlay::toBgr(rig.engine->m_pWorkBuffer, 256, 192);
        QVERIFY(cv::norm(bare(logo), shot(logo), cv::NORM_L1) / double(logo.area() * 3) > 2.5 * fLogo);
    }

    void segmentsFollowEachOtherWithoutLoss()
    {
        Rig rig;
        rig.engine->setSegmentLengthMs(1234);
        rig.frame();
        QCOMPARE(rig.start(), 0);
        QVERIFY(rig.engine->m_pSegmentTimer && rig.engine->m_pSegmentTimer->isActive());
        QCOMPARE(rig.engine->m_pSegmentTimer->interval(), 1234);
        const int kPer[] = {30, 31, 29};
        for (int k = 0; k < 3; ++k) {
            rig.frames(kPer[k]);
            if (k < 2)
                rig.call("setSubcontractRecordTimer");
        }
        rig.stop();
        QVERIFY(!rig.engine->m_pSegmentTimer->isActive());
        QVERIFY(rig.results.isEmpty());
        QCOMPARE(rig.files.size(), 3);
        for (int k = 0; k < 3; ++k) {
            const TestSupport::MediaInfo info = TestSupport::probeMedia(rig.file(k));
            QVERIFY2(info.bOpened, qPrintable(info.qStrError));
            QCOMPARE(info.nFrameCount, kPer[k]);
            if (k > 0)
                QVERIFY(QFileInfo(rig.file(k)).fileName() > QFileInfo(rig.file(k - 1)).fileName());
        }

        // The timer itself: a short segment makes the engine open the next file on its own.
        rig.files.clear();
        rig.engine->setSegmentLengthMs(20);
        QCOMPARE(rig.start(), 0);
        QVERIFY(QTest::qWaitFor([&rig] { rig.frame(); return rig.files.size() >= 2; }, 5000));
        rig.stop();
    }

    void segmentAfterMidnightGoesToTheNewDay()
    {
        Rig rig;
        QDateTime when(QDate(2031, 12, 31), QTime(23, 59, 59, 900));
        RecordSupport::setClockForTests([&] { return when; });
        rig.frame();
        QCOMPARE(rig.start(), 0);
        rig.frames(5);
        when = QDateTime(QDate(2032, 1, 1), QTime(0, 0, 0, 100));
        rig.call("setSubcontractRecordTimer");
        rig.frames(5);
        rig.stop();
        QCOMPARE(rig.files.size(), 2);
        QCOMPARE(rig.file(0), rig.manualDir() + "/20311231/20311231_235959_900.mp4");
        QCOMPARE(rig.file(1), rig.manualDir() + "/20320101/20320101_000000_100.mp4");
        QCOMPARE(TestSupport::probeMedia(rig.file(1)).nFrameCount, 5);
    }

    void pictureSizeChangeStartsANewSegment()
    {
        Rig rig;
        rig.frame();
        QCOMPARE(rig.start(), 0);
        rig.frames(10);
        g_nDirection = 1;   // a quarter turn: 192 x 256 from the next frame on
        rig.frames(10);
        rig.engine->setSuperResolution(true);
        rig.frames(10);
        rig.stop();
        g_nDirection = 0;
        QVERIFY(rig.results.isEmpty());
        QCOMPARE(rig.files.size(), 3);
        TestSupport::MediaInfo info = TestSupport::probeMedia(rig.file(0));
        QCOMPARE(QSize(info.nWidth, info.nHeight), QSize(256, 192));
        QCOMPARE(info.nFrameCount, 10);
        info = TestSupport::probeMedia(rig.file(1));
        QCOMPARE(QSize(info.nWidth, info.nHeight), QSize(192, 256));
        QCOMPARE(info.nFrameCount, 10);
        info = TestSupport::probeMedia(rig.file(2));
        QCOMPARE(QSize(info.nWidth, info.nHeight), QSize(384, 512));
        QCOMPARE(info.nFrameCount, 10);

        // Turned between the start and its first frame: the pictures go to a file of the new
        // size; the opened file, which got none, neither stays behind nor is announced.
        rig.files.clear();
        rig.engine->setSuperResolution(false);
        QCOMPARE(rig.start(), 0);
        g_nDirection = 3;
        rig.frames(4);
        rig.stop();
        g_nDirection = 0;
        QCOMPARE(rig.files.size(), 1);
        info = TestSupport::probeMedia(rig.file(0));
        QCOMPARE(QSize(info.nWidth, info.nHeight), QSize(192, 256));
        QCOMPARE(info.nFrameCount, 4);
    }

    void startOverARunningRecordingFinishesIt()
    {
        Rig rig;
        rig.frame();
        QCOMPARE(rig.start(), 0);
        rig.frames(12);
        QCOMPARE(rig.start(), 0);
        rig.frames(7);
        rig.stop();
        rig.stop();   // a second stop is harmless
        QCOMPARE(rig.files.size(), 2);
        // Finished: the last picture before the second start is in the file too.
        QCOMPARE(TestSupport::probeMedia(rig.file(0)).nFrameCount, 12);
        QCOMPARE(TestSupport::probeMedia(rig.file(1)).nFrameCount, 7);
    }

    void alarmRecordings()
    {
        Rig rig;
        rig.frame();
        // Items to be shown are drawn into what is recorded, so a snapshot taken then must not
        // draw them again: the engine says so whatever kind of recording runs.
        QImage items(256, 192, QImage::Format_ARGB32);
        items.fill(Qt::transparent);
        items.setPixelColor(10, 10, Qt::red);
        BurnIn::setOverlay(items);
        rig.frame();
        QVERIFY(!rig.engine->pictureHasItems());
        rig.call("setStartAlarmRecordSlots");
        QVERIFY(rig.results.isEmpty());   // alarm starts are silent
        QVERIFY(rig.engine->m_bAlarmRecording);
        rig.frames(6);   // frames are recorded while only the alarm recording runs
        QVERIFY(rig.engine->pictureHasItems());
        BurnIn::clear();
        rig.frame();
        QVERIFY(!rig.engine->pictureHasItems());
        rig.call("setSubcontractRecordTimer");
        QVERIFY(rig.engine->m_bAlarmRecording);
        rig.frames(4);
        QCOMPARE(rig.files.size(), 2);
        QVERIFY(rig.file(1).startsWith(rig.alarmDir() + "/"));

        // A manual start takes over from the alarm recording, which is finished first.
        QCOMPARE(rig.start(), 0);
        QVERIFY(!rig.engine->m_bAlarmRecording);
        rig.frames(3);
        // An alarm ends the manual recording and says so.
        rig.call("setStartAlarmRecordSlots");
        QCOMPARE(rig.results.size(), 1);
        QCOMPARE(rig.results.takeFirst().at(0).toInt(), 4);
        QVERIFY(rig.engine->m_bAlarmRecording);
        rig.frames(2);
        rig.stop();
        QVERIFY(!rig.engine->m_bAlarmRecording);
        const int kFrames[] = {7, 4, 3, 2};
        QCOMPARE(rig.files.size(), 4);
        for (int k = 0; k < 4; ++k) {
            QVERIFY(rig.file(k).startsWith((k == 2 ? rig.manualDir() : rig.alarmDir()) + "/"));
            QCOMPARE(TestSupport::probeMedia(rig.file(k)).nFrameCount, kFrames[k]);
        }
    }

    void cameraThatStopsSendingEndsTheRecording()
    {
        Rig rig;
        rig.engine->setRecordWatch(5, 5000);
        rig.frame();
        QCOMPARE(rig.start(), 0);
        rig.frames(8);
        g_nTick += 4900;   // a pause, not yet a loss
        QTest::qWait(30);
        QVERIFY(rig.engine->isRecording());
        g_nTick += 200;
        QTRY_VERIFY(!rig.engine->isRecording());
        QCOMPARE(rig.results.size(), 1);
        QCOMPARE(rig.results.takeFirst().at(0).toInt(), 1);
        QCOMPARE(TestSupport::probeMedia(rig.file(0)).nFrameCount, 8);
        QVERIFY(!rig.engine->m_pSegmentTimer->isActive());

        // At a segment boundary a silent camera gets no new file.
        rig.engine->setRecordWatch(0, 5000);
        QCOMPARE(rig.start(), 0);
        rig.frames(3);
        g_nTick += 6000;
        rig.call("setSubcontractRecordTimer");
        QCOMPARE(rig.results.size(), 1);
        QCOMPARE(rig.results.takeFirst().at(0).toInt(), 1);
        QVERIFY(!rig.engine->isRecording());
        QCOMPARE(rig.files.size(), 2);
        QCOMPARE(TestSupport::probeMedia(rig.file(1)).nFrameCount, 3);
    }

    // A full disk (here: a file size limit) stops the recording with code 1 and leaves a
    // file that plays up to what was stored.
    void fullDiskStopsTheRecording()
    {
        Rig rig;
        rig.frame();
        QCOMPARE(rig.start(), 0);
        rig.frames(80);
        const qint64 nSize = QFileInfo(rig.file(0)).size();
        QVERIFY(nSize > 0);

        struct rlimit old = {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto* pfnOld = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = old;
        lim.rlim_cur = rlim_t(nSize + 1000);
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &lim), 0);
        for (int i = 0; i < 300 && rig.engine->isRecording(); ++i)
            rig.frame();
        const bool bStopped = !rig.engine->isRecording();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, pfnOld);

        QVERIFY(bStopped);
        QCOMPARE(rig.results.size(), 1);
        QCOMPARE(rig.results.takeFirst().at(0).toInt(), 1);
        const TestSupport::MediaInfo info = TestSupport::probeMedia(rig.file(0));
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QVERIFY2(info.nFrameCount >= 50, qPrintable(QString::number(info.nFrameCount)));
        // Later frames are not fed into a broken file.
        rig.frames(5);
        QVERIFY(!rig.engine->isRecording());
    }

    void destroyedEngineFinishesItsFile()
    {
        Rig rig;
        rig.frame();
        QCOMPARE(rig.start(), 0);
        rig.frames(9);
        const QString qStrFile = rig.file(0);
        rig.engine.reset();
        QCOMPARE(TestSupport::probeMedia(qStrFile).nFrameCount, 9);
    }
};

QTEST_MAIN(TestRecord)
#include "test_record.moc"
