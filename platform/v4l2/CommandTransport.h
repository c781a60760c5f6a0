#pragma once
// One way of carrying the camera's command frames: a whole transfer frame goes out in one
// send, and each receive brings back at most one transfer frame. Calls on one transport are
// serialised by the caller (the link's command channel); time-outs are in milliseconds.

#include <cstdint>
#include <string>

class CommandTransport
{
public:
    virtual ~CommandTransport() = default;
    // "bulk" or "xu".
    virtual const char* kind() const = 0;
    // *pnLength in: bytes to send; out: bytes sent.
    virtual bool send(const uint8_t* pData, int32_t* pnLength, int nTimeoutMs) = 0;
    // *pnLength in: room; out: bytes received.
    virtual bool recv(uint8_t* pData, int32_t* pnLength, int nTimeoutMs) = 0;
    // Why the last call failed, or "".
    virtual std::string lastError() const = 0;
};
