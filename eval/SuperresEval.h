#pragma once
// Measuring the super-resolution stage against known originals: the degradation a
// 512 x 384 original goes through to become a camera-sized input, frame packing, and
// the PSNR / SSIM figures. Shared by the benchmark and the tests so both judge alike.

#include <QString>
#include <QStringList>

#include <opencv2/core.hpp>

#include <cstdint>
#include <vector>

namespace SuperresEval {

// Original (8-bit grey, 384 x 512) -> camera-sized input (192 x 256): 2x bicubic
// downscaling plus sensor-like noise (temporal sigma 1.0, column 0.5, row 0.2 grey
// levels), rounded to 8 bits. The same seed gives the same input.
cv::Mat degrade(const cv::Mat& original, uint64_t seed);

// Plain bicubic enlargement by 2 (OpenCV's, as the blend uses).
cv::Mat bicubicEnlarge(const cv::Mat& grey);

// Grey picture -> packed UYVY bytes with U = V = 128, and back to the luminance.
std::vector<unsigned char> toUyvy(const cv::Mat& grey);
cv::Mat lumaOf(const unsigned char* pUyvy, int nWidth, int nHeight);

double psnr(const cv::Mat& a, const cv::Mat& b);
// Mean SSIM with an 11 x 11 Gaussian window (sigma 1.5).
double ssim(const cv::Mat& a, const cv::Mat& b);

// The 384 x 512 grey PNG originals of a folder, sorted by name.
QStringList listOriginals(const QString& dir);

} // namespace SuperresEval
