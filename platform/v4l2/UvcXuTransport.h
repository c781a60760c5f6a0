#pragma once
// Command frames through a UVC extension unit control on the video node (UVCIOC_CTRL_QUERY):
// a transfer frame goes out as SET_CUR pieces of the control's length (the last one padded
// with zeros); replies are polled with GET_CUR until a piece starting with the transfer
// magic arrives, and the frame's further pieces follow it.

#include "platform/v4l2/CommandTransport.h"
#include "platform/v4l2/UsbDescriptors.h"

#include <memory>
#include <vector>

class UvcXuTransport : public CommandTransport
{
public:
    // The smallest control that carries a transfer frame header.
    static constexpr int kMinControlLength = 64;

    // The control's length (UVC_GET_LEN), or -1 when the unit or selector is unknown.
    static int controlLength(int fd, int nUnit, int nSelector);
    // The first selector, unit by unit, whose control is at least kMinControlLength long.
    static bool pickControl(int fd, const std::vector<UvcExtensionUnit>& units, int* pnUnit, int* pnSelector,
                            int* pnLength);

    // fd stays owned by the caller and must outlive the transport.
    static std::unique_ptr<UvcXuTransport> open(int fd, const std::string& nodePath, int nUnit, int nSelector,
                                                std::string* pError);

    const char* kind() const override { return "xu"; }
    bool send(const uint8_t* pData, int32_t* pnLength, int nTimeoutMs) override;
    bool recv(uint8_t* pData, int32_t* pnLength, int nTimeoutMs) override;
    std::string lastError() const override { return m_lastError; }

private:
    UvcXuTransport() = default;
    bool query(uint8_t nRequest, uint8_t* pData);

    int m_fd = -1;
    int m_nUnit = 0;
    int m_nSelector = 0;
    int m_nLength = 0;
    std::string m_path;
    std::string m_lastError;
    std::vector<uint8_t> m_piece;
};
