// Super-resolution stage: network input, write-back and blend, the blend table, model
// loading failures, and the shipped network's shapes and quality on held-out originals.
#include "eval/SuperresEval.h"
#include "support/TestSupport.h"
#include "video/SuperResolution.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtConcurrent>
#include <QtTest>

#include <opencv2/dnn.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr size_t kOutBytes = size_t(kSuperResOutWidth) * kSuperResOutHeight * 2;

SuperResFrame frameFor(const unsigned char* pSrc, unsigned char* pDst)
{
    SuperResFrame f;
    f.pSrc = pSrc;
    f.pDst = pDst;
    f.nFactor = 2;
    f.nWidth = kSuperResInWidth;
    f.nHeight = kSuperResInHeight;
    f.nOutWidth = kSuperResOutWidth;
    f.nOutHeight = kSuperResOutHeight;
    f.nFormat = 1;
    return f;
}

QString shippedModel()
{
    const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("model.onnx");
    if (QFile::exists(beside))
        return beside;
    return TestSupport::sourceDir() + "/tools/superres/model.onnx";
}

QString sampleDir() { return TestSupport::sourceDir() + "/tests/data/superres"; }

} // namespace

class TestSuperres : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initCommon(); }
    void cleanup() { releaseModel(); }

    // The blob the network receives: luminance only (the odd bytes), R and B swapped so
    // that channel 0 uses the red mean, scaled by 0.0174.
    void inputBlobValues()
    {
        cv::Mat grey(kSuperResInHeight, kSuperResInWidth, CV_8U, cv::Scalar(0));
        grey.at<unsigned char>(0, 0) = 255;
        grey.at<unsigned char>(0, 1) = 0;
        grey.at<unsigned char>(5, 7) = 128;
        grey.at<unsigned char>(191, 255) = 17;
        std::vector<unsigned char> uyvy = SuperresEval::toUyvy(grey);
        uyvy[0] = 7;  // chroma must not leak into the input
        uyvy[2] = 250;

        const cv::Mat blob = SuperResDetail::inputBlob(uyvy.data());
        QCOMPARE(blob.dims, 4);
        QCOMPARE(blob.size[0], 1);
        QCOMPARE(blob.size[1], 3);
        QCOMPARE(blob.size[2], kSuperResInHeight);
        QCOMPARE(blob.size[3], kSuperResInWidth);
        QCOMPARE(blob.type(), CV_32F);

        auto at = [&](int c, int r, int x) { return double(blob.ptr<float>(0, c, r)[x]); };
        const double tol = 1e-5;
        QVERIFY(std::abs(at(0, 0, 0) - 2.285055) < tol);   // (255 - 123.675) * 0.0174
        QVERIFY(std::abs(at(1, 0, 0) - 2.413728) < tol);   // (255 - 116.28) * 0.0174
        QVERIFY(std::abs(at(2, 0, 0) - 2.635578) < tol);   // (255 - 103.53) * 0.0174
        QVERIFY(std::abs(at(0, 0, 1) - (-2.151945)) < tol);
        QVERIFY(std::abs(at(2, 0, 1) - (-1.801422)) < tol);
        QVERIFY(std::abs(at(0, 5, 7) - 0.075255) < tol);
        QVERIFY(std::abs(at(1, 191, 255) - (-1.727472)) < tol);
    }

    // Output layout and luminance rule: neutral chroma, values truncated toward zero, and
    // out-of-range values clamped instead of wrapped (256 must stay white, not turn black).
    void writeBackClampsAndTruncates()
    {
        cv::Mat model(kSuperResOutHeight, kSuperResOutWidth, CV_32F, cv::Scalar(64.0f));
        const float values[] = {12.99f, 0.5f, 255.0f, 255.7f, 256.0f, 300.0f, -0.5f, -40.0f,
                                std::numeric_limits<float>::quiet_NaN(), 128.0f};
        const unsigned char expected[] = {12, 0, 255, 255, 255, 255, 0, 0, 0, 128};
        for (int i = 0; i < 10; ++i)
            model.at<float>(0, i) = values[i];
        model.at<float>(383, 511) = 200.9f;

        std::vector<unsigned char> dst(kOutBytes + 16, 0xAB);
        SuperResDetail::writeBack(model, cv::Mat(), 1.0f, dst.data());
        for (int i = 0; i < 10; ++i)
            QCOMPARE(int(dst[2 * i + 1]), int(expected[i]));
        QCOMPARE(int(dst[2 * (383 * 512 + 511) + 1]), 200);
        QCOMPARE(int(dst[2 * (100 * 512 + 3) + 1]), 64);
        for (size_t i = 0; i < kOutBytes; i += 2)
            QCOMPARE(int(dst[i]), 128);
        // Nothing past one 512 x 384 frame is touched.
        for (size_t i = kOutBytes; i < dst.size(); ++i)
            QCOMPARE(int(dst[i]), 0xAB);
    }

    void blendArithmetic()
    {
        cv::Mat model(kSuperResOutHeight, kSuperResOutWidth, CV_32F, cv::Scalar(100.0f));
        cv::Mat bicubic(kSuperResOutHeight, kSuperResOutWidth, CV_8U, cv::Scalar(51));
        model.at<float>(0, 1) = 255.0f;
        bicubic.at<unsigned char>(0, 1) = 255;
        model.at<float>(0, 2) = 300.0f;   // 0.5 * 300 + 0.5 * 250 = 275 -> clamped
        bicubic.at<unsigned char>(0, 2) = 250;
        model.at<float>(0, 3) = -20.0f;   // 0.5 * -20 + 0.5 * 10 = -5 -> 0
        bicubic.at<unsigned char>(0, 3) = 10;

        std::vector<unsigned char> dst(kOutBytes, 0);
        SuperResDetail::writeBack(model, bicubic, 0.5f, dst.data());
        QCOMPARE(int(dst[1]), 75);   // truncated mean of 100 and 51
        QCOMPARE(int(dst[3]), 255);
        QCOMPARE(int(dst[5]), 255);
        QCOMPARE(int(dst[7]), 0);
        QCOMPARE(int(dst[0]), 128);

        // The weight belongs to the network: f = 0.9 leans towards it.
        SuperResDetail::writeBack(model, bicubic, 0.9f, dst.data());
        QCOMPARE(int(dst[2 * 10 + 1]), 95);   // 90 + 5.1
    }

    void ratioTable_data()
    {
        QTest::addColumn<float>("temper");
        QTest::addColumn<bool>("on");
        QTest::addColumn<float>("f");
        QTest::newRow("cool") << 25.0f << false << 0.123f;
        QTest::newRow("90.0") << 90.0f << false << 0.123f;
        QTest::newRow("90.1") << 90.1f << true << 0.9f;
        QTest::newRow("120.0") << 120.0f << true << 0.9f;
        QTest::newRow("120.1") << 120.1f << true << 0.7f;
        QTest::newRow("140.0") << 140.0f << true << 0.7f;
        QTest::newRow("140.1") << 140.1f << true << 0.5f;
        QTest::newRow("400") << 400.0f << true << 0.5f;
        QTest::newRow("NaN") << std::numeric_limits<float>::quiet_NaN() << false << 0.123f;
    }

    void ratioTable()
    {
        QFETCH(float, temper);
        QFETCH(bool, on);
        QFETCH(float, f);
        bool bOn = !on;
        float ratio = 0.123f;   // an "off" row must leave the ratio as it was
        QCOMPARE(judgeRatioRange(temper, bOn, ratio), on);
        QCOMPARE(bOn, on);
        QCOMPARE(ratio, f);
    }

    // A model that cannot be used leaves the stage unavailable, and the stage then refuses
    // frames without touching the work buffer.
    void unusableModelsLeaveItUnavailable()
    {
        QTemporaryDir dir;
        const QString corrupt = dir.filePath("model.onnx");
        {
            QFile file(corrupt);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write(QByteArray("\x08\x07garbage, not a network\xff\xfe", 28));
        }
        const QString empty = dir.filePath("empty.onnx");
        {
            QFile file(empty);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }

        QVERIFY(setUpModel(shippedModel()));
        QVERIFY(isSuperResolutionAvailable());
        const QStringList bad = {dir.filePath("missing.onnx"), corrupt, empty, dir.path(), QString(),
                                 // a valid network of the wrong geometry (192 x 256 out)
                                 sampleDir() + "/wrong_geometry.onnx"};
        for (const QString& path : bad) {
            QVERIFY2(!setUpModel(path), qPrintable(path));
            QVERIFY(!isSuperResolutionAvailable());
        }

        const std::vector<unsigned char> src(size_t(kSuperResInWidth) * kSuperResInHeight * 2, 90);
        std::vector<unsigned char> dst(kOutBytes, 0x5A);
        QVERIFY(!superResolve(frameFor(src.data(), dst.data())));
        QVERIFY(!superResolveBlend(frameFor(src.data(), dst.data()), 0.5f));
        QVERIFY(std::all_of(dst.begin(), dst.end(), [](unsigned char b) { return b == 0x5A; }));

        // A working model replaces the failed state.
        QVERIFY(setUpModel(shippedModel()));
        QVERIFY(superResolve(frameFor(src.data(), dst.data())));
    }

    void findModelPathPrefersWorkingDirectory()
    {
        QTemporaryDir dir;
        const QString old = QDir::currentPath();
        QVERIFY(QDir::setCurrent(dir.path()));
        const QString beside = QDir(QCoreApplication::applicationDirPath()).filePath("model.onnx");
        QCOMPARE(findModelPath(), QFile::exists(beside) ? QFileInfo(beside).absoluteFilePath() : QString());
        QFile local(dir.filePath("model.onnx"));
        QVERIFY(local.open(QIODevice::WriteOnly));
        local.close();
        QCOMPARE(findModelPath(), QFileInfo(local).absoluteFilePath());
        QVERIFY(QDir::setCurrent(old));
    }

    // Only 256 x 192 UYVY frames doubled into a 512 x 384 buffer reach the network.
    void otherFramesAreRefused()
    {
        QVERIFY(setUpModel(shippedModel()));
        const std::vector<unsigned char> src(size_t(512) * 384 * 2, 90);
        std::vector<unsigned char> dst(size_t(1024) * 768 * 2, 0x5A);
        SuperResFrame wide = frameFor(src.data(), dst.data());
        wide.nWidth = 512;
        wide.nOutWidth = 1024;
        SuperResFrame tall = frameFor(src.data(), dst.data());
        tall.nHeight = 384;
        SuperResFrame nv12 = frameFor(src.data(), dst.data());
        nv12.nFormat = 0;
        SuperResFrame other = frameFor(src.data(), dst.data());
        other.nFormat = 5;
        SuperResFrame triple = frameFor(src.data(), dst.data());
        triple.nFactor = 3;
        SuperResFrame noDst = frameFor(src.data(), nullptr);
        for (const SuperResFrame& f : {wide, tall, nv12, other, triple, noDst}) {
            QVERIFY(!superResolve(f));
            QVERIFY(!superResolveBlend(f, 0.7f));
        }
        QVERIFY(std::all_of(dst.begin(), dst.end(), [](unsigned char b) { return b == 0x5A; }));
    }

    // Two engines share the network: one may enlarge frames while the other's construction
    // replaces the network. Every call must either produce the whole frame the network gives
    // for its input (nothing torn or half written) or refuse and leave the buffer alone.
    void sharedNetworkAcrossThreads()
    {
        QVERIFY(setUpModel(shippedModel()));
        const std::vector<unsigned char> src = SuperresEval::toUyvy(
            SuperresEval::degrade(cv::Mat(kSuperResOutHeight, kSuperResOutWidth, CV_8U, cv::Scalar(120)), 7));
        std::vector<unsigned char> reference(kOutBytes);
        QVERIFY(superResolve(frameFor(src.data(), reference.data())));
        std::atomic<int> produced{0};
        std::atomic<bool> badFrame{false};
        QFuture<void> worker = QtConcurrent::run([&] {
            std::vector<unsigned char> dst(kOutBytes);
            for (int i = 0; i < 40; ++i) {
                std::fill(dst.begin(), dst.end(), 0);
                const bool bDone = superResolve(frameFor(src.data(), dst.data()));
                produced += bDone ? 1 : 0;
                if (bDone ? dst != reference : std::any_of(dst.begin(), dst.end(), [](unsigned char b) { return b != 0; }))
                    badFrame = true;
            }
        });
        for (int i = 0; i < 10; ++i) {
            if (i % 3 == 2)
                releaseModel();
            else
                setUpModel(shippedModel());
        }
        QVERIFY(setUpModel(shippedModel()));
        worker.waitForFinished();
        QVERIFY(!badFrame);
        QVERIFY(produced > 0);
        qInfo("%d of 40 frames enlarged while the network was being replaced", produced.load());
    }

    // The committed network: the agreed input and output shapes, values on the 0..255 scale.
    void shippedModelShapes()
    {
        cv::dnn::Net net = cv::dnn::readNetFromONNX(shippedModel().toStdString());
        QVERIFY(!net.empty());
        const cv::Mat grey(kSuperResInHeight, kSuperResInWidth, CV_8U, cv::Scalar(180));
        net.setInput(SuperResDetail::inputBlob(SuperresEval::toUyvy(grey).data()));
        const cv::Mat out = net.forward();
        QCOMPARE(out.dims, 4);
        QCOMPARE(out.size[0], 1);
        QCOMPARE(out.size[1], 1);
        QCOMPARE(out.size[2], kSuperResOutHeight);
        QCOMPARE(out.size[3], kSuperResOutWidth);
        // A flat scene stays flat at its own level away from the borders.
        const cv::Mat inner = cv::Mat(kSuperResOutHeight, kSuperResOutWidth, CV_32F, (void*)out.ptr<float>())(
            cv::Rect(16, 16, kSuperResOutWidth - 32, kSuperResOutHeight - 32));
        double lo = 0, hi = 0;
        cv::minMaxLoc(inner, &lo, &hi);
        QVERIFY2(lo > 177.0 && hi < 183.0, qPrintable(QString("%1..%2").arg(lo).arg(hi)));
    }

    // End to end on held-out originals: the network beats bicubic enlargement, the blend
    // lies between its two ends, and every output pixel has neutral chroma.
    void beatsBicubicOnHeldOutSample()
    {
        QVERIFY(setUpModel(shippedModel()));
        const QStringList files = SuperresEval::listOriginals(sampleDir());
        QVERIFY2(files.size() >= 3, qPrintable(sampleDir()));

        double gain = 0.0;
        std::vector<unsigned char> dst(kOutBytes), blended(kOutBytes), bicubicOnly(kOutBytes);
        for (int i = 0; i < files.size(); ++i) {
            const cv::Mat original = cv::imread(files[i].toStdString(), cv::IMREAD_GRAYSCALE);
            QCOMPARE(original.cols, kSuperResOutWidth);
            QCOMPARE(original.rows, kSuperResOutHeight);
            const cv::Mat lr = SuperresEval::degrade(original, 1000 + i);
            const std::vector<unsigned char> src = SuperresEval::toUyvy(lr);

            QVERIFY(superResolve(frameFor(src.data(), dst.data())));
            for (size_t k = 0; k < kOutBytes; k += 2)
                QCOMPARE(int(dst[k]), 128);
            const cv::Mat sr = SuperresEval::lumaOf(dst.data(), kSuperResOutWidth, kSuperResOutHeight);
            const cv::Mat bic = SuperresEval::bicubicEnlarge(lr);
            const double pNet = SuperresEval::psnr(sr, original);
            const double pBic = SuperresEval::psnr(bic, original);
            qInfo("%s: network %.2f dB, bicubic %.2f dB", qPrintable(QFileInfo(files[i]).fileName()), pNet, pBic);
            gain += pNet - pBic;

            // f = 1 is the network alone, f = 0 the bicubic enlargement alone.
            QVERIFY(superResolveBlend(frameFor(src.data(), blended.data()), 1.0f));
            QVERIFY(blended == dst);
            QVERIFY(superResolveBlend(frameFor(src.data(), bicubicOnly.data()), 0.0f));
            QCOMPARE(cv::norm(SuperresEval::lumaOf(bicubicOnly.data(), kSuperResOutWidth, kSuperResOutHeight),
                              bic, cv::NORM_INF),
                     0.0);
        }
        gain /= files.size();
        qInfo("mean PSNR gain over bicubic: %.2f dB", gain);
        QVERIFY2(gain > 0.5, qPrintable(QString::number(gain)));
    }
};

QTEST_MAIN(TestSuperres)
#include "test_superres.moc"
