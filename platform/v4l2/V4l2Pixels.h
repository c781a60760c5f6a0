#pragma once
// Pixel work on the capture path, kept free of any device so tests and benchmarks call it
// directly: the stream sizes the camera link can ask for, and turning one captured buffer
// (YUYV or UYVY, rows possibly padded) into the packed UYVY frame the link reads.

#include <cstddef>
#include <cstdint>

namespace V4l2Pixels {

// True for a stream the link can ask for: an image 256 or 512 pixels wide (4:3) followed
// by the rows that carry the 256-byte measurement trailer, with rows either one image wide
// or twice as wide (the image then sits in the right half). The trailer takes 1 to 8 rows,
// whatever the camera's firmware chose.
bool isLinkStreamSize(int nWidth, int nHeight);

// Swaps each byte pair: Y0 U0 Y1 V0 becomes U0 Y0 V0 Y1 (the operation is its own inverse).
// nBytes is even; pSrc and pDst may be the same buffer.
void swapPairs(const uint8_t* pSrc, uint8_t* pDst, size_t nBytes);

// Copies nHeight rows of nWidth * 2 bytes from a buffer whose rows are nBytesPerLine apart
// into a packed frame, converting YUYV to UYVY when bYuyv is set.
void packFrame(const uint8_t* pSrc, int nBytesPerLine, int nWidth, int nHeight, bool bYuyv, uint8_t* pDst);

// The bytes a captured buffer must hold for the frame to be complete: every row but the last
// with its padding, the last one without.
size_t neededBytes(int nBytesPerLine, int nWidth, int nHeight);

} // namespace V4l2Pixels
