#pragma once
// H.264 encoder used by recording: open with a parameter block, encode one contiguous I420
// picture per call, close. The three records below are plain byte layouts so that callers
// fill them by field name; their sizes are fixed.
//
// Result codes:
//   MAV_P264_Enc_Open:  0 success (handle set); kMavEncBadArgument (null pointer),
//                       kMavEncBadParam (zero, odd or oversized picture), kMavEncFailed
//                       (the encoder could not be started).
//   MAV_P264_Enc_Start: 0 one encoded unit (Annex B, with SPS/PPS before every key frame) is
//                       in the output record; kMavEncNoOutput (nothing produced for this
//                       picture); kMavEncBadArgument (unknown handle, null pointer);
//                       kMavEncBadParam (picture width differs from the opened width);
//                       kMavEncFailed (encoding error). Any nonzero result means: drop the frame.
//   MAV_P264_Enc_Close: unknown or null handles and repeated calls are ignored.

#include <cstdint>

constexpr int kMavEncNoOutput = 1;
constexpr int kMavEncBadArgument = -1;
constexpr int kMavEncBadParam = -2;
constexpr int kMavEncFailed = -3;

// 104 bytes, zeroed and then filled by the caller.
struct MavEncParam
{
    int32_t nWidth;          // 0: picture width
    int32_t nHeight;         // 4: picture height
    int32_t nReserved8;      // 8: 0
    int32_t nPixelCount;     // 12: width x height
    int32_t nFrameRate;      // 16: 25
    int32_t nReserved20;     // 20: 0
    int32_t nReserved24;     // 24: 0
    int32_t nKeyInterval;    // 28: 50 (frames between key frames)
    int32_t nOption32;       // 32: 0
    int32_t nOption36;       // 36: 2
    int32_t nOption40;       // 40: 2
    int32_t nOption44;       // 44: 2
    int32_t nOption48;       // 48: 0
    int32_t nOption52;       // 52: 100
    int32_t nOption56;       // 56: 0
    int32_t nOption60;       // 60: 0
    int32_t nReserved64[10]; // 64..103: 0
};
static_assert(sizeof(MavEncParam) == 104, "encoder parameter block is 104 bytes");

// The block recording opens the encoder with, for a picture of the given size.
inline MavEncParam mavEncDefaultParam(int nWidth, int nHeight)
{
    MavEncParam st{};
    st.nWidth = nWidth;
    st.nHeight = nHeight;
    st.nPixelCount = nWidth * nHeight;
    st.nFrameRate = 25;
    st.nKeyInterval = 50;
    st.nOption36 = 2;
    st.nOption40 = 2;
    st.nOption44 = 2;
    st.nOption52 = 100;
    return st;
}

// 48 bytes per picture. The planes are one contiguous I420 buffer: Y (width x height bytes),
// then U and V (a quarter of that each).
struct MavEncPicture
{
    unsigned char* pY;       // 0
    unsigned char* pU;       // 8
    unsigned char* pV;       // 16
    int32_t nWidth;          // 24: picture width
    int32_t nWidthQuarterU;  // 28: picture width / 4
    int32_t nWidthQuarterV;  // 32: picture width / 4
    int32_t nReserved36[3];  // 36..47: 0
};
static_assert(sizeof(MavEncPicture) == 48, "encoder picture descriptor is 48 bytes");

// 88 bytes, zeroed before each call. pData stays valid until the next Start or Close on the
// same handle.
struct MavEncOutput
{
    int32_t nReserved0[2];   // 0..7
    unsigned char* pData;    // 8: encoded bytes
    int32_t nReserved16[6];  // 16..39
    int32_t nDataLen;        // 40: number of encoded bytes
    int32_t nKeyFrame;       // 44: 1 when the unit is a key frame
    int32_t nReserved48[10]; // 48..87
};
static_assert(sizeof(MavEncOutput) == 88, "encoder output descriptor is 88 bytes");

int MAV_P264_Enc_Open(void* pParamBlock, void** phEncoder);
int MAV_P264_Enc_Start(void* hEncoder, void* pPicture, void* pOutput);
void MAV_P264_Enc_Close(void* hEncoder);
