#include "eval/SuperresEval.h"

#include <QDir>

#include <opencv2/imgproc.hpp>

#include <cmath>

namespace SuperresEval {

cv::Mat degrade(const cv::Mat& original, uint64_t seed)
{
    cv::Mat hr;
    original.convertTo(hr, CV_32F);
    cv::Mat lr;
    cv::resize(hr, lr, cv::Size(original.cols / 2, original.rows / 2), 0, 0, cv::INTER_CUBIC);

    cv::RNG rng(seed);
    cv::Mat temporal(lr.size(), CV_32F), column(1, lr.cols, CV_32F), row(lr.rows, 1, CV_32F);
    rng.fill(temporal, cv::RNG::NORMAL, 0.0, 1.0);
    rng.fill(column, cv::RNG::NORMAL, 0.0, 0.5);
    rng.fill(row, cv::RNG::NORMAL, 0.0, 0.2);
    for (int r = 0; r < lr.rows; ++r) {
        float* p = lr.ptr<float>(r);
        const float* t = temporal.ptr<float>(r);
        const float* c = column.ptr<float>(0);
        const float rowOffset = row.at<float>(r);
        for (int x = 0; x < lr.cols; ++x)
            p[x] += t[x] + c[x] + rowOffset;
    }
    cv::Mat out;
    lr.convertTo(out, CV_8U);  // rounds and saturates
    return out;
}

cv::Mat bicubicEnlarge(const cv::Mat& grey)
{
    cv::Mat out;
    cv::resize(grey, out, cv::Size(), 2.0, 2.0, cv::INTER_CUBIC);
    return out;
}

std::vector<unsigned char> toUyvy(const cv::Mat& grey)
{
    std::vector<unsigned char> out(size_t(grey.total()) * 2, 128);
    for (int r = 0; r < grey.rows; ++r) {
        const unsigned char* src = grey.ptr<unsigned char>(r);
        unsigned char* dst = out.data() + size_t(r) * grey.cols * 2;
        for (int x = 0; x < grey.cols; ++x)
            dst[2 * x + 1] = src[x];
    }
    return out;
}

cv::Mat lumaOf(const unsigned char* pUyvy, int nWidth, int nHeight)
{
    cv::Mat out(nHeight, nWidth, CV_8U);
    for (int r = 0; r < nHeight; ++r) {
        const unsigned char* src = pUyvy + size_t(r) * nWidth * 2 + 1;
        unsigned char* dst = out.ptr<unsigned char>(r);
        for (int x = 0; x < nWidth; ++x)
            dst[x] = src[2 * x];
    }
    return out;
}

double psnr(const cv::Mat& a, const cv::Mat& b)
{
    const double err = cv::norm(a, b, cv::NORM_L2SQR);
    if (err <= 0.0)
        return 99.0;
    const double mse = err / double(a.total());
    return 10.0 * std::log10(255.0 * 255.0 / mse);
}

double ssim(const cv::Mat& a, const cv::Mat& b)
{
    const double c1 = (0.01 * 255) * (0.01 * 255);
    const double c2 = (0.03 * 255) * (0.03 * 255);
    cv::Mat x, y;
    a.convertTo(x, CV_64F);
    b.convertTo(y, CV_64F);
    auto blur = [](const cv::Mat& m) {
        cv::Mat o;
        cv::GaussianBlur(m, o, cv::Size(11, 11), 1.5);
        return o;
    };
    const cv::Mat mx = blur(x), my = blur(y);
    const cv::Mat mx2 = mx.mul(mx), my2 = my.mul(my), mxy = mx.mul(my);
    const cv::Mat vx = blur(x.mul(x)) - mx2, vy = blur(y.mul(y)) - my2, cxy = blur(x.mul(y)) - mxy;
    cv::Mat num = (2 * mxy + c1).mul(2 * cxy + c2);
    cv::Mat den = (mx2 + my2 + c1).mul(vx + vy + c2);
    cv::Mat map;
    cv::divide(num, den, map);
    return cv::mean(map)[0];
}

QStringList listOriginals(const QString& dir)
{
    QStringList out;
    const QDir d(dir);
    for (const QString& name : d.entryList({"*.png"}, QDir::Files, QDir::Name))
        out << d.filePath(name);
    return out;
}

} // namespace SuperresEval
