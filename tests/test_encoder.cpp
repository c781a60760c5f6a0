// H.264 encoder and MP4 writer: round trips through a decoder, timing from arrival times,
// refusal of bad input, harmless repeated or null calls, and a recording killed mid-way.
#include "platform/encoder/H264Encoder.h"
#include "platform/encoder/StreamConvertor.h"
#include "support/MediaProbe.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <cmath>
#include <cstdio>
#include <cstring>
#include <vector>

#include <opencv2/core.hpp>

namespace {

constexpr int64_t kFrameUs = 40000;
constexpr int kCodeBits = 8;     // frame index carried in the picture as 8 black/white blocks
constexpr int kCodeBlock = 16;

int64_t g_nFakeNow = 0;

// A thermal-looking I420 picture: smooth gradient, a moving hot spot, mild noise, a tinted
// chroma ramp, and the frame index in binary along the top edge.
std::vector<unsigned char> makePicture(int w, int h, int nIndex)
{
    std::vector<unsigned char> vec(size_t(w) * h * 3 / 2);
    unsigned char* pY = vec.data();
    unsigned char* pU = pY + w * h;
    unsigned char* pV = pU + w * h / 4;
    uint32_t nSeed = 2654435761u * uint32_t(nIndex + 1);
    const double cx = w * (0.2 + 0.6 * ((nIndex % 50) / 50.0));
    const double cy = h * 0.5;
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            nSeed = nSeed * 1664525u + 1013904223u;
            const double d2 = ((x - cx) * (x - cx) + (y - cy) * (y - cy)) / (0.02 * w * w);
            double v = 40 + 100.0 * x / w + 80.0 * std::exp(-d2) + int(nSeed >> 29) - 4;
            pY[y * w + x] = static_cast<unsigned char>(std::min(235.0, std::max(16.0, v)));
        }
    }
    for (int b = 0; b < kCodeBits; ++b) {
        const unsigned char c = ((nIndex >> b) & 1) ? 220 : 30;
        for (int y = 0; y < kCodeBlock; ++y)
            std::memset(pY + y * w + b * kCodeBlock, c, kCodeBlock);
    }
    for (int y = 0; y < h / 2; ++y) {
        for (int x = 0; x < w / 2; ++x) {
            pU[y * (w / 2) + x] = static_cast<unsigned char>(100 + 50 * x / (w / 2));
            pV[y * (w / 2) + x] = static_cast<unsigned char>(170 - 40 * y / (h / 2));
        }
    }
    return vec;
}

int readIndexCode(const cv::Mat& matY)
{
    int nIndex = 0;
    for (int b = 0; b < kCodeBits; ++b) {
        const cv::Rect rc(b * kCodeBlock + 4, 4, kCodeBlock - 8, kCodeBlock - 8);
        if (cv::mean(matY(rc))[0] > 125)
            nIndex |= 1 << b;
    }
    return nIndex;
}

double psnr(const cv::Mat& a, const cv::Mat& b)
{
    const double fNorm = cv::norm(a, b, cv::NORM_L2SQR) / double(a.total());
    return fNorm <= 1e-9 ? 99.0 : 10.0 * std::log10(255.0 * 255.0 / fNorm);
}

void* openEncoder(int w, int h)
{
    MavEncParam stParam = mavEncDefaultParam(w, h);
    void* hEnc = nullptr;
    if (MAV_P264_Enc_Open(&stParam, &hEnc) < 0)
        return nullptr;
    return hEnc;
}

// Encodes one picture; returns the unit (empty when the encoder produced none).
std::vector<unsigned char> encode(void* hEnc, int w, std::vector<unsigned char>& vecPic, int* pnResult = nullptr,
                                  bool* pbKey = nullptr)
{
    const int h = int(vecPic.size() * 2 / 3) / w;
    MavEncPicture stPic{};
    stPic.pY = vecPic.data();
    stPic.pU = stPic.pY + w * h;
    stPic.pV = stPic.pU + w * h / 4;
    stPic.nWidth = w;
    stPic.nWidthQuarterU = w / 4;
    stPic.nWidthQuarterV = w / 4;
    MavEncOutput stOut{};
    const int nRet = MAV_P264_Enc_Start(hEnc, &stPic, &stOut);
    if (pnResult)
        *pnResult = nRet;
    if (pbKey)
        *pbKey = stOut.nKeyFrame != 0;
    if (nRet != 0 || !stOut.pData || stOut.nDataLen <= 0)
        return {};
    return std::vector<unsigned char>(stOut.pData, stOut.pData + stOut.nDataLen);
}

