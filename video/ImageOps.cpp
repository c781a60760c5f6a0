#include "video/ImageOps.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <opencv2/imgproc.hpp>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif
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

namespace {

// Fourfold bicubic enlargement of one 8-bit plane, giving exactly what OpenCV's INTER_CUBIC
// resize gives (Keys kernel a = -0.75, coefficients in 11-bit fixed point, replicated border,
// the vertical pass in single precision summed last tap first, rounded half to even), at about
// two thirds of its cost: the four filter phases of a 4x scale are fixed, and every source
// row is filtered horizontally once into a ring of four rows.
struct CubicX4
{
    int16_t c[4][4];   // horizontal taps per output phase, x 2048
    float b[4][4];     // the same for the vertical pass, / 2048^2

    CubicX4()
    {
        const float A = -0.75f;
        for (int d = 0; d < 4; ++d) {
            float fx = float((d + 0.5) * 0.25 - 0.5);
            fx -= std::floor(fx);
            float t[4];
            t[0] = ((A * (fx + 1) - 5 * A) * (fx + 1) + 8 * A) * (fx + 1) - 4 * A;
            t[1] = ((A + 2) * fx - (A + 3)) * fx * fx + 1;
            t[2] = ((A + 2) * (1 - fx) - (A + 3)) * (1 - fx) * (1 - fx) + 1;
            t[3] = 1.f - t[0] - t[1] - t[2];
            for (int k = 0; k < 4; ++k) {
                c[d][k] = cv::saturate_cast<int16_t>(t[k] * 2048.0f);
                b[d][k] = float(c[d][k]) * (1.0f / (2048.0f * 2048.0f));
            }
        }
    }
};

const CubicX4& cubicX4()
{
    static const CubicX4 s_coefs;
    return s_coefs;
}

// One source row to 4w horizontally filtered values; pad holds w + 4 ints.
void cubicRowX4(const CubicX4& k, const uint8_t* pSrc, int w, int* pOut, int* pad)
{
    for (int i = 0; i < w + 4; ++i)
        pad[i] = pSrc[std::min(w - 1, std::max(0, i - 2))];
    const int16_t* c0 = k.c[0];
    const int16_t* c1 = k.c[1];
    const int16_t* c2 = k.c[2];
    const int16_t* c3 = k.c[3];
    for (int i = 0; i < w; ++i) {
        // Output phases 0 and 1 are centred left of source pixel i, 2 and 3 right of it.
        const int* p = pad + i;
        int* o = pOut + 4 * i;
        o[0] = p[0] * c0[0] + p[1] * c0[1] + p[2] * c0[2] + p[3] * c0[3];
        o[1] = p[0] * c1[0] + p[1] * c1[1] + p[2] * c1[2] + p[3] * c1[3];
        o[2] = p[1] * c2[0] + p[2] * c2[1] + p[3] * c2[2] + p[4] * c2[3];
        o[3] = p[1] * c3[0] + p[2] * c3[1] + p[3] * c3[2] + p[4] * c3[3];
    }
}

void enlargePlaneX4(const uint8_t* pSrc, int w, int h, uint8_t* pDst)
{
    if (w < 1 || h < 1)
        return;
    const CubicX4& k = cubicX4();
    const int W = 4 * w;
    const int H = 4 * h;
    thread_local std::vector<int> scratch;
    scratch.resize(size_t(4) * size_t(W) + size_t(w) + 4);
    int* ring = scratch.data();
    int* pad = ring + size_t(4) * size_t(W);
    int have[4] = {-1, -1, -1, -1};

    for (int dy = 0; dy < H; ++dy) {
        const int ph = dy & 3;
        const int sy = (dy >> 2) + (ph < 2 ? -1 : 0);
        const int* R[4];
        for (int t = 0; t < 4; ++t) {
            const int j = std::min(h - 1, std::max(0, sy - 1 + t));
            const int slot = j & 3;   // four consecutive rows never share a slot
            if (have[slot] != j) {
                cubicRowX4(k, pSrc + size_t(j) * size_t(w), w, ring + size_t(slot) * size_t(W), pad);
                have[slot] = j;
            }
            R[t] = ring + size_t(slot) * size_t(W);
        }
        const float* b = k.b[ph];
        uint8_t* o = pDst + size_t(dy) * size_t(W);
        int x = 0;
#if defined(__SSE2__)
        const __m128 b0 = _mm_set1_ps(b[0]), b1 = _mm_set1_ps(b[1]), b2 = _mm_set1_ps(b[2]), b3 = _mm_set1_ps(b[3]);
        for (; x + 16 <= W; x += 16) {
            __m128i r[4];
            for (int q = 0; q < 4; ++q) {
                const int xx = x + 4 * q;
                const __m128 a0 = _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R[0] + xx)));
                const __m128 a1 = _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R[1] + xx)));
                const __m128 a2 = _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R[2] + xx)));
                const __m128 a3 = _mm_cvtepi32_ps(_mm_loadu_si128(reinterpret_cast<const __m128i*>(R[3] + xx)));
                const __m128 v = _mm_add_ps(_mm_mul_ps(a0, b0),
                                            _mm_add_ps(_mm_mul_ps(a1, b1), _mm_add_ps(_mm_mul_ps(a2, b2), _mm_mul_ps(a3, b3))));
                r[q] = _mm_cvtps_epi32(v);
            }
            const __m128i packed = _mm_packus_epi16(_mm_packs_epi32(r[0], r[1]), _mm_packs_epi32(r[2], r[3]));
            _mm_storeu_si128(reinterpret_cast<__m128i*>(o + x), packed);
        }
#endif
        for (; x < W; ++x) {
            const float v = float(R[0][x]) * b[0] + (float(R[1][x]) * b[1] + (float(R[2][x]) * b[2] + float(R[3][x]) * b[3]));
            o[x] = cv::saturate_cast<uint8_t>(cvRound(v));
        }
    }
}

} // namespace

void enlargeI420x4(const uint8_t* pSrc, int nWidth, int nHeight, uint8_t* pDst)
{
    const int w2 = nWidth / 2;
    const int h2 = nHeight / 2;
    const size_t nSrcY = size_t(nWidth) * size_t(nHeight);
    const size_t nSrcC = size_t(w2) * size_t(h2);
    enlargePlaneX4(pSrc, nWidth, nHeight, pDst);
    enlargePlaneX4(pSrc + nSrcY, w2, h2, pDst + nSrcY * 16);
    enlargePlaneX4(pSrc + nSrcY + nSrcC, w2, h2, pDst + nSrcY * 16 + nSrcC * 16);
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
