// Quality and speed of the super-resolution stage.
//
//   superres_bench [--model FILE] [--frames N] [FOLDER_OF_ORIGINALS]
//
// Each 512 x 384 grey PNG original in the folder (default: the held-out sample committed
// with the tests) is degraded to a 256 x 192 camera frame (2x bicubic downscaling plus
// sensor-like noise), enlarged by the network and by plain bicubic, and both are compared
// with the original. The timing covers the whole stage as the video engine runs it (input
// fill, blob, inference, write-back) with OpenCV's thread count set as the engine sets it.
#include "eval/SuperresEval.h"
#include "video/SuperResolution.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>

#include <opencv2/core.hpp>
#include <opencv2/imgcodecs.hpp>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <ctime>
#include <vector>

namespace {

QString defaultFolder()
{
    const QStringList candidates = {
        QDir::current().filePath("tests/data/superres"),
        QDir(QCoreApplication::applicationDirPath()).filePath("../../tests/data/superres"),
        QDir(QCoreApplication::applicationDirPath()).filePath("../tests/data/superres"),
    };
    for (const QString& c : candidates)
        if (QFileInfo(c).isDir())
            return QDir(c).canonicalPath();
    return QString();
}

struct Timing
{
    double median = 0.0;
    double p95 = 0.0;
};

double nowMs(bool bCpu)
{
    if (bCpu) {
        timespec ts{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &ts);
        return double(ts.tv_sec) * 1e3 + double(ts.tv_nsec) / 1e6;
    }
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

// Wall time per frame, or with bCpu the process's CPU time per frame (meaningful with one
// OpenCV thread: a figure that other programs' load on the machine hardly changes).
Timing timeStage(const std::vector<std::vector<unsigned char>>& frames, int nFrames, bool bBlend,
                 bool bCpu = false)
{
    std::vector<unsigned char> dst(size_t(kSuperResOutWidth) * kSuperResOutHeight * 2);
    std::vector<double> ms;
    ms.reserve(size_t(nFrames));
    for (int i = -10; i < nFrames; ++i) {
        SuperResFrame f;
        f.pSrc = frames[size_t(i + 10) % frames.size()].data();
        f.pDst = dst.data();
        f.nWidth = kSuperResInWidth;
        f.nHeight = kSuperResInHeight;
        f.nOutWidth = kSuperResOutWidth;
        f.nOutHeight = kSuperResOutHeight;
        const double t0 = nowMs(bCpu);
        const bool ok = bBlend ? superResolveBlend(f, 0.7f) : superResolve(f);
        const double t1 = nowMs(bCpu);
        if (!ok) {
            std::fprintf(stderr, "the stage refused a frame\n");
            return {};
        }
        if (i >= 0)   // the first runs warm caches and allocate
            ms.push_back(t1 - t0);
    }
    std::sort(ms.begin(), ms.end());
    return {ms[ms.size() / 2], ms[std::min(ms.size() - 1, size_t(double(ms.size()) * 0.95))]};
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QString folder;
    QString model;
    int nFrames = 300;
    const QStringList args = app.arguments().mid(1);
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == "--model" && i + 1 < args.size())
            model = args[++i];
        else if (args[i] == "--frames" && i + 1 < args.size())
            nFrames = std::max(1, args[++i].toInt());
        else
            folder = args[i];
    }
    if (folder.isEmpty())
        folder = defaultFolder();
    if (model.isEmpty())
        model = findModelPath();

    // The video engine limits OpenCV to four workers; measure under the same setting.
    cv::setNumThreads(4);
    if (!setUpModel(model)) {
        std::fprintf(stderr, "no usable model (%s)\n", qPrintable(model));
        return 1;
    }
    const QStringList files = SuperresEval::listOriginals(folder);
    if (files.isEmpty()) {
        std::fprintf(stderr, "no originals in \"%s\"\n", qPrintable(folder));
        return 1;
    }
    std::printf("model %s\noriginals %s (%d)\n", qPrintable(model), qPrintable(folder), int(files.size()));

    std::vector<std::vector<unsigned char>> frames;
    std::vector<unsigned char> dst(size_t(kSuperResOutWidth) * kSuperResOutHeight * 2);
    double pNetSum = 0, pBicSum = 0, sNetSum = 0, sBicSum = 0;
    // Gains per kind of picture: simulated thermal scenes (thermal_*) and natural images.
    double gain[2] = {0, 0};
    int count[2] = {0, 0};
    for (int i = 0; i < files.size(); ++i) {
        const cv::Mat original = cv::imread(files[i].toStdString(), cv::IMREAD_GRAYSCALE);
        if (original.cols != kSuperResOutWidth || original.rows != kSuperResOutHeight) {
            std::fprintf(stderr, "skipping %s: not 512 x 384\n", qPrintable(files[i]));
            continue;
        }
        const cv::Mat lr = SuperresEval::degrade(original, 1000 + uint64_t(i));
        frames.push_back(SuperresEval::toUyvy(lr));
        SuperResFrame f;
        f.pSrc = frames.back().data();
        f.pDst = dst.data();
        f.nWidth = kSuperResInWidth;
        f.nHeight = kSuperResInHeight;
        f.nOutWidth = kSuperResOutWidth;
        f.nOutHeight = kSuperResOutHeight;
        if (!superResolve(f)) {
            std::fprintf(stderr, "the stage refused %s\n", qPrintable(files[i]));
            return 1;
        }
        const cv::Mat sr = SuperresEval::lumaOf(dst.data(), kSuperResOutWidth, kSuperResOutHeight);
        const cv::Mat bic = SuperresEval::bicubicEnlarge(lr);
        const double pNet = SuperresEval::psnr(sr, original), pBic = SuperresEval::psnr(bic, original);
        const double sNet = SuperresEval::ssim(sr, original), sBic = SuperresEval::ssim(bic, original);
        std::printf("  %-28s network %6.2f dB  bicubic %6.2f dB  SSIM %.4f / %.4f\n",
                    qPrintable(QFileInfo(files[i]).fileName()), pNet, pBic, sNet, sBic);
        const int kind = QFileInfo(files[i]).fileName().startsWith("thermal_") ? 0 : 1;
        gain[kind] += pNet - pBic;
        ++count[kind];
        pNetSum += pNet;
        pBicSum += pBic;
        sNetSum += sNet;
        sBicSum += sBic;
    }
    if (frames.empty())
        return 1;
    const double n = double(frames.size());
    std::printf("PSNR network %.2f dB bicubic %.2f dB\n", pNetSum / n, pBicSum / n);
    std::printf("PSNR gain over bicubic: %.2f dB\n", (pNetSum - pBicSum) / n);
    std::printf("SSIM network %.4f bicubic %.4f\n", sNetSum / n, sBicSum / n);
    if (count[0] && count[1])
        std::printf("PSNR gain on thermal scenes %.2f dB (%d), on natural images %.2f dB (%d)\n",
                    gain[0] / count[0], count[0], gain[1] / count[1], count[1]);

    const Timing plain = timeStage(frames, nFrames, false);
    const Timing blend = timeStage(frames, nFrames, true);
    std::printf("superres stage: median %.2f ms, p95 %.2f ms\n", plain.median, plain.p95);
    std::printf("superres stage with blend: median %.2f ms, p95 %.2f ms\n", blend.median, blend.p95);
    cv::setNumThreads(1);
    const Timing cpu = timeStage(frames, nFrames, false, true);
    cv::setNumThreads(4);
    std::printf("superres stage CPU time on one thread: median %.2f ms, p95 %.2f ms\n", cpu.median, cpu.p95);
    return 0;
}