void* openMuxer(const QString& qStrPath)
{
    const QByteArray baPath = qStrPath.toLocal8Bit();
    void* hMux = nullptr;
    if (streamConvertor().OpenFile(kStreamConvKindMp4, baPath.constData(), baPath.size(), &hMux) != 0)
        return nullptr;
    return hMux;
}

// Records one picture per arrival time (microseconds, any origin) the way recording does.
bool recordClip(const QString& qStrPath, int w, int h, const std::vector<int64_t>& vecArrivals, uint32_t nBaseTime,
                std::vector<std::vector<unsigned char>>* pSources = nullptr)
{
    const StreamConvertorApi& api = streamConvertor();
    void* hEnc = openEncoder(w, h);
    if (!hEnc || !api.Init())
        return false;
    void* hMux = openMuxer(qStrPath);
    if (!hMux) {
        MAV_P264_Enc_Close(hEnc);
        api.Release();
        return false;
    }
    api.SetIntOption(hMux, "mp4_base_time", int(nBaseTime));
    bool bAllEncoded = true;
    for (size_t i = 0; i < vecArrivals.size(); ++i) {
        g_nFakeNow = vecArrivals[i];
        std::vector<unsigned char> vecPic = makePicture(w, h, int(i));
        const std::vector<unsigned char> vecUnit = encode(hEnc, w, vecPic);
        bAllEncoded &= !vecUnit.empty();
        api.WriteData(hMux, vecUnit.data(), int(vecUnit.size()));
        if (pSources)
            pSources->push_back(std::move(vecPic));
    }
    MAV_P264_Enc_Close(hEnc);
    api.Finish(hMux);
    api.Close(hMux);
    api.Release();
    return bAllEncoded;
}

std::vector<int64_t> steadyArrivals(int nFrames, int64_t nStart = 5000000)
{
    std::vector<int64_t> vec;
    for (int i = 0; i < nFrames; ++i)
        vec.push_back(nStart + i * kFrameUs);
    return vec;
}

// Helper mode: records until killed, reporting progress on stdout.
int runRecordChild(const char* pszPath)
{
    int64_t nNow = 0;
    setStreamConvertorClock([&nNow] { return nNow; });
    const int w = 256, h = 192;
    void* hEnc = openEncoder(w, h);
    const StreamConvertorApi& api = streamConvertor();
    api.Init();
    void* hMux = nullptr;
    if (!hEnc || api.OpenFile(kStreamConvKindMp4, pszPath, int(std::strlen(pszPath)), &hMux) != 0)
        return 2;
    for (int i = 0; i < 100000; ++i) {
        nNow = i * kFrameUs;
        std::vector<unsigned char> vecPic = makePicture(w, h, i);
        const std::vector<unsigned char> vecUnit = encode(hEnc, w, vecPic);
        api.WriteData(hMux, vecUnit.data(), int(vecUnit.size()));
        if ((i + 1) % 25 == 0) {
            std::printf("written %d\n", i + 1);
            std::fflush(stdout);
        }
        QThread::msleep(2);
    }
    return 3;  // the parent should have killed us long before
}

} // namespace

class TestEncoder : public QObject
{
    Q_OBJECT
private slots:
    void init() { setStreamConvertorClock([] { return g_nFakeNow; }); }
    void cleanup() { setStreamConvertorClock({}); }

    void roundTrip_data()
    {
        QTest::addColumn<int>("w");
        QTest::addColumn<int>("h");
        QTest::addColumn<QString>("timing");
        QTest::newRow("256x192 steady 3 s") << 256 << 192 << "steady";
        QTest::newRow("512x384 steady 3 s") << 512 << 384 << "steady";
        QTest::newRow("256x192 drops over 12 s") << 256 << 192 << "drops";
        QTest::newRow("512x384 drifting rate") << 512 << 384 << "drift";
    }

    // Every picture comes back, in order, at its arrival time, close to what went in, and
    // the file lasts as long as the recording did.
    void roundTrip()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(QString, timing);

