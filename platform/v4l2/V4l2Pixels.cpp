#include "platform/v4l2/V4l2Pixels.h"

#include <cstring>
#include <initializer_list>

namespace V4l2Pixels {

bool isLinkStreamSize(int nWidth, int nHeight)
{
    for (int nImageWidth : {256, 512}) {
        const int nImageHeight = nImageWidth * 3 / 4;
        if (nWidth != nImageWidth && nWidth != 2 * nImageWidth)
            continue;
        const int nTrailerRows = nHeight - nImageHeight;
        if (nTrailerRows >= 1 && nTrailerRows <= 8)
            return true;
    }
    return false;
}

void swapPairs(const uint8_t* pSrc, uint8_t* pDst, size_t nBytes)
{
    // Eight bytes at a time through a 64-bit word: the compiler turns this into vector code.
    size_t i = 0;
    for (; i + 8 <= nBytes; i += 8) {
        uint64_t v;
        std::memcpy(&v, pSrc + i, 8);
        v = ((v & 0x00FF00FF00FF00FFull) << 8) | ((v >> 8) & 0x00FF00FF00FF00FFull);
        std::memcpy(pDst + i, &v, 8);
    }
    for (; i + 2 <= nBytes; i += 2) {
        const uint8_t a = pSrc[i];
        pDst[i] = pSrc[i + 1];
        pDst[i + 1] = a;
    }
}

void packFrame(const uint8_t* pSrc, int nBytesPerLine, int nWidth, int nHeight, bool bYuyv, uint8_t* pDst)
{
    const size_t nRow = size_t(nWidth) * 2;
    if (!bYuyv && size_t(nBytesPerLine) == nRow) {
        std::memcpy(pDst, pSrc, nRow * size_t(nHeight));
        return;
    }
    for (int r = 0; r < nHeight; ++r) {
        const uint8_t* pIn = pSrc + size_t(r) * size_t(nBytesPerLine);
        uint8_t* pOut = pDst + size_t(r) * nRow;
        if (bYuyv)
            swapPairs(pIn, pOut, nRow);
        else
            std::memcpy(pOut, pIn, nRow);
    }
}

size_t neededBytes(int nBytesPerLine, int nWidth, int nHeight)
{
    if (nHeight < 1)
        return 0;
    return size_t(nBytesPerLine) * size_t(nHeight - 1) + size_t(nWidth) * 2;
}

} // namespace V4l2Pixels
