#include "platform/simcam/SimProtocol.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace SimProtocol {

namespace {

const std::array<uint16_t, 256>& crcTable()
{
    static const std::array<uint16_t, 256> table = [] {
        std::array<uint16_t, 256> t{};
        for (int i = 0; i < 256; ++i) {
            uint16_t c = uint16_t(i << 8);
            for (int b = 0; b < 8; ++b)
                c = (c & 0x8000) ? uint16_t((c << 1) ^ 0x1021) : uint16_t(c << 1);
            t[size_t(i)] = c;
        }
        return t;
    }();
    return table;
}

const char kMagic[4] = {'B', 'H', 'H', 'U'};

bool allZero(const uint8_t* p, int n)
{
    return std::all_of(p, p + n, [](uint8_t b) { return b == 0; });
}

} // namespace

uint16_t crc16(const uint8_t* pData, size_t nLength, uint16_t nCrc)
{
    const auto& table = crcTable();
    for (size_t i = 0; i < nLength; ++i)
        nCrc = uint16_t((nCrc << 8) ^ table[size_t(((nCrc >> 8) ^ pData[i]) & 0xFF)]);
    return nCrc;
}

std::string parseTransfer(const uint8_t* pFrame, int nLength, Transfer& out)
{
    out = Transfer();
    if (!pFrame || nLength <= kHeaderSize)
        return "transfer of " + std::to_string(nLength) + " bytes has no data";
    if (std::memcmp(pFrame, kMagic, 4) != 0)
        return "first magic missing";
    if (std::memcmp(pFrame + 32, kMagic, 4) != 0)
        return "second magic missing";
    if (getLe32(pFrame + 4) != kFrameKind || getLe32(pFrame + 36) != kFrameKind)
        return "frame kind is not 1";
    if (getLe32(pFrame + 8) != kFrameSize)
        return "frame size field is not 992";
    const uint32_t nData = getLe32(pFrame + 40);
    if (nData == 0 || nData != uint32_t(nLength - kHeaderSize))
        return "data length " + std::to_string(nData) + " does not match the " + std::to_string(nLength - kHeaderSize)
            + " bytes sent";
    out.pData = pFrame + kHeaderSize;
    out.nDataLength = int(nData);
    out.bReservedDirty = !allZero(pFrame + 12, 20) || !allZero(pFrame + 44, 20);
    return {};
}

std::vector<uint8_t> buildTransfer(const uint8_t* pData, int nLength, int nDeclaredLength)
{
    std::vector<uint8_t> frame(size_t(kHeaderSize + std::max(0, nLength)), 0);
    std::memcpy(frame.data(), kMagic, 4);
    putLe32(frame.data() + 4, kFrameKind);
    putLe32(frame.data() + 8, kFrameSize);
    std::memcpy(frame.data() + 32, kMagic, 4);
    putLe32(frame.data() + 36, kFrameKind);
    putLe32(frame.data() + 40, uint32_t(nDeclaredLength));
    if (nLength > 0)
        std::memcpy(frame.data() + kHeaderSize, pData, size_t(nLength));
    return frame;
}

std::string parsePacket(const uint8_t* pData, int nLength, Packet& out, int& nCodeOut)
{
    out = Packet();
    nCodeOut = (pData && nLength >= 4) ? pData[3] : -1;
    if (!pData || nLength < 10)
        return "packet of " + std::to_string(nLength) + " bytes is too short";
    const int n = getBe16(pData + 4);
    if (nLength != n + 10)
        return "packet announces " + std::to_string(n) + " payload bytes but holds " + std::to_string(nLength - 10);
    if (pData[0] != kMarker)
        return "packet marker is not 0x6E";
    if (getBe16(pData + 6) != crc16(pData, 6))
        return "header CRC mismatch";
    if (getBe16(pData + 8 + n) != crc16(pData, size_t(8 + n)))
        return "packet CRC mismatch";
    out.nMarker = pData[0];
    out.nStatus = pData[1];
    out.nReserved = pData[2];
    out.nCode = pData[3];
    out.payload.assign(pData + 8, pData + 8 + n);
    return {};
}

std::vector<uint8_t> buildPacket(uint8_t nCode, uint8_t nStatus, const std::vector<uint8_t>& payload)
{
    std::vector<uint8_t> p;
    p.reserve(payload.size() + 10);
    p.push_back(kMarker);
    p.push_back(nStatus);
    p.push_back(0);
    p.push_back(nCode);
    putBe16(p, uint16_t(payload.size()));
    putBe16(p, crc16(p.data(), 6));
    p.insert(p.end(), payload.begin(), payload.end());
    putBe16(p, crc16(p.data(), p.size()));
    return p;
}

std::vector<std::vector<uint8_t>> buildReplyFrames(const std::vector<uint8_t>& packet, int nMaxPiece)
{
    const int maxPiece = std::clamp(nMaxPiece, 3, kMaxPieceData);
    std::vector<std::vector<uint8_t>> frames;
    const int total = int(packet.size());
    int offset = 0;
    while (offset < total) {
        int piece = std::min(maxPiece, total - offset);
        const int rest = total - offset - piece;
        // Leave at least three bytes (one payload byte plus the CRC) for the last frame.
        if (rest > 0 && rest < 3)
            piece -= 3 - rest;
        frames.push_back(buildTransfer(packet.data() + offset, piece, piece));
        offset += piece;
    }
    return frames;
}

} // namespace SimProtocol