        std::vector<int64_t> vecArrivals;
        std::vector<int> vecSlots;  // which slot of the nominal 25 fps grid each frame took
        const int64_t nOrigin = 123456789;
        if (timing == "steady") {
            vecArrivals = steadyArrivals(75, nOrigin);
        } else if (timing == "drops") {
            // 12 s at 25 fps, every fifth frame lost and a whole second missing in the middle.
            for (int i = 0; i < 300; ++i) {
                if (i % 5 == 4 || (i >= 100 && i < 125))
                    continue;
                vecArrivals.push_back(nOrigin + i * kFrameUs);
            }
        } else {
            // A camera running 7 % slow with jitter of up to 6 ms.
            uint32_t nSeed = 7;
            int64_t t = nOrigin;
            for (int i = 0; i < 70; ++i) {
                vecArrivals.push_back(t);
                nSeed = nSeed * 1103515245u + 12345u;
                t += 43000 + int64_t((nSeed >> 16) % 12001) - 6000;
            }
        }

        QTemporaryDir dir;
        const QString qStrFile = dir.filePath("clip.mp4");
        std::vector<std::vector<unsigned char>> vecSources;
        const uint32_t nBaseTime = 1700000000u;
        QVERIFY(recordClip(qStrFile, w, h, vecArrivals, nBaseTime, &vecSources));

        double fWorstPsnr = 99, fWorstChroma = 0;
        int nOutOfOrder = 0;
        const TestSupport::MediaInfo info = TestSupport::probeMedia(
            qStrFile, {}, [&](int nIndex, const cv::Mat& matY, const cv::Mat& matU, const cv::Mat& matV) {
                if (nIndex >= int(vecSources.size()))
                    return;
                unsigned char* pSrc = vecSources[size_t(nIndex)].data();
                const cv::Mat srcY(h, w, CV_8UC1, pSrc);
                const cv::Mat srcU(h / 2, w / 2, CV_8UC1, pSrc + w * h);
                const cv::Mat srcV(h / 2, w / 2, CV_8UC1, pSrc + w * h * 5 / 4);
                if (readIndexCode(matY) != (nIndex & 0xff))
                    ++nOutOfOrder;
                fWorstPsnr = std::min(fWorstPsnr, psnr(srcY, matY));
                fWorstChroma = std::max({fWorstChroma, cv::norm(srcU, matU, cv::NORM_L1) / srcU.total(),
                                         cv::norm(srcV, matV, cv::NORM_L1) / srcV.total()});
            });

        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QCOMPARE(info.qStrCodec, QString("h264"));
        QVERIFY(info.qStrFormat.contains("mp4"));
        QCOMPARE(info.nWidth, w);
        QCOMPARE(info.nHeight, h);
        QCOMPARE(info.nFrameCount, int(vecArrivals.size()));
        QCOMPARE(info.nDecodeErrors, 0);
        QCOMPARE(nOutOfOrder, 0);
        QCOMPARE(info.nCreationTime, qint64(nBaseTime));

        // Each picture is shown at the moment it arrived.
        for (int i = 0; i < info.nFrameCount; ++i) {
            const double fExpected = (vecArrivals[size_t(i)] - vecArrivals[0]) / 1e6;
            if (std::abs(info.vecPtsSec[i] - fExpected) > 0.001)
                QFAIL(qPrintable(QString("frame %1 at %2 s, arrived at %3 s").arg(i).arg(info.vecPtsSec[i]).arg(fExpected)));
        }
        const double fWallClock = (vecArrivals.back() - vecArrivals.front() + kFrameUs) / 1e6;
        QVERIFY2(std::abs(info.fDurationSec - fWallClock) <= 0.02 * fWallClock,
                 qPrintable(QString("container says %1 s for %2 s recorded").arg(info.fDurationSec).arg(fWallClock)));
        QVERIFY2(std::abs(info.fEndSec - fWallClock) <= 0.02 * fWallClock,
                 qPrintable(QString("frames end at %1 s for %2 s recorded").arg(info.fEndSec).arg(fWallClock)));

