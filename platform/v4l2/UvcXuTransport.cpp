#include "platform/v4l2/UvcXuTransport.h"

#include "platform/v4l2/V4l2Device.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <linux/usb/video.h>
#include <linux/uvcvideo.h>
#include <thread>

namespace {

using Clock = std::chrono::steady_clock;

constexpr int kHeaderBytes = 64;
constexpr int kDataLengthOffset = 40;
constexpr int64_t kMaxFrameBytes = kHeaderBytes + 32768;   // no transfer frame is longer
constexpr auto kPollGap = std::chrono::milliseconds(2);

bool ctrlQuery(int fd, int nUnit, int nSelector, uint8_t nRequest, uint8_t* pData, int nSize)
{
    uvc_xu_control_query q{};
    q.unit = uint8_t(nUnit);
    q.selector = uint8_t(nSelector);
    q.query = nRequest;
    q.size = uint16_t(nSize);
    q.data = pData;
    return V4l2Device::xioctl(fd, UVCIOC_CTRL_QUERY, &q) == 0;
}

uint32_t le32(const uint8_t* p) { return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24; }

} // namespace

int UvcXuTransport::controlLength(int fd, int nUnit, int nSelector)
{
    uint8_t len[2] = {0, 0};
    if (!ctrlQuery(fd, nUnit, nSelector, UVC_GET_LEN, len, 2))
        return -1;
    return len[0] | (len[1] << 8);
}

bool UvcXuTransport::pickControl(int fd, const std::vector<UvcExtensionUnit>& units, int* pnUnit, int* pnSelector,
                                 int* pnLength)
{
    for (const UvcExtensionUnit& unit : units) {
        for (int nSelector : unit.selectors) {
            const int nLength = controlLength(fd, unit.nUnitId, nSelector);
            if (nLength >= kMinControlLength) {
                *pnUnit = unit.nUnitId;
                *pnSelector = nSelector;
                *pnLength = nLength;
                return true;
            }
        }
    }
    return false;
}

std::unique_ptr<UvcXuTransport> UvcXuTransport::open(int fd, const std::string& nodePath, int nUnit, int nSelector,
                                                     std::string* pError)
{
    const int nLength = controlLength(fd, nUnit, nSelector);
    if (nLength < kMinControlLength) {
        if (pError) {
            *pError = nodePath + ": extension unit " + std::to_string(nUnit) + " selector " + std::to_string(nSelector)
                      + (nLength < 0 ? " does not answer" : " is too short to carry commands (" + std::to_string(nLength)
                                                                 + " bytes)");
        }
        return nullptr;
    }
    std::unique_ptr<UvcXuTransport> t(new UvcXuTransport());
    t->m_fd = fd;
    t->m_nUnit = nUnit;
    t->m_nSelector = nSelector;
    t->m_nLength = nLength;
    t->m_path = nodePath;
    t->m_piece.resize(size_t(nLength));
    return t;
}

bool UvcXuTransport::query(uint8_t nRequest, uint8_t* pData)
{
    if (ctrlQuery(m_fd, m_nUnit, m_nSelector, nRequest, pData, m_nLength))
        return true;
    m_lastError = errno == ENODEV ? m_path + " is gone: the camera was unplugged"
                                  : m_path + ": extension unit " + std::to_string(m_nUnit) + ": " + std::strerror(errno);
    return false;
}

bool UvcXuTransport::send(const uint8_t* pData, int32_t* pnLength, int nTimeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(nTimeoutMs, 0));
    const int32_t nTotal = *pnLength;
    *pnLength = 0;
    m_lastError.clear();
    for (int32_t nDone = 0; nDone < nTotal; nDone += m_nLength) {
        if (nDone > 0 && Clock::now() > deadline) {
            m_lastError = m_path + ": the camera took longer than " + std::to_string(nTimeoutMs) + " ms to take a command";
            return false;
        }
        const int32_t nPiece = std::min<int32_t>(m_nLength, nTotal - nDone);
        std::memcpy(m_piece.data(), pData + nDone, size_t(nPiece));
        std::memset(m_piece.data() + nPiece, 0, size_t(m_nLength - nPiece));
        if (!query(UVC_SET_CUR, m_piece.data()))
            return false;
        *pnLength = nDone + nPiece;
    }
    return true;
}

bool UvcXuTransport::recv(uint8_t* pData, int32_t* pnLength, int nTimeoutMs)
{
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(nTimeoutMs, 0));
    const int32_t nRoom = *pnLength;
    *pnLength = 0;
    m_lastError.clear();
    // Poll until a piece opens a frame; an idle camera answers with zeros.
    for (;;) {
        if (!query(UVC_GET_CUR, m_piece.data()))
            return false;
        if (std::memcmp(m_piece.data(), "BHHU", 4) == 0)
            break;
        if (Clock::now() >= deadline)
            return false;
        std::this_thread::sleep_for(kPollGap);
    }
    // The frame's length comes from its header; its remaining pieces are read even where they
    // do not fit the room, so that the next reply starts on a frame of its own.
    const uint32_t nDataLength = m_nLength >= kHeaderBytes ? le32(m_piece.data() + kDataLengthOffset) : 0;
    const int64_t nFrame = std::min<int64_t>(int64_t(kHeaderBytes) + nDataLength, kMaxFrameBytes);
    int64_t nGot = 0;
    for (;;) {
        const int64_t nPiece = std::min<int64_t>(m_nLength, nFrame - nGot);
        if (nGot < nRoom)
            std::memcpy(pData + nGot, m_piece.data(), size_t(std::min<int64_t>(nPiece, nRoom - nGot)));
        nGot += nPiece;
        if (nGot >= nFrame)
            break;
        if (!query(UVC_GET_CUR, m_piece.data()))
            return false;
    }
    *pnLength = int32_t(std::min<int64_t>(nGot, nRoom));
    return true;
}
