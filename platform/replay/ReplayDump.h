#pragma once
// The dump file: a camera's stream exactly as the library delivered it, for bug reports and
// for replaying without the camera. Little-endian throughout.
//
//   header, 64 bytes:
//     0  "THVDUMP1"
//     8  u32 header size (64)
//    12  u16 stream width, u16 stream height (pixels of 2 bytes)
//    16  u16 image width, u16 image height
//    20  u8 double width (the image is the right half of each stream row), 3 bytes zero
//    24  u32 frame rate in thousandths of a frame per second
//    28  u32 frame count
//    32  32 bytes part number, zero-padded
//   then per frame: u64 microseconds since the first frame, u32 byte count, the bytes.
// Pure byte work: no files, no threads.

#include <cstdint>
#include <string>
#include <vector>

struct ReplayDumpHeader
{
    int nStreamWidth = 0;
    int nStreamHeight = 0;
    int nImageWidth = 0;
    int nImageHeight = 0;
    bool bDoubleWidth = false;
    uint32_t nFrameRateMilli = 0;
    uint32_t nFrameCount = 0;
    std::string partNumber;   // up to 31 characters
};

struct ReplayDumpFrame
{
    uint64_t nTimeUs = 0;
    std::vector<uint8_t> bytes;
};

namespace ReplayDump {

constexpr int kHeaderSize = 64;
constexpr int kFrameHeadSize = 12;
// Larger frames than any camera of this kind sends are taken for corruption.
constexpr uint32_t kMaxFrameBytes = 16u << 20;

std::vector<uint8_t> encodeHeader(const ReplayDumpHeader& header);
std::vector<uint8_t> encodeFrameHead(uint64_t nTimeUs, uint32_t nBytes);

// Reads a whole dump. Returns an empty text on success, otherwise what is wrong with it
// (in plain words, naming the frame or field); the outputs are then unspecified.
std::string parse(const std::vector<uint8_t>& file, ReplayDumpHeader& header, std::vector<ReplayDumpFrame>& frames);

} // namespace ReplayDump
