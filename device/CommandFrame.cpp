#include "device/CommandFrame.h"

#include <algorithm>
#include <array>
#include <cstring>

namespace {

std::array<uint16_t, 256> makeCrc16Table()
{
    std::array<uint16_t, 256> table{};
    for (int i = 0; i < 256; ++i) {
        uint16_t crc = static_cast<uint16_t>(i << 8);
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 0x8000) ? static_cast<uint16_t>((crc << 1) ^ 0x1021) : static_cast<uint16_t>(crc << 1);
        table[i] = crc;
    }
    return table;
}

std::array<uint32_t, 256> makeCrc32Table()
{
    std::array<uint32_t, 256> table{};
    for (uint32_t i = 0; i < 256; ++i) {
        uint32_t crc = i;
        for (int bit = 0; bit < 8; ++bit)
            crc = (crc & 1) ? (crc >> 1) ^ 0xEDB88320u : crc >> 1;
        table[i] = crc;
    }
    return table;
}

const std::array<uint16_t, 256> kCrc16Table = makeCrc16Table();
const std::array<uint32_t, 256> kCrc32Table = makeCrc32Table();

void putLe32(uint8_t* p, uint32_t v)
{
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

uint32_t getLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

const uint8_t kMagic[4] = {'B', 'H', 'H', 'U'};

} // namespace

uint16_t crc16Xmodem(const uint8_t* pData, size_t nLen, uint16_t nCrc)
{
    for (size_t i = 0; i < nLen; ++i)
        nCrc = static_cast<uint16_t>((nCrc << 8) ^ kCrc16Table[((nCrc >> 8) ^ pData[i]) & 0xFF]);
    return nCrc;
}

uint32_t crc32Update(uint32_t nCrc, const void* pData, size_t nLen)
{
    const auto* p = static_cast<const uint8_t*>(pData);
    uint32_t crc = ~nCrc;
    for (size_t i = 0; i < nLen; ++i)
        crc = (crc >> 8) ^ kCrc32Table[(crc ^ p[i]) & 0xFF];
    return ~crc;
}

namespace CommandFrame {

int buildPacket(uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen, uint8_t* pOut, int nCapacity,
                uint8_t nStatus)
{
    if (nPayloadLen < 0 || nPayloadLen > 0xFFFF || (nPayloadLen > 0 && !pPayload) || !pOut)
        return -1;
    const int nTotal = nPayloadLen + kPacketOverhead;
    if (nTotal > nCapacity)
        return -1;
    pOut[0] = kPacketMarker;
    pOut[1] = nStatus;
    pOut[2] = 0;
    pOut[3] = nCommand;
    pOut[4] = static_cast<uint8_t>(nPayloadLen >> 8);
    pOut[5] = static_cast<uint8_t>(nPayloadLen);
    const uint16_t nHeaderCrc = crc16Xmodem(pOut, 6);
    pOut[6] = static_cast<uint8_t>(nHeaderCrc >> 8);
    pOut[7] = static_cast<uint8_t>(nHeaderCrc);
    if (nPayloadLen > 0)
        std::memmove(pOut + kPacketHeaderSize, pPayload, static_cast<size_t>(nPayloadLen));
    const uint16_t nPacketCrc = crc16Xmodem(pOut, static_cast<size_t>(kPacketHeaderSize + nPayloadLen));
    pOut[kPacketHeaderSize + nPayloadLen] = static_cast<uint8_t>(nPacketCrc >> 8);
    pOut[kPacketHeaderSize + nPayloadLen + 1] = static_cast<uint8_t>(nPacketCrc);
    return nTotal;
}

void writeFrameHeader(uint8_t* pOut, uint32_t nDataLen)
{
    std::memset(pOut, 0, kFrameHeaderSize);
    std::memcpy(pOut, kMagic, 4);
    putLe32(pOut + 4, 1);
    putLe32(pOut + 8, kFrameWord2);
    std::memcpy(pOut + 32, kMagic, 4);
    putLe32(pOut + 36, 1);
    putLe32(pOut + 40, nDataLen);
}

int buildFrame(const uint8_t* pData, int nDataLen, uint8_t* pOut, int nCapacity)
{
    if (nDataLen < 0 || (nDataLen > 0 && !pData) || !pOut || nCapacity - kFrameHeaderSize < nDataLen)
        return -1;
    // memmove: callers may build the packet in place behind the header.
    if (nDataLen > 0)
        std::memmove(pOut + kFrameHeaderSize, pData, static_cast<size_t>(nDataLen));
    writeFrameHeader(pOut, static_cast<uint32_t>(nDataLen));
    return kFrameHeaderSize + nDataLen;
}

int checkFrame(const uint8_t* pFrame, int nReceived)
{
    if (!pFrame || nReceived <= kFrameHeaderSize)
        return -1;
    if (std::memcmp(pFrame, kMagic, 4) != 0 || std::memcmp(pFrame + 32, kMagic, 4) != 0)
        return -1;
    const uint32_t nDataLen = getLe32(pFrame + 40);
    // A frame that claims more data than arrived would make the reader use bytes that were
    // never received.
    if (nDataLen < 1 || nDataLen > static_cast<uint32_t>(nReceived - kFrameHeaderSize))
        return -1;
    return static_cast<int>(nDataLen);
}

ReplyAssembler::ReplyAssembler(uint8_t nCommand) : m_nCommand(nCommand)
{
    std::memset(m_buffer, 0, sizeof(m_buffer));
}

void ReplyAssembler::restart()
{
    std::memset(m_buffer, 0, static_cast<size_t>(std::min<int>(m_nGathered + kReceiveRoom, sizeof(m_buffer))));
    m_nGathered = 0;
    m_nPayloadLen = -1;
    m_state = State::NeedMore;
}

ReplyAssembler::State ReplyAssembler::accept(int nReceived)
{
    if (m_state != State::NeedMore)
        return m_state;
    // The library may report more than the room it was offered; never trust that.
    if (nReceived > kReceiveRoom) {
        m_state = State::Failed;
        return m_state;
    }
    uint8_t* pSlot = receiveSlot();
    const int nDataLen = checkFrame(pSlot, nReceived);
    if (nDataLen < 0) {
        m_state = State::Failed;
        return m_state;
    }
    std::memmove(pSlot, pSlot + kFrameHeaderSize, static_cast<size_t>(nDataLen));
    // Clear the rest of what this frame occupied so no stale byte passes for reply data.
    std::memset(pSlot + nDataLen, 0, static_cast<size_t>(nReceived - nDataLen));
    m_nGathered += nDataLen;

    if (m_nPayloadLen < 0) {
        // The length is judged only once the whole 8-byte header is here.
        if (m_nGathered < kPacketHeaderSize)
            return m_state;
        const int nLen = (m_buffer[4] << 8) | m_buffer[5];
        if (kPacketHeaderSize + nLen >= kFrameBufferSize) {
            m_state = State::Failed;
            return m_state;
        }
        m_nPayloadLen = nLen;
    }
    if (m_nGathered >= kPacketHeaderSize + m_nPayloadLen)
        m_state = m_buffer[3] == m_nCommand ? State::Complete : State::WrongCommand;
    return m_state;
}

} // namespace CommandFrame
