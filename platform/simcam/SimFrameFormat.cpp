#include "platform/simcam/SimFrameFormat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace SimFrameFormat {

SimStreamLayout layoutFor(const std::string& partNumber, int nImageWidth)
{
    SimStreamLayout l;
    l.nImageWidth = nImageWidth;
    l.nImageHeight = nImageWidth * 3 / 4;
    l.bDoubleWidth = partNumber.size() > 12 && partNumber[12] == 'R';
    if (l.bDoubleWidth) {
        l.nStreamWidth = 2 * nImageWidth;
        l.nStreamHeight = l.nImageHeight + 8;
    } else {
        l.nStreamWidth = nImageWidth;
        l.nStreamHeight = l.nImageHeight + 4;
    }
    return l;
}

SimMeasurement measure(const float* pTemper, int nWidth, int nHeight)
{
    SimMeasurement m;
    if (!pTemper || nWidth <= 0 || nHeight <= 0)
        return m;
    float fMin = pTemper[0], fMax = pTemper[0];
    int nHot = 0;
    const int n = nWidth * nHeight;
    for (int i = 1; i < n; ++i) {
        const float v = pTemper[i];
        if (v > fMax) {
            fMax = v;
            nHot = i;
        }
        if (v < fMin)
            fMin = v;
    }
    m.fMinTemper = fMin;
    m.fMaxTemper = fMax;
    m.nHotCol = nHot % nWidth;
    m.nHotRow = nHot / nWidth;
    return m;
}

void toGrey(const float* pTemper, int nCount, float fMin, float fMax, uint8_t* pGrey)
{
    const float range = fMax - fMin;
    if (!(range > 1e-6f)) {
        std::memset(pGrey, 128, size_t(std::max(0, nCount)));
        return;
    }
    const float k = 255.0f / range;
    for (int i = 0; i < nCount; ++i) {
        const float g = (pTemper[i] - fMin) * k + 0.5f;
        pGrey[i] = uint8_t(std::clamp(g, 0.0f, 255.0f));
    }
}

namespace {

void putOddLe(uint8_t* pTrailer, int nFirst, uint32_t v, int nBytes)
{
    for (int i = 0; i < nBytes; ++i)
        pTrailer[nFirst + 2 * i] = uint8_t(v >> (8 * i));
}

uint32_t getOddLe(const uint8_t* pTrailer, int nFirst, int nBytes)
{
    uint32_t v = 0;
    for (int i = 0; i < nBytes; ++i)
        v |= uint32_t(pTrailer[nFirst + 2 * i]) << (8 * i);
    return v;
}

uint32_t scaledPosition(int nPos, int nExtent)
{
    if (nExtent <= 0)
        return 0;
    const long v = std::lround(double(nPos) * 8191.0 / double(nExtent));
    return uint32_t(std::clamp(v, 0L, 8191L));
}

} // namespace

void writeTrailer(uint8_t* pTrailer, const SimMeasurement& m, int nWidth, int nHeight)
{
    for (int i = 0; i < kTrailerSize; ++i)
        pTrailer[i] = (i % 2 == 0) ? 0x80 : 0x00;
    putOddLe(pTrailer, 1, scaledPosition(m.nHotRow, nHeight), 2);
    putOddLe(pTrailer, 5, scaledPosition(m.nHotCol, nWidth), 2);
    putOddLe(pTrailer, 9, uint32_t(int32_t(std::lround(double(m.fMaxTemper) * 200.0))), 4);
    putOddLe(pTrailer, 17, uint32_t(int32_t(std::lround(double(m.fMinTemper) * 200.0))), 4);
    putOddLe(pTrailer, 25, uint32_t(m.nFrame), 4);
}

SimMeasurement readTrailer(const uint8_t* pTrailer, int nWidth, int nHeight)
{
    SimMeasurement m;
    const uint32_t rawRow = getOddLe(pTrailer, 1, 2);
    const uint32_t rawCol = getOddLe(pTrailer, 5, 2);
    m.nHotRow = int(std::lround(double(rawRow) * nHeight / 8191.0));
    m.nHotCol = int(std::lround(double(rawCol) * nWidth / 8191.0));
    m.fMaxTemper = float(int32_t(getOddLe(pTrailer, 9, 4)) / 200.0);
    m.fMinTemper = float(int32_t(getOddLe(pTrailer, 17, 4)) / 200.0);
    m.nFrame = getOddLe(pTrailer, 25, 4);
    return m;
}

uint16_t rawWord(float fDegC)
{
    const double v = (double(fDegC) + 273.15) * 64.0;
    return uint16_t(std::clamp(v + 0.5, 0.0, 65535.0));
}

void composeFrame(const SimStreamLayout& layout, const uint8_t* pGrey, const float* pTemper,
                  const uint8_t* pTrailer, uint8_t* pFrame)
{
    const int w = layout.nImageWidth;
    const int h = layout.nImageHeight;
    std::memset(pFrame, 0, size_t(layout.frameBytes()));
    const int rowBytes = layout.nStreamWidth * 2;
    const int imageOffset = layout.bDoubleWidth ? w * 2 : 0;
    for (int y = 0; y < h; ++y) {
        uint8_t* row = pFrame + size_t(y) * size_t(rowBytes);
        if (layout.bDoubleWidth && pTemper) {
            const float* t = pTemper + size_t(y) * size_t(w);
            for (int x = 0; x < w; ++x) {
                const uint16_t word = rawWord(t[x]);
                row[2 * x] = uint8_t(word);
                row[2 * x + 1] = uint8_t(word >> 8);
            }
        }
        uint8_t* image = row + imageOffset;
        const uint8_t* g = pGrey + size_t(y) * size_t(w);
        for (int x = 0; x < w; ++x) {
            image[2 * x] = 0x80;        // U or V: neutral, the camera's picture is grey
            image[2 * x + 1] = g[x];    // Y at the odd offset
        }
    }
    std::memcpy(pFrame + size_t(h) * size_t(rowBytes), pTrailer, kTrailerSize);
}

} // namespace SimFrameFormat
