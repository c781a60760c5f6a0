#include "video/SuperResolution.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSet>
#include <QtDebug>

#include <opencv2/core.hpp>
#include <opencv2/dnn.hpp>
#include <opencv2/imgproc.hpp>

#include <cstdio>
#include <exception>
#include <mutex>

namespace {

// Pre-processing the network was trained with.
constexpr double kBlobScale = 0.0174;
const cv::Scalar kBlobMean(123.675, 116.28, 103.53);

struct SuperResState
{
    std::mutex mutex;
    cv::dnn::Net net;
    bool bAvailable = false;
    cv::Mat input{kSuperResInHeight, kSuperResInWidth, CV_8UC3, cv::Scalar::all(0)};
    cv::Mat luma{kSuperResInHeight, kSuperResInWidth, CV_8UC1, cv::Scalar::all(0)};
    cv::Mat enlarged;
    QSet<QString> loggedFailures;
};

SuperResState& state()
{
    static SuperResState s;
    return s;
}

// Each engine sets the model up at construction; a broken model would otherwise be
// reported once per engine.
void logFailureOnce(SuperResState& s, const QString& text)
{
    if (s.loggedFailures.contains(text))
        return;
    s.loggedFailures.insert(text);
    qWarning().noquote() << "Super-resolution unavailable:" << text;
}

// Copies the luminance bytes (odd offsets) of a UYVY frame into the three-channel input
// picture and, when given, a one-channel copy for the bicubic enlargement.
void fillInput(const unsigned char* pSrc, cv::Mat& input, cv::Mat* luma)
{
    for (int r = 0; r < kSuperResInHeight; ++r) {
        const unsigned char* src = pSrc + 2 * r * kSuperResInWidth + 1;
        unsigned char* dst3 = input.ptr<unsigned char>(r);
        for (int x = 0; x < kSuperResInWidth; ++x) {
            const unsigned char y = src[2 * x];
            dst3[3 * x] = y;
            dst3[3 * x + 1] = y;
            dst3[3 * x + 2] = y;
        }
        if (luma) {
            unsigned char* dst1 = luma->ptr<unsigned char>(r);
            for (int x = 0; x < kSuperResInWidth; ++x)
                dst1[x] = src[2 * x];
        }
    }
}

cv::Mat makeBlob(const cv::Mat& input)
{
    return cv::dnn::blobFromImage(input, kBlobScale, cv::Size(kSuperResInWidth, kSuperResInHeight),
                                  kBlobMean, true, false, CV_32F);
}

// Runs the network on the current input picture. Returns a 384 x 512 float view of the
// output, or an empty matrix when the run fails.
cv::Mat runNetwork(SuperResState& s)
{
    const cv::Mat blob = makeBlob(s.input);
    try {
        s.net.setInput(blob);
        cv::Mat out = s.net.forward();
        if (out.type() != CV_32F || out.total() != size_t(kSuperResOutWidth) * kSuperResOutHeight
            || !out.isContinuous())
            return cv::Mat();
        const int sz[] = {kSuperResOutHeight, kSuperResOutWidth};
        return out.reshape(1, 2, sz);
    } catch (const std::exception& e) {
        logFailureOnce(s, QString("inference failed: %1").arg(QString::fromStdString(e.what())));
        return cv::Mat();
    }
}

// Checks everything the stage relies on before it touches any buffer.
bool frameFits(const SuperResFrame& frame)
{
    if (frame.nFormat == 0) {
        std::fputs("0 :420NV12\n", stdout);
        return false;
    }
    if (frame.nFormat != 1) {
        std::fputs("format_YUV error!\n", stdout);
        return false;
    }
    return frame.pSrc && frame.pDst && frame.nFactor == 2 && frame.nWidth == kSuperResInWidth
        && frame.nHeight == kSuperResInHeight && frame.nOutWidth == kSuperResOutWidth
        && frame.nOutHeight == kSuperResOutHeight;
}

bool enlarge(const SuperResFrame& frame, bool bBlend, float f)
{
    if (!frameFits(frame))
        return false;
    SuperResState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (!s.bAvailable)
        return false;

    fillInput(frame.pSrc, s.input, bBlend ? &s.luma : nullptr);
    if (bBlend)
        cv::resize(s.luma, s.enlarged, cv::Size(), frame.nFactor, frame.nFactor, cv::INTER_CUBIC);
    const cv::Mat out = runNetwork(s);
    if (out.empty())
        return false;
    SuperResDetail::writeBack(out, bBlend ? s.enlarged : cv::Mat(), f, frame.pDst);
    return true;
}

} // namespace