        // Measurement pictures: fine gradations survive, colours stay where they were.
        QVERIFY2(fWorstPsnr >= 38.0, qPrintable(QString("worst luma PSNR %1 dB").arg(fWorstPsnr)));
        QVERIFY2(fWorstChroma <= 1.5, qPrintable(QString("worst chroma error %1").arg(fWorstChroma)));
    }

    // One unit back for every picture (nothing held back), key frames exactly every 50
    // pictures, each carrying its own SPS and PPS so a cut-off file can be read from there.
    void keyFramesAndLatency()
    {
        const int w = 256, h = 192;
        void* hEnc = openEncoder(w, h);
        QVERIFY(hEnc);
        QList<int> lstKeys;
        for (int i = 0; i < 120; ++i) {
            std::vector<unsigned char> vecPic = makePicture(w, h, i);
            int nRet = -99;
            bool bKey = false;
            const std::vector<unsigned char> vecUnit = encode(hEnc, w, vecPic, &nRet, &bKey);
            QCOMPARE(nRet, 0);
            QVERIFY(!vecUnit.empty());
            // Annex B: the first NAL of a key unit is an SPS, and an IDR slice follows.
            const bool bStartsWithSps = vecUnit.size() > 5 && (vecUnit[4] & 0x1f) == 7;
            bool bIdr = false;
            for (size_t k = 0; k + 3 < vecUnit.size(); ++k)
                if (vecUnit[k] == 0 && vecUnit[k + 1] == 0 && vecUnit[k + 2] == 1 && (vecUnit[k + 3] & 0x1f) == 5)
                    bIdr = true;
            QCOMPARE(bIdr, bKey);
            if (bKey) {
                lstKeys << i;
                QVERIFY(bStartsWithSps);
            }
        }
        MAV_P264_Enc_Close(hEnc);
        QCOMPARE(lstKeys, (QList<int>{0, 50, 100}));
    }

    void encoderRefusesBadInput()
    {
        void* const pSentinel = reinterpret_cast<void*>(0x1234);
        void* hEnc = pSentinel;
        QCOMPARE(MAV_P264_Enc_Open(nullptr, &hEnc), kMavEncBadArgument);
        MavEncParam stGood = mavEncDefaultParam(256, 192);
        QCOMPARE(MAV_P264_Enc_Open(&stGood, nullptr), kMavEncBadArgument);

        const QList<QPair<int, int>> lstBadSizes{{0, 192}, {256, 0}, {0, 0}, {255, 192}, {256, 191},
                                                 {-256, 192}, {256, -2}, {1 << 20, 192}};
        for (const auto& size : lstBadSizes) {
            MavEncParam stParam = mavEncDefaultParam(size.first, size.second);
            hEnc = pSentinel;
            QCOMPARE(MAV_P264_Enc_Open(&stParam, &hEnc), kMavEncBadParam);
            QCOMPARE(hEnc, pSentinel);
        }

        hEnc = openEncoder(256, 192);
        QVERIFY(hEnc);
        std::vector<unsigned char> vecPic = makePicture(256, 192, 0);
        MavEncPicture stPic{};
        stPic.pY = vecPic.data();
        stPic.pU = stPic.pY + 256 * 192;
        stPic.pV = stPic.pU + 256 * 192 / 4;
        stPic.nWidth = 256;
        MavEncOutput stOut{};
        QCOMPARE(MAV_P264_Enc_Start(nullptr, &stPic, &stOut), kMavEncBadArgument);
        QCOMPARE(MAV_P264_Enc_Start(pSentinel, &stPic, &stOut), kMavEncBadArgument);
        QCOMPARE(MAV_P264_Enc_Start(hEnc, nullptr, &stOut), kMavEncBadArgument);
        QCOMPARE(MAV_P264_Enc_Start(hEnc, &stPic, nullptr), kMavEncBadArgument);
        MavEncPicture stNoPlane = stPic;
        stNoPlane.pV = nullptr;
        QCOMPARE(MAV_P264_Enc_Start(hEnc, &stNoPlane, &stOut), kMavEncBadArgument);

        // A smaller picture than the encoder was opened for (super-resolution switched off
        // mid-recording) must be refused, not read past its end.
        std::vector<unsigned char> vecSmall = makePicture(128, 96, 0);
        MavEncPicture stSmall{};
        stSmall.pY = vecSmall.data();
        stSmall.pU = stSmall.pY + 128 * 96;
        stSmall.pV = stSmall.pU + 128 * 96 / 4;
        stSmall.nWidth = 128;
        QCOMPARE(MAV_P264_Enc_Start(hEnc, &stSmall, &stOut), kMavEncBadParam);
        QVERIFY(!stOut.pData);
        QCOMPARE(stOut.nDataLen, 0);

        // The encoder still works after the refusals, and closing is harmless however often.
        QCOMPARE(MAV_P264_Enc_Start(hEnc, &stPic, &stOut), 0);
        QVERIFY(stOut.pData && stOut.nDataLen > 0);
        MAV_P264_Enc_Close(hEnc);
        MAV_P264_Enc_Close(hEnc);
        MAV_P264_Enc_Close(nullptr);
        MAV_P264_Enc_Close(pSentinel);
        QCOMPARE(MAV_P264_Enc_Start(hEnc, &stPic, &stOut), kMavEncBadArgument);
    }

    void writerRefusesBadOpen()
    {
        QTemporaryDir dir;
        const StreamConvertorApi& api = streamConvertor();
        QVERIFY(api.Init());
        void* const pSentinel = reinterpret_cast<void*>(0x1234);

        QFile plain(dir.filePath("plain.txt"));
        QVERIFY(plain.open(QIODevice::WriteOnly));
        plain.close();
        const QStringList lstUnwritable{dir.filePath("missing/folder/a.mp4"), dir.filePath("plain.txt/a.mp4"),
                                        dir.path()};
        for (const QString& qStrPath : lstUnwritable) {
            const QByteArray baPath = qStrPath.toLocal8Bit();
            void* hMux = pSentinel;
            QCOMPARE(api.OpenFile(kStreamConvKindMp4, baPath.constData(), baPath.size(), &hMux), kStreamConvOpenFailed);
            QCOMPARE(hMux, pSentinel);
        }
        QVERIFY(!QFileInfo::exists(dir.filePath("missing")));

        const QByteArray baGood = dir.filePath("good.mp4").toLocal8Bit();
        void* hMux = pSentinel;
        QCOMPARE(api.OpenFile(1, baGood.constData(), baGood.size(), &hMux), kStreamConvBadKind);
        QCOMPARE(api.OpenFile(kStreamConvKindMp4, nullptr, 10, &hMux), kStreamConvBadArgument);
        QCOMPARE(api.OpenFile(kStreamConvKindMp4, baGood.constData(), 0, &hMux), kStreamConvBadArgument);
        QCOMPARE(api.OpenFile(kStreamConvKindMp4, baGood.constData(), baGood.size(), nullptr), kStreamConvBadArgument);
        QCOMPARE(hMux, pSentinel);
        QVERIFY(!QFileInfo::exists(dir.filePath("good.mp4")));

        // Only the given number of path bytes counts.
        const QByteArray baLonger = baGood + "-not-part-of-it";
        QCOMPARE(api.OpenFile(kStreamConvKindMp4, baLonger.constData(), baGood.size(), &hMux), 0);
        QVERIFY(hMux != pSentinel);
        QVERIFY(QFileInfo::exists(dir.filePath("good.mp4")));
        api.Close(hMux);
        api.Release();
    }

    // Repeated, late and null calls do no harm; Close alone still completes the file; junk
    // and pictures before the first key frame are skipped; an empty recording leaves no file.
    void writerToleratesMisuse()
    {
        const StreamConvertorApi& api = streamConvertor();
        void* const pUnknown = reinterpret_cast<void*>(0x777777);
        api.Finish(nullptr);
        api.Close(nullptr);
        api.Finish(pUnknown);
        api.Close(pUnknown);
        api.SetIntOption(nullptr, "mp4_base_time", 1);
        api.WriteData(nullptr, reinterpret_cast<const unsigned char*>("x"), 1);

        QTemporaryDir dir;
        const int w = 256, h = 192;
        void* hEnc = openEncoder(w, h);
        QVERIFY(hEnc);
        std::vector<std::vector<unsigned char>> vecUnits;
        for (int i = 0; i < 60; ++i) {
            std::vector<unsigned char> vecPic = makePicture(w, h, i);
            vecUnits.push_back(encode(hEnc, w, vecPic));
            QVERIFY(!vecUnits.back().empty());
        }
        MAV_P264_Enc_Close(hEnc);

        // Starts mid-stream: junk, then pictures 1..49 (not decodable alone), then key 50.
        const QString qStrFile = dir.filePath("late.mp4");
        void* hMux = openMuxer(qStrFile);
        QVERIFY(hMux);
        api.SetIntOption(hMux, nullptr, 5);
        api.SetIntOption(hMux, "unknown_option", 5);
        const unsigned char szJunk[] = {0, 0, 1, 0x65, 0xff, 0x00, 0x00, 0x00, 0x01};
        api.WriteData(hMux, szJunk, sizeof(szJunk));
        api.WriteData(hMux, szJunk, 2);
        api.WriteData(hMux, vecUnits[0].data(), -5);
        for (int i = 1; i < 60; ++i) {
            g_nFakeNow = i * kFrameUs;
            api.WriteData(hMux, vecUnits[size_t(i)].data(), int(vecUnits[size_t(i)].size()));
        }
        api.Close(hMux);  // no Finish
        api.Finish(hMux);
        api.Close(hMux);
        api.WriteData(hMux, vecUnits[50].data(), int(vecUnits[50].size()));
        TestSupport::MediaInfo info = TestSupport::probeMedia(qStrFile);
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QCOMPARE(info.nFrameCount, 10);
        QCOMPARE(info.nDecodeErrors, 0);
        QVERIFY(std::abs(info.fDurationSec - 0.4) < 0.01);

        // Writes after Finish are ignored and the file stays as finished.
        const QString qStrFinished = dir.filePath("finished.mp4");
        hMux = openMuxer(qStrFinished);
        QVERIFY(hMux);
        for (int i = 0; i < 25; ++i) {
            g_nFakeNow = i * kFrameUs;
            api.WriteData(hMux, vecUnits[size_t(i)].data(), int(vecUnits[size_t(i)].size()));
        }
        api.Finish(hMux);
        const qint64 nSize = QFileInfo(qStrFinished).size();
        api.Finish(hMux);
        api.WriteData(hMux, vecUnits[25].data(), int(vecUnits[25].size()));
        api.Close(hMux);
        QCOMPARE(QFileInfo(qStrFinished).size(), nSize);
        info = TestSupport::probeMedia(qStrFinished);
        QCOMPARE(info.nFrameCount, 25);

        const QString qStrEmpty = dir.filePath("empty.mp4");
        hMux = openMuxer(qStrEmpty);
        QVERIFY(hMux);
        QVERIFY(QFileInfo::exists(qStrEmpty));
        api.WriteData(hMux, vecUnits[1].data(), int(vecUnits[1].size()));
        api.Finish(hMux);
        api.Close(hMux);
        QVERIFY(!QFileInfo::exists(qStrEmpty));
    }

    // A recording process killed outright leaves a file that plays up to within two seconds
    // of the last picture it had written.
    void killedRecordingStaysPlayable()
    {
        QTemporaryDir dir;
        const QString qStrFile = dir.filePath("killed.mp4");
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({"--record-child", qStrFile});
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child.start();
        QVERIFY(child.waitForStarted(30000));

        int nWritten = 0;
        QByteArray baLine;
        while (nWritten < 160) {
            if (!child.canReadLine() && !child.waitForReadyRead(60000))
                QFAIL("the recording child stopped reporting");
            while (child.canReadLine()) {
                baLine = child.readLine().trimmed();
                if (baLine.startsWith("written "))
                    nWritten = baLine.mid(8).toInt();
            }
        }
        child.kill();  // SIGKILL
        QVERIFY(child.waitForFinished(30000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        const TestSupport::MediaInfo info = TestSupport::probeMedia(qStrFile);
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QCOMPARE(info.qStrCodec, QString("h264"));
        QCOMPARE(info.nWidth, 256);
        QVERIFY2(info.nFrameCount >= nWritten - 50,
                 qPrintable(QString("%1 frames playable of %2 written").arg(info.nFrameCount).arg(nWritten)));
        QVERIFY(info.fEndSec >= nWritten * kFrameUs / 1e6 - 2.0);
        QVERIFY(info.nDecodeErrors <= 1);  // at most the picture cut by the kill

        // The ordinary tool reads it too.
        const QString qStrFfprobe = QStandardPaths::findExecutable("ffprobe");
        if (qStrFfprobe.isEmpty())
            return;
        QProcess probe;
        probe.start(qStrFfprobe, {"-v", "error", "-select_streams", "v:0", "-count_frames", "-show_entries",
                                  "stream=codec_name,nb_read_frames", "-of", "default=nw=1", qStrFile});
        QVERIFY(probe.waitForFinished(60000));
        QCOMPARE(probe.exitCode(), 0);
        const QString qStrOut = QString::fromLatin1(probe.readAllStandardOutput());
        QVERIFY2(qStrOut.contains("codec_name=h264"), qPrintable(qStrOut));
        const QRegularExpressionMatch match = QRegularExpression("nb_read_frames=(\\d+)").match(qStrOut);
        QVERIFY2(match.hasMatch(), qPrintable(qStrOut));
        QVERIFY(match.captured(1).toInt() >= nWritten - 50);
    }
};

int main(int argc, char** argv)
{
    if (argc >= 3 && std::strcmp(argv[1], "--record-child") == 0)
        return runRecordChild(argv[2]);
    QCoreApplication app(argc, argv);
    TestEncoder test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_encoder.moc"
