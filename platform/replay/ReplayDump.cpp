#include "platform/replay/ReplayDump.h"

#include <algorithm>
#include <cstring>

namespace {

const char kMagic[8] = {'T', 'H', 'V', 'D', 'U', 'M', 'P', '1'};

void put16(uint8_t* p, uint32_t x)
{
    p[0] = uint8_t(x);
    p[1] = uint8_t(x >> 8);
}
void put32(uint8_t* p, uint32_t x)
{
    put16(p, x);
    put16(p + 2, x >> 16);
}
uint32_t get16(const uint8_t* p) { return uint32_t(p[0]) | (uint32_t(p[1]) << 8); }
uint32_t get32(const uint8_t* p) { return get16(p) | (get16(p + 2) << 16); }

} // namespace

namespace ReplayDump {

std::vector<uint8_t> encodeHeader(const ReplayDumpHeader& header)
{
    std::vector<uint8_t> out(kHeaderSize, 0);
    uint8_t* p = out.data();
    std::memcpy(p, kMagic, sizeof kMagic);
    put32(p + 8, kHeaderSize);
    put16(p + 12, uint32_t(header.nStreamWidth));
    put16(p + 14, uint32_t(header.nStreamHeight));
    put16(p + 16, uint32_t(header.nImageWidth));
    put16(p + 18, uint32_t(header.nImageHeight));
    p[20] = header.bDoubleWidth ? 1 : 0;
    put32(p + 24, header.nFrameRateMilli);
    put32(p + 28, header.nFrameCount);
    std::memcpy(p + 32, header.partNumber.data(), std::min<size_t>(header.partNumber.size(), 31));
    return out;
}

std::vector<uint8_t> encodeFrameHead(uint64_t nTimeUs, uint32_t nBytes)
{
    std::vector<uint8_t> out(kFrameHeadSize, 0);
    put32(out.data(), uint32_t(nTimeUs));
    put32(out.data() + 4, uint32_t(nTimeUs >> 32));
    put32(out.data() + 8, nBytes);
    return out;
}

std::string parse(const std::vector<uint8_t>& file, ReplayDumpHeader& header, std::vector<ReplayDumpFrame>& frames)
{
    frames.clear();
    if (file.size() < size_t(kHeaderSize) || std::memcmp(file.data(), kMagic, sizeof kMagic) != 0)
        return "not a Thermava stream dump (no dump header)";
    const uint8_t* p = file.data();
    const uint32_t nHeaderSize = get32(p + 8);
    if (nHeaderSize < uint32_t(kHeaderSize) || nHeaderSize > file.size())
        return "damaged dump header (header size " + std::to_string(nHeaderSize) + ")";
    header.nStreamWidth = int(get16(p + 12));
    header.nStreamHeight = int(get16(p + 14));
    header.nImageWidth = int(get16(p + 16));
    header.nImageHeight = int(get16(p + 18));
    header.bDoubleWidth = p[20] != 0;
    header.nFrameRateMilli = get32(p + 24);
    header.nFrameCount = get32(p + 28);
    header.partNumber.assign(reinterpret_cast<const char*>(p + 32), strnlen(reinterpret_cast<const char*>(p + 32), 31));
    const int nRowWidth = header.bDoubleWidth ? header.nImageWidth * 2 : header.nImageWidth;
    if (header.nImageWidth < 1 || header.nImageHeight < 1 || header.nStreamWidth != nRowWidth
        || header.nStreamHeight <= header.nImageHeight)
        return "damaged dump header (stream " + std::to_string(header.nStreamWidth) + "x"
               + std::to_string(header.nStreamHeight) + ", image " + std::to_string(header.nImageWidth) + "x"
               + std::to_string(header.nImageHeight) + ")";
    if (header.nFrameRateMilli == 0 || header.nFrameRateMilli > 1000u * 1000u)
        return "damaged dump header (frame rate " + std::to_string(header.nFrameRateMilli) + "/1000)";
    if (header.nFrameCount == 0)
        return "the dump holds no frames";

    size_t nPos = nHeaderSize;
    uint64_t nLastUs = 0;
    for (uint32_t i = 0; i < header.nFrameCount; ++i) {
        const std::string frame = "frame " + std::to_string(i + 1) + " of " + std::to_string(header.nFrameCount);
        if (file.size() - nPos < size_t(kFrameHeadSize))
            return "the dump is cut short: " + frame + " is missing";
        const uint64_t nTimeUs = uint64_t(get32(file.data() + nPos)) | (uint64_t(get32(file.data() + nPos + 4)) << 32);
        const uint32_t nBytes = get32(file.data() + nPos + 8);
        nPos += kFrameHeadSize;
        if (nBytes == 0 || nBytes > kMaxFrameBytes)
            return "damaged dump: " + frame + " claims " + std::to_string(nBytes) + " bytes";
        if (file.size() - nPos < nBytes)
            return "the dump is cut short inside " + frame;
        if (nTimeUs < nLastUs)
            return "damaged dump: " + frame + " is older than the one before it";
        nLastUs = nTimeUs;
        frames.push_back({nTimeUs, std::vector<uint8_t>(file.begin() + long(nPos), file.begin() + long(nPos + nBytes))});
        nPos += nBytes;
    }
    if (nPos != file.size())
        return "damaged dump: " + std::to_string(file.size() - nPos) + " bytes after the last frame";
    return std::string();
}

} // namespace ReplayDump
