#pragma once
// The camera's side of the vendor command channel: unwrapping the host's transfer frames
// ("BHHU" header, little-endian) and inner packets (big-endian, CRC-16/XMODEM), and
// building reply packets cut into transfer frames. Pure byte work, no state.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace SimProtocol {

constexpr int kHeaderSize = 64;        // transfer header in front of every piece
constexpr int kMaxPieceData = 960;     // data bytes per reply frame: fits a 1024-byte receive
constexpr int kMaxTransfer = 32768;    // largest transfer the channel carries
constexpr uint8_t kMarker = 0x6E;      // first byte of every inner packet
constexpr uint32_t kFrameKind = 1;     // u32 at offsets 4 and 36
constexpr uint32_t kFrameSize = 992;   // u32 at offset 8

// CRC-16/XMODEM: polynomial 0x1021, initial value nCrc (0), MSB first, no final XOR.
uint16_t crc16(const uint8_t* pData, size_t nLength, uint16_t nCrc = 0);

struct Transfer
{
    const uint8_t* pData = nullptr;   // the bytes behind the header
    int nDataLength = 0;
    bool bReservedDirty = false;      // a reserved header byte was not zero
};
// Checks one received transfer frame. Returns an empty text when it can be used, otherwise
// what is wrong with it.
std::string parseTransfer(const uint8_t* pFrame, int nLength, Transfer& out);

// A transfer frame around nLength data bytes whose header announces nDeclaredLength.
std::vector<uint8_t> buildTransfer(const uint8_t* pData, int nLength, int nDeclaredLength);

struct Packet
{
    uint8_t nMarker = 0;
    uint8_t nStatus = 0;
    uint8_t nReserved = 0;
    uint8_t nCode = 0;
    std::vector<uint8_t> payload;
};
// Checks a request packet: marker, announced length against the bytes present, both CRCs.
// Returns an empty text when it is sound. nCodeOut receives byte 3 (or -1) either way, so a
// damaged request can still be answered with an error status.
std::string parsePacket(const uint8_t* pData, int nLength, Packet& out, int& nCodeOut);

// marker, status, 0, code, length, header CRC, payload, packet CRC.
std::vector<uint8_t> buildPacket(uint8_t nCode, uint8_t nStatus, const std::vector<uint8_t>& payload);

// Cuts a packet into transfer frames of at most kMaxPieceData data bytes. The last frame
// always carries payload bytes as well, never the closing CRC alone: the host stops reading
// once the payload is complete, and a CRC-only frame would be left behind on the channel.
// nMaxPiece (1..kMaxPieceData) lets a camera send smaller pieces than the channel allows.
std::vector<std::vector<uint8_t>> buildReplyFrames(const std::vector<uint8_t>& packet, int nMaxPiece = kMaxPieceData);

inline uint16_t getBe16(const uint8_t* p) { return uint16_t((p[0] << 8) | p[1]); }
inline uint32_t getBe32(const uint8_t* p)
{
    return (uint32_t(p[0]) << 24) | (uint32_t(p[1]) << 16) | (uint32_t(p[2]) << 8) | uint32_t(p[3]);
}
inline uint32_t getLe32(const uint8_t* p)
{
    return uint32_t(p[0]) | (uint32_t(p[1]) << 8) | (uint32_t(p[2]) << 16) | (uint32_t(p[3]) << 24);
}
inline void putBe16(std::vector<uint8_t>& v, uint16_t x)
{
    v.push_back(uint8_t(x >> 8));
    v.push_back(uint8_t(x));
}
inline void putLe16(uint8_t* p, uint16_t x)
{
    p[0] = uint8_t(x);
    p[1] = uint8_t(x >> 8);
}
inline void putLe32(uint8_t* p, uint32_t x)
{
    for (int i = 0; i < 4; ++i)
        p[i] = uint8_t(x >> (8 * i));
}

} // namespace SimProtocol
