#pragma once
// Byte-level layer of the camera's vendor command channel, free of any camera or Qt object:
// checksums, the inner command packet, the 64-byte "BHHU" transfer frame, and the gathering
// of a reply that arrives in several transfer frames.

#include <cstddef>
#include <cstdint>

// CRC-16/XMODEM (poly 0x1021, init 0, MSB first, no final XOR). Pass a previous result as
// nCrc to continue over more bytes.
uint16_t crc16Xmodem(const uint8_t* pData, size_t nLen, uint16_t nCrc = 0);

// Standard CRC-32 (reflected 0xEDB88320, init and final XOR 0xFFFFFFFF).
// Incremental form in the zlib style: start from 0 and feed the previous result back in;
// crc32Update(crc32Update(0, a, n), b, m) == crc32 of a followed by b.
uint32_t crc32Update(uint32_t nCrc, const void* pData, size_t nLen);
inline uint32_t crc32(const void* pData, size_t nLen) { return crc32Update(0, pData, nLen); }

namespace CommandFrame {

constexpr int kFrameHeaderSize = 64;      // transfer frame header
constexpr int kPacketHeaderSize = 8;      // marker, status, reserved, command, length, header CRC
constexpr int kPacketOverhead = 10;       // header plus the trailing packet CRC
constexpr int kFrameBufferSize = 32768;   // request frame buffer; a reply packet must stay below it
constexpr int kReceiveRoom = 1024;        // room offered to every receive
constexpr int kMaxRequestPayload = kFrameBufferSize - kFrameHeaderSize - kPacketOverhead;   // 32,694
constexpr uint8_t kPacketMarker = 0x6E;
constexpr uint32_t kFrameWord2 = 992;     // third header word of every sent frame

// Builds an inner packet (marker, status, 0, command, length, header CRC, payload, packet CRC).
// Requests carry status 0; the status argument lets a simulated camera build replies the same
// way. Returns the packet length (payload + 10) or -1 when it does not fit into nCapacity or
// the payload is longer than a u16 can announce.
int buildPacket(uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen, uint8_t* pOut, int nCapacity,
                uint8_t nStatus = 0);

// Writes the 64-byte transfer header announcing nDataLen bytes of data.
void writeFrameHeader(uint8_t* pOut, uint32_t nDataLen);

// Header plus data in one buffer; returns the frame length or -1 when it does not fit.
int buildFrame(const uint8_t* pData, int nDataLen, uint8_t* pOut, int nCapacity);

// Checks a received transfer frame of nReceived bytes and returns its data length, or -1
// when it is 64 bytes or shorter, lacks either magic, announces no data, or announces more
// data than actually arrived.
int checkFrame(const uint8_t* pFrame, int nReceived);

// Joins the pieces of one reply. Each receive goes to receiveSlot() with receiveRoom() bytes
// of room; accept() checks the frame and moves its data down over its own header so that the
// pieces join without gaps. The buffer has room for a last piece that starts just below the
// 32,768-byte limit. A reply carrying another command code is gathered whole before it is
// reported as WrongCommand, so that none of its pieces is taken for the start of the next
// reply; restart() then waits for a new reply.
class ReplyAssembler
{
public:
    enum class State { NeedMore, Complete, WrongCommand, Failed };

    explicit ReplyAssembler(uint8_t nCommand);
    void restart();

    uint8_t* receiveSlot() { return m_buffer + m_nGathered; }
    static constexpr int receiveRoom() { return kReceiveRoom; }

    // Takes the frame of nReceived bytes that was received into receiveSlot().
    State accept(int nReceived);
    State state() const { return m_state; }

    // Valid once Complete.
    uint8_t status() const { return m_buffer[1]; }
    int payloadLength() const { return m_nPayloadLen; }
    const uint8_t* payload() const { return m_buffer + kPacketHeaderSize; }

private:
    uint8_t m_buffer[kFrameBufferSize + kReceiveRoom];
    uint8_t m_nCommand;
    int m_nGathered = 0;
    int m_nPayloadLen = -1;   // known once the 8-byte packet header has arrived
    State m_state = State::NeedMore;
};

} // namespace CommandFrame