namespace SuperResDetail {

cv::Mat inputBlob(const unsigned char* pUyvy)
{
    cv::Mat input(kSuperResInHeight, kSuperResInWidth, CV_8UC3);
    fillInput(pUyvy, input, nullptr);
    return makeBlob(input);
}

void writeBack(const cv::Mat& model, const cv::Mat& bicubic, float f, unsigned char* pDst)
{
    for (int r = 0; r < kSuperResOutHeight; ++r) {
        const float* m = model.ptr<float>(r);
        unsigned char* dst = pDst + 2 * r * kSuperResOutWidth;
        if (!bicubic.empty()) {
            const unsigned char* b = bicubic.ptr<unsigned char>(r);
            for (int x = 0; x < kSuperResOutWidth; ++x) {
                dst[2 * x] = 128;
                dst[2 * x + 1] = lumaFromModel(f * m[x] + (1.0f - f) * float(b[x]));
            }
        } else {
            for (int x = 0; x < kSuperResOutWidth; ++x) {
                dst[2 * x] = 128;
                dst[2 * x + 1] = lumaFromModel(m[x]);
            }
        }
    }
}

unsigned char lumaFromModel(float v)
{
    // A hot highlight slightly above 255 must stay white rather than wrap to black;
    // NaN counts as black.
    if (!(v > 0.0f))
        return 0;
    if (v >= 255.0f)
        return 255;
    return static_cast<unsigned char>(static_cast<int>(v));
}

} // namespace SuperResDetail

QString findModelPath()
{
    const QFileInfo local(QDir::current().filePath("model.onnx"));
    if (local.isFile())
        return local.absoluteFilePath();
    if (QCoreApplication::instance()) {
        const QDir programDir(QCoreApplication::applicationDirPath());
        const QFileInfo beside(programDir.filePath("model.onnx"));
        if (beside.isFile())
            return beside.absoluteFilePath();
        // An installed copy: <prefix>/bin/thermava finds <prefix>/share/thermava/model.onnx.
        const QFileInfo installed(programDir.filePath("../share/thermava/model.onnx"));
        if (installed.isFile())
            return installed.absoluteFilePath();
    }
    return QString();
}

bool setUpModel(const QString& path)
{
    SuperResState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.net = cv::dnn::Net();
    s.bAvailable = false;

    if (path.isEmpty()) {
        logFailureOnce(s, "no model.onnx in the working directory, beside the program or in its data folder");
        return false;
    }
    if (!QFileInfo(path).isFile()) {
        logFailureOnce(s, QString("no model file at \"%1\"").arg(path));
        return false;
    }
    try {
        s.net = cv::dnn::readNetFromONNX(QFile::encodeName(path).toStdString());
        s.net.setPreferableBackend(cv::dnn::DNN_BACKEND_OPENCV);
        s.net.setPreferableTarget(cv::dnn::DNN_TARGET_CPU);
    } catch (const std::exception& e) {
        s.net = cv::dnn::Net();
        logFailureOnce(s, QString("cannot read \"%1\": %2").arg(path, QString::fromStdString(e.what())));
        return false;
    }
    if (s.net.empty()) {
        logFailureOnce(s, QString("\"%1\" holds no network").arg(path));
        return false;
    }
    // One trial run proves the network accepts the frame and answers with the doubled
    // size; a model for another geometry would otherwise write past the work buffer.
    const cv::Mat trial = runNetwork(s);
    if (trial.empty()) {
        s.net = cv::dnn::Net();
        logFailureOnce(s, QString("\"%1\" does not map 1x3x%2x%3 to %4x%5")
                              .arg(path)
                              .arg(kSuperResInHeight)
                              .arg(kSuperResInWidth)
                              .arg(kSuperResOutHeight)
                              .arg(kSuperResOutWidth));
        return false;
    }
    s.bAvailable = true;
    return true;
}

bool isSuperResolutionAvailable()
{
    SuperResState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.bAvailable;
}

void releaseModel()
{
    SuperResState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.net = cv::dnn::Net();
    s.bAvailable = false;
}

bool superResolve(const SuperResFrame& frame)
{
    return enlarge(frame, false, 1.0f);
}

bool superResolveBlend(const SuperResFrame& frame, float f)
{
    return enlarge(frame, true, f);
}

bool judgeRatioRange(float fMaxTemper, bool& bOn, float& f)
{
    // Written so that an unreadable (NaN) temperature counts as cool.
    if (!(fMaxTemper > 90.0f)) {
        bOn = false;
    } else if (fMaxTemper <= 120.0f) {
        bOn = true;
        f = 0.9f;
    } else if (fMaxTemper <= 140.0f) {
        bOn = true;
        f = 0.7f;
    } else {
        bOn = true;
        f = 0.5f;
    }
    return bOn;
}
