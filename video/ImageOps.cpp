#include "video/ImageOps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>
#include <vector>

namespace ImageOps {

void buildGammaTable(float* pTable256)
{
    const float fExponent = 1.0f / 0.7f;   // held in single precision on purpose
    for (int i = 0; i < 256; ++i)
        pTable256[i] = float(std::floor(std::pow(double(i) / 255.0, double(fExponent)) * 255.0));
}

void gammaBytes(const float* pTable256, uint8_t* pBytes256)
{
    for (int i = 0; i < 256; ++i)
        pBytes256[i] = uint8_t(int(pTable256[i]));
}

namespace {

inline size_t px(int x, int y, int w) { return (size_t(y) * size_t(w) + size_t(x)) * 2; }

void rotateQuarterCw(const uint8_t* s, uint8_t* d, int W, int H)
{
    // Output is H wide and W tall; new row y' is old column y' read bottom-up.
    for (int yn = 0; yn < W; ++yn) {
        uint8_t* row = d + size_t(yn) * size_t(H) * 2;
        const int gx = (yn / 2) * 2;   // first column of the old pair holding column yn
        const int odd = yn & 1;
        for (int k = 0; k < H / 2; ++k) {
            const int y0 = H - 1 - 2 * k;
            const int yc = y0 - odd;     // old row that gives this pair its chroma
            uint8_t* q = row + 4 * size_t(k);
            q[0] = s[px(gx, yc, W)];
            q[1] = s[px(yn, y0, W) + 1];
            q[2] = s[px(gx, yc, W) + 2];
            q[3] = s[px(yn, y0 - 1, W) + 1];
        }
    }
}

void rotateQuarterCcw(const uint8_t* s, uint8_t* d, int W, int H)
{
    // Output is H wide and W tall; new row y' is old column W - 1 - y' read top-down.
    for (int yn = 0; yn < W; ++yn) {
        uint8_t* row = d + size_t(yn) * size_t(H) * 2;
        const int xo = W - 1 - yn;
        const int gx = (xo / 2) * 2;
        const int odd = yn & 1;
        for (int k = 0; k < H / 2; ++k) {
            const int y0 = 2 * k;
            const int yc = y0 + 1 - odd;
            uint8_t* q = row + 4 * size_t(k);
            q[0] = s[px(gx, yc, W)];
            q[1] = s[px(xo, y0, W) + 1];
            q[2] = s[px(gx, yc, W) + 2];
            q[3] = s[px(xo, y0 + 1, W) + 1];
        }
    }
}

void rotateHalf(const uint8_t* s, uint8_t* d, int W, int H)
{
    const size_t n = size_t(W) * size_t(H) / 2;
    for (size_t g = 0; g < n; ++g) {
        const uint8_t* p = s + 4 * (n - 1 - g);
        uint8_t* q = d + 4 * g;
        q[0] = p[0];
        q[1] = p[3];
        q[2] = p[2];
        q[3] = p[1];
    }
}

void rotateHalfInPlace(uint8_t* b, int W, int H)
{
    const size_t n = size_t(W) * size_t(H) / 2;
    for (size_t g = 0; g < n / 2; ++g) {
        uint8_t* p = b + 4 * g;
        uint8_t* q = b + 4 * (n - 1 - g);
        uint8_t t[4] = {p[0], p[1], p[2], p[3]};
        p[0] = q[0];
        p[1] = q[3];
        p[2] = q[2];
        p[3] = q[1];
        q[0] = t[0];
        q[1] = t[3];
        q[2] = t[2];
        q[3] = t[1];
    }
    if (n % 2) {
        uint8_t* p = b + 4 * (n / 2);
        std::swap(p[1], p[3]);
    }
}

} // namespace

void rotateUyvy(const uint8_t* pSrc, uint8_t* pDst, int nWidth, int nHeight, int nState)
{
    if (nWidth < 2 || nHeight < 2)
        return;
    switch (nState) {
    case 1: rotateQuarterCw(pSrc, pDst, nWidth, nHeight); break;
    case 2: rotateHalf(pSrc, pDst, nWidth, nHeight); break;
    case 3: rotateQuarterCcw(pSrc, pDst, nWidth, nHeight); break;
    default: std::memcpy(pDst, pSrc, size_t(nWidth) * size_t(nHeight) * 2); break;
    }
}

void rotateUyvyInPlace(uint8_t* pBuffer, int& nWidth, int& nHeight, int nState, uint8_t* pScratch)
{
    if (nWidth < 2 || nHeight < 2)
        return;
    if (nState == 2) {
        rotateHalfInPlace(pBuffer, nWidth, nHeight);
    } else if (nState == 1 || nState == 3) {
        rotateUyvy(pBuffer, pScratch, nWidth, nHeight, nState);
        std::memcpy(pBuffer, pScratch, size_t(nWidth) * size_t(nHeight) * 2);
        std::swap(nWidth, nHeight);
    }
}

void uyvyToI420(const uint8_t* pSrc, int nWidth, int nHeight, uint8_t* pDst)
{
    const size_t nPixels = size_t(nWidth) * size_t(nHeight);
    uint8_t* pY = pDst;
    uint8_t* pU = pDst + nPixels;
    uint8_t* pV = pU + nPixels / 4;
    const int nHalfW = nWidth / 2;
    for (int y = 0; y < nHeight; ++y) {
        const uint8_t* s = pSrc + size_t(y) * size_t(nWidth) * 2;
        uint8_t* yRow = pY + size_t(y) * size_t(nWidth);
        for (int g = 0; g < nHalfW; ++g) {
            yRow[2 * g] = s[4 * g + 1];
            yRow[2 * g + 1] = s[4 * g + 3];
        }
        if ((y & 1) == 0) {
            uint8_t* uRow = pU + size_t(y / 2) * size_t(nHalfW);
            uint8_t* vRow = pV + size_t(y / 2) * size_t(nHalfW);
            for (int g = 0; g < nHalfW; ++g) {
                uRow[g] = s[4 * g];
                vRow[g] = s[4 * g + 2];
            }
        }
    }
}

void enlargeI420x4(const uint8_t* pSrc, int nWidth, int nHeight, uint8_t* pDst)
{
    const int w2 = nWidth / 2;
    const int h2 = nHeight / 2;
    const size_t nSrcY = size_t(nWidth) * size_t(nHeight);
    const size_t nSrcC = size_t(w2) * size_t(h2);
    const size_t nDstY = nSrcY * 16;
    const size_t nDstC = nSrcC * 16;

    // Matrix headers over the caller's memory: cv::resize writes in place, no allocation.
    const cv::Mat srcY(nHeight, nWidth, CV_8UC1, const_cast<uint8_t*>(pSrc));
    const cv::Mat srcU(h2, w2, CV_8UC1, const_cast<uint8_t*>(pSrc + nSrcY));
    const cv::Mat srcV(h2, w2, CV_8UC1, const_cast<uint8_t*>(pSrc + nSrcY + nSrcC));
    cv::Mat dstY(nHeight * 4, nWidth * 4, CV_8UC1, pDst);
    cv::Mat dstU(h2 * 4, w2 * 4, CV_8UC1, pDst + nDstY);
    cv::Mat dstV(h2 * 4, w2 * 4, CV_8UC1, pDst + nDstY + nDstC);
    cv::resize(srcY, dstY, dstY.size(), 0, 0, cv::INTER_CUBIC);
    cv::resize(srcU, dstU, dstU.size(), 0, 0, cv::INTER_CUBIC);
    cv::resize(srcV, dstV, dstV.size(), 0, 0, cv::INTER_CUBIC);
}

void enlargeUyvyLumaX2(const uint8_t* pSrc, int nWidth, int nHeight, uint8_t* pDst)
{
    cv::Mat luma(nHeight, nWidth, CV_8UC1);
    const size_t nPixels = size_t(nWidth) * size_t(nHeight);
    for (size_t i = 0; i < nPixels; ++i)
        luma.data[i] = pSrc[2 * i + 1];
    cv::Mat big;
    cv::resize(luma, big, cv::Size(nWidth * 2, nHeight * 2), 0, 0, cv::INTER_CUBIC);
    const size_t nOut = nPixels * 4;
    for (size_t i = 0; i < nOut; ++i) {
        pDst[2 * i] = 128;
        pDst[2 * i + 1] = big.data[i];
    }
}

namespace {
constexpr int kZoomWidth[20] = {2048, 1792, 1536, 1280, 1024, 960, 896, 832, 768, 704,
                                640, 576, 512, 448, 384, 320, 288, 256, 224, 192};
constexpr int kZoomHeight[20] = {1536, 1344, 1152, 960, 768, 720, 672, 624, 576, 528,
                                 480, 432, 384, 336, 288, 240, 216, 192, 168, 144};
} // namespace

int zoomTableWidth(int nIndex) { return kZoomWidth[std::min(19, std::max(0, nIndex))]; }
int zoomTableHeight(int nIndex) { return kZoomHeight[std::min(19, std::max(0, nIndex))]; }

ZoomOffsets zoomOffsets(int nLevel, int nBase, int nFrameWidth, int nFrameHeight, int nScale, int nDirection)
{
    ZoomOffsets z;
    if (nLevel < 0 || nFrameWidth < 1 || nFrameHeight < 1)
        return z;
    const int i = std::min(19, nBase + nLevel);
    const int dx = 4 * nFrameWidth - kZoomWidth[i];
    const int dy = 4 * nFrameHeight - kZoomHeight[i];
    // A crop larger than the picture (a frame size the tables were not made for) shows all.
    z.nLeft = dx > 0 ? int(unsigned(dx) >> 1) * nScale : 0;
    z.nTop = dy > 0 ? int(unsigned(dy) >> 1) * nScale : 0;
    if (nDirection == 1 || nDirection == 3)
        std::swap(z.nLeft, z.nTop);
    return z;
}

cv::Mat uyvyToBgr(const uint8_t* pUyvy, int nWidth, int nHeight)
{
    cv::Mat bgr;
    if (!pUyvy || nWidth < 2 || nHeight < 1)
        return bgr;
    const cv::Mat uyvy(nHeight, nWidth, CV_8UC2, const_cast<uint8_t*>(pUyvy));
    cv::cvtColor(uyvy, bgr, cv::COLOR_YUV2BGR_UYVY);
    return bgr;
}

void stampLogo(cv::Mat& image, const cv::Mat& logo)
{
    if (image.empty() || image.type() != CV_8UC3 || logo.empty() || logo.type() != CV_8UC4)
        return;
    const int w = std::min(logo.cols, image.cols - 10);
    const int h = std::min(logo.rows, image.rows - 10);
    if (w < 1 || h < 1)
        return;
    cv::Mat roi = image(cv::Rect(10, 10, w, h));
    std::vector<cv::Mat> logoCh;
    cv::split(logo(cv::Rect(0, 0, w, h)), logoCh);
    const cv::Mat& alpha = logoCh[3];
    cv::Mat inverse;
    cv::subtract(cv::Scalar(255), alpha, inverse);
    std::vector<cv::Mat> imgCh;
    cv::split(roi, imgCh);
    for (int c = 0; c < 3; ++c) {
        cv::Mat kept, added;
        cv::multiply(imgCh[c], inverse, kept, 1.0 / 255.0);
        cv::multiply(logoCh[c], alpha, added, 1.0 / 255.0);
        cv::add(kept, added, imgCh[c]);
    }
    cv::merge(imgCh, roi);
}

} // namespace ImageOps
