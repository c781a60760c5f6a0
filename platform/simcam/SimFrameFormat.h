#pragma once
// How the simulated camera turns temperatures into its stream: measurement, grey levels,
// the 256-byte measurement trailer and the frame layout (plain or double-width UYVY).

#include <cstdint>
#include <string>

// Geometry of the stream the camera delivers.
struct SimStreamLayout
{
    int nStreamWidth = 0;    // pixels per stream row (2 bytes each)
    int nStreamHeight = 0;
    int nImageWidth = 0;
    int nImageHeight = 0;
    bool bDoubleWidth = false;   // the image is the right half of each stream row
    int frameBytes() const { return nStreamWidth * nStreamHeight * 2; }
};

// What the camera measured in one frame (the values written into the trailer).
struct SimMeasurement
{
    int nHotCol = 0;
    int nHotRow = 0;
    float fMinTemper = 0.0f;
    float fMaxTemper = 0.0f;
    uint64_t nFrame = 0;
};

namespace SimFrameFormat {

constexpr int kTrailerSize = 256;

// 'R' models (character 12 of the part number) send double-width rows: the image sits in
// the right half, the left half carries the raw sensor words. Others send image rows then
// the trailer. The image is nImageWidth x (3/4 of it).
SimStreamLayout layoutFor(const std::string& partNumber, int nImageWidth);

// Minimum, maximum and the first hottest pixel of a temperature image.
SimMeasurement measure(const float* pTemper, int nWidth, int nHeight);

// The camera's automatic gain: fMin..fMax onto grey 0..255 (128 when the range is empty).
void toGrey(const float* pTemper, int nCount, float fMin, float fMax, uint8_t* pGrey);

// Trailer fields at odd offsets, lowest byte first: raw row (1, 3) and column (5, 7) of the
// hot point scaled 0..8191 over the height / width, maximum x 200 (9..15) and minimum x 200
// (17..23) as 32-bit two's complement, and the frame counter (25..31). Even bytes carry
// neutral chroma (0x80) as the trailer travels inside the video frame.
void writeTrailer(uint8_t* pTrailer, const SimMeasurement& m, int nWidth, int nHeight);

// Reads the fields back (for tests and tools).
SimMeasurement readTrailer(const uint8_t* pTrailer, int nWidth, int nHeight);

// Lays grey levels, the trailer and (for double-width rows) the raw words of pTemper out as
// one stream frame of layout.frameBytes() bytes. pTemper may be null (left half then 0).
void composeFrame(const SimStreamLayout& layout, const uint8_t* pGrey, const float* pTemper,
                  const uint8_t* pTrailer, uint8_t* pFrame);

// Raw sensor word of a temperature: 1/64 kelvin, saturated to 16 bits.
uint16_t rawWord(float fDegC);

} // namespace SimFrameFormat
