#include "device/DeviceCommands.h"

#include "device/UsbCameraLink.h"

#include <QMutexLocker>
#include <algorithm>
#include <chrono>
#include <climits>
#include <cstring>

using namespace DeviceCmd;

namespace {

void putBe16(uint8_t* p, int v)
{
    p[0] = static_cast<uint8_t>(v >> 8);
    p[1] = static_cast<uint8_t>(v);
}

int getBe16(const uint8_t* p) { return (p[0] << 8) | p[1]; }

int getLe16(const uint8_t* p) { return p[0] | (p[1] << 8); }

uint32_t getLe32(const uint8_t* p)
{
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Reply room for commands whose reply is only checked for its echo byte.
constexpr int kEchoReplyRoom = 16;

// Reads the zero-terminated text at the start of a reply, as UTF-8.
QString textUpToZero(const uint8_t* pReply, int nLen)
{
    const auto* pEnd = static_cast<const uint8_t*>(std::memchr(pReply, 0, static_cast<size_t>(nLen)));
    const int nText = pEnd ? static_cast<int>(pEnd - pReply) : nLen;
    return QString::fromUtf8(reinterpret_cast<const char*>(pReply), nText);
}

} // namespace

// ---- Transactions -------------------------------------------------------------------------

namespace {

// End of the calling thread's wait budget on the steady clock, in ms; 0 when none.
thread_local int64_t t_nBudgetEndMs = 0;

int64_t steadyMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
        .count();
}

bool isTableEntryRead(uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen)
{
    return nCommand == kCmdGeneral && nPayloadLen == 5 && pPayload[0] == kSubBadTables &&
           ((pPayload[1] == 0xFB && pPayload[2] == 0x01) || (pPayload[1] == 0xFC && pPayload[2] == 0x04));
}

// Reads away whatever waits on the channel: the remains of a reply that came after its
// transaction gave up would otherwise answer the next request.
void drainChannel(UsbCameraLink& link, const CameraLibraryApi& lib)
{
    uint8_t scratch[CommandFrame::kReceiveRoom];
    int nDrained = 0;
    while (nDrained < kDrainMaxFrames && !link.waitsCancelled()) {
        int32_t nReceived = sizeof(scratch);
        if (!lib.RecvDeviceData(link.nCamID.load(), scratch, &nReceived, kDrainTimeoutMs))
            break;
        ++nDrained;
    }
    if (nDrained > 0)
        qDebug("Command channel: %d stale frame(s) read away before the next request", nDrained);
}

} // namespace

ScopedWaitBudget::ScopedWaitBudget(int nBudgetMs) : m_nPreviousEnd(t_nBudgetEndMs)
{
    const int64_t nEnd = steadyMs() + std::max(0, nBudgetMs);
    t_nBudgetEndMs = m_nPreviousEnd > 0 ? std::min(m_nPreviousEnd, nEnd) : nEnd;
}

ScopedWaitBudget::~ScopedWaitBudget() { t_nBudgetEndMs = m_nPreviousEnd; }

int ScopedWaitBudget::leftMs()
{
    if (t_nBudgetEndMs <= 0)
        return INT_MAX;
    return static_cast<int>(std::max<int64_t>(0, std::min<int64_t>(INT_MAX, t_nBudgetEndMs - steadyMs())));
}

bool replyAnswersRequest(uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen, uint8_t nStatus,
                         const uint8_t* pReply, int nReplyLen)
{
    if (nStatus != 0 || nPayloadLen <= 0 || !pPayload)
        return true;
    if ((nCommand == kCmdGeneral || nCommand == kCmdGainControl) && (nReplyLen < 1 || pReply[0] != pPayload[0]))
        return false;
    // An empty table (count 0 at bytes 3..4) names no entry.
    if (isTableEntryRead(nCommand, pPayload, nPayloadLen) &&
        (nReplyLen < 7 || (getBe16(pReply + 3) != 0 && getBe16(pReply + 5) != getBe16(pPayload + 3))))
        return false;
    return true;
}

int sendFrame(UsbCameraLink& link, const uint8_t* pPacket, int nPacketLen, int nTimeoutMs)
{
    uint8_t frame[CommandFrame::kFrameBufferSize];
    const int nFrameLen = CommandFrame::buildFrame(pPacket, nPacketLen, frame, sizeof(frame));
    if (nFrameLen < 0)
        return -1;
    QMutexLocker lock(&link.channelMutex());
    int32_t nLength = nFrameLen;
    if (!cameraLibrary().SendDeviceData(link.nCamID.load(), frame, &nLength, nTimeoutMs))
        return -1;
    return nLength;
}

bool exchangeCommand(UsbCameraLink& link, uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen,
                     uint8_t* pStatus, uint8_t* pReply, int nReplyCapacity, int* pnReplyLen, int nTimeoutMs)
{
    if (pnReplyLen)
        *pnReplyLen = 0;
    if (nPayloadLen < 0 || nPayloadLen > CommandFrame::kMaxRequestPayload || (nPayloadLen > 0 && !pPayload))
        return false;

    uint8_t packet[CommandFrame::kFrameBufferSize];
    const int nPacketLen = CommandFrame::buildPacket(nCommand, pPayload, nPayloadLen, packet, sizeof(packet));
    if (nPacketLen < 0)
        return false;

    // The wait ends at the time-out, at the end of the thread's budget, or on a cancel.
    const int nWaitMs = std::min(std::max(0, nTimeoutMs), ScopedWaitBudget::leftMs());
    if (nWaitMs <= 0 || link.waitsCancelled())
        return false;

    CommandFrame::ReplyAssembler reply(nCommand);
    // The whole exchange owns the channel: a reply must not be read by another thread's
    // transaction, nor another request slip in between.
    QMutexLocker lock(&link.channelMutex());
    const CameraLibraryApi& lib = cameraLibrary();
    drainChannel(link, lib);
    const int64_t nEndMs = steadyMs() + nWaitMs;
    if (sendFrame(link, packet, nPacketLen, nWaitMs) < 0)
        return false;

    // A library that reports a time-out at once (a camera gone from the bus) must not make
    // this loop spin until the end: empty receives are counted as well as timed.
    int nEmptyLeft = (nWaitMs + kWaitSliceMs - 1) / kWaitSliceMs;
    for (;;) {
        const int64_t nLeftMs = nEndMs - steadyMs();
        if (link.waitsCancelled() || nLeftMs <= 0 || nEmptyLeft <= 0)
            return false;
        int32_t nReceived = CommandFrame::ReplyAssembler::receiveRoom();
        const int nSliceMs = static_cast<int>(std::min<int64_t>(nLeftMs, kWaitSliceMs));
        if (!lib.RecvDeviceData(link.nCamID.load(), reply.receiveSlot(), &nReceived, nSliceMs)) {
            --nEmptyLeft;
            continue;
        }
        const CommandFrame::ReplyAssembler::State eState = reply.accept(nReceived);
        if (eState == CommandFrame::ReplyAssembler::State::NeedMore)
            continue;
        if (eState == CommandFrame::ReplyAssembler::State::Failed)
            return false;
        if (eState == CommandFrame::ReplyAssembler::State::Complete &&
            replyAnswersRequest(nCommand, pPayload, nPayloadLen, reply.status(), reply.payload(), reply.payloadLength()))
            break;
        // An answer to something else (typically an earlier request whose reply came late).
        qDebug("Command channel: a reply that does not answer command 0x%02X was discarded", nCommand);
        reply.restart();
    }

    const uint8_t nStatus = reply.status();
    if (pStatus)
        *pStatus = nStatus;
    if (pReply && pnReplyLen && nStatus == 0) {
        const int nCopy = std::max(0, std::min(reply.payloadLength(), nReplyCapacity));
        if (nCopy > 0)
            std::memcpy(pReply, reply.payload(), static_cast<size_t>(nCopy));
        *pnReplyLen = nCopy;
    }
    return true;
}

bool queryCommand(UsbCameraLink& link, uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen,
                  uint8_t* pReply, int nReplyCapacity, int* pnReplyLen, int nTimeoutMs, int nEcho, int nMinReplyLen)
{
    for (int nAttempt = 0; nAttempt < kAttempts; ++nAttempt) {
        uint8_t nStatus = 0;
        int nLen = 0;
        if (pReply && nReplyCapacity > 0)
            std::memset(pReply, 0, static_cast<size_t>(nReplyCapacity));
        const bool bDone =
            exchangeCommand(link, nCommand, pPayload, nPayloadLen, &nStatus, pReply, nReplyCapacity, &nLen, nTimeoutMs);
        if (pnReplyLen)
            *pnReplyLen = nLen;
        const bool bEchoOk = nEcho < 0 || (nLen >= 1 && pReply && pReply[0] == static_cast<uint8_t>(nEcho));
        if (bDone && nStatus == 0 && nLen >= nMinReplyLen && bEchoOk)
            return true;
        link.nLastStatus = nStatus;
        if (nStatus == kStatusRefused || link.waitsCancelled())
            break;
    }
    return false;
}

bool sendCommand(UsbCameraLink& link, uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen, int nTimeoutMs)
{
    const bool bNeedsEcho = (nCommand == kCmdGeneral || nCommand == kCmdGainControl) && nPayloadLen > 0 && pPayload;
    for (int nAttempt = 0; nAttempt < kAttempts; ++nAttempt) {
        link.nLastStatus = 0;
        uint8_t nStatus = 0;
        uint8_t reply[kEchoReplyRoom] = {};
        int nLen = 0;
        const bool bDone =
            exchangeCommand(link, nCommand, pPayload, nPayloadLen, &nStatus, reply, sizeof(reply), &nLen, nTimeoutMs);
        const bool bEchoOk = !bNeedsEcho || (nLen >= 1 && reply[0] == pPayload[0]);
        if (bDone && nStatus == 0 && bEchoOk)
            return true;
        link.nLastStatus = nStatus;
        if (nStatus == kStatusRefused || link.waitsCancelled())
            break;
    }
    return false;
}

// ---- Identity and stream set-up -----------------------------------------------------------

bool queryPartNumber(UsbCameraLink& link, char* pszPart32)
{
    uint8_t reply[kPartNumberBytes];
    int nLen = 0;
    std::memset(pszPart32, 0, kPartNumberBytes);
    if (!queryCommand(link, kCmdPartNumber, nullptr, 0, reply, sizeof(reply), &nLen, kDefaultTimeoutMs))
        return false;
    std::memcpy(pszPart32, reply, static_cast<size_t>(nLen));
    const size_t nText = strnlen(pszPart32, kPartNumberBytes);
    if (nText < static_cast<size_t>(kPartNumberLength))
        return false;
    link.bRModel = pszPart32[12] == 'R' ? 1 : 0;
    return true;
}

bool queryStreamFormat(UsbCameraLink& link, uint8_t* pFormat64)
{
    const uint8_t payload[3] = {kSubStreamFormat, 0, 0};
    // One byte more than needed so that a longer reply is seen as such.
    uint8_t reply[66];
    int nLen = 0;
    if (!queryCommand(link, kCmdGeneral, payload, sizeof(payload), reply, sizeof(reply), &nLen, kDefaultTimeoutMs,
                      kSubStreamFormat))
        return false;
    if (nLen != 65)
        return false;
    std::memcpy(pFormat64, reply + 1, 64);
    return true;
}

StreamFormat parseStreamFormat(const uint8_t* pFormat64)
{
    StreamFormat fmt;
    fmt.nStreamWidth = getLe16(pFormat64);
    fmt.nStreamHeight = getLe16(pFormat64 + 2);
    fmt.nImageWidth = getLe16(pFormat64 + 4);
    fmt.nImageHeight = getLe16(pFormat64 + 6);
    return fmt;
}

QString streamFormatProblem(const StreamFormat& fmt)
{
    constexpr int kMaxImageHeight = 2048;
    constexpr int kTrailerBytes = 256;
    if (fmt.nImageWidth < 1 || fmt.nImageHeight < 1 || fmt.nImageHeight > kMaxImageHeight)
        return QStringLiteral("image %1x%2").arg(fmt.nImageWidth).arg(fmt.nImageHeight);
    if (fmt.nStreamWidth != fmt.nImageWidth && fmt.nStreamWidth != 2 * fmt.nImageWidth)
        return QStringLiteral("stream width %1 for an image %2 wide").arg(fmt.nStreamWidth).arg(fmt.nImageWidth);
    const int64_t nStreamBytes = int64_t(fmt.nStreamWidth) * fmt.nStreamHeight * 2;
    const int64_t nNeeded = int64_t(fmt.nStreamWidth) * 2 * fmt.nImageHeight + kTrailerBytes;
    if (nStreamBytes < nNeeded)
        return QStringLiteral("a %1x%2 stream has no room for a %3x%4 image and its trailer")
            .arg(fmt.nStreamWidth)
            .arg(fmt.nStreamHeight)
            .arg(fmt.nImageWidth)
            .arg(fmt.nImageHeight);
    return QString();
}

bool queryCapability(UsbCameraLink& link)
{
    std::memset(link.szCapability, 0, sizeof(link.szCapability));
    const uint8_t payload[3] = {kSubCapability, 0, 1};
    uint8_t reply[3 + sizeof(link.szCapability)];
    int nLen = 0;
    if (!queryCommand(link, kCmdGeneral, payload, sizeof(payload), reply, sizeof(reply), &nLen, kDefaultTimeoutMs,
                      kSubCapability))
        return false;
    if (nLen >= 3 && reply[1] == 0 && reply[2] == 1) {
        // A shorter block leaves the missing bytes zero (feature not offered).
        std::memcpy(link.szCapability, reply + 3, static_cast<size_t>(nLen - 3));
    }
    return true;
}

// ---- Text queries -------------------------------------------------------------------------

QString queryPartNumberText(UsbCameraLink& link)
{
    if (!link.bStreaming)
        return QString();
    uint8_t reply[kPartNumberBytes];
    int nLen = 0;
    if (!queryCommand(link, kCmdPartNumber, nullptr, 0, reply, sizeof(reply), &nLen, kDefaultTimeoutMs))
        return QString();
    return textUpToZero(reply, nLen);
}

QString querySerialNumberText(UsbCameraLink& link)
{
    if (!link.bStreaming)
        return QString();
    uint8_t reply[CommandFrame::kFrameBufferSize];
    int nLen = 0;
    if (!queryCommand(link, kCmdSerialNumber, nullptr, 0, reply, sizeof(reply), &nLen, kDefaultTimeoutMs))
        return QString();
    const QString text = textUpToZero(reply, nLen);
    if (!text.isEmpty())
        link.rememberSerialNumber(text);
    return text;
}

QString querySoftwareVersionText(UsbCameraLink& link)
{
    if (!link.bStreaming)
        return QString();
    uint8_t reply[kSoftwareVersionBytes];
    int nLen = 0;
    if (!queryCommand(link, kCmdSoftwareVersion, nullptr, 0, reply, sizeof(reply), &nLen, kDefaultTimeoutMs, -1,
                      kSoftwareVersionBytes))
        return QString();
    QString text;
    for (int i = 0; i < kSoftwareVersionBytes; ++i)
        text.append(QChar(QLatin1Char(static_cast<char>(reply[i]))));
    return text;
}

QString resolutionTextFromPartNumber(const QString& strPart)
{
    if (strPart.size() < 6 || !strPart.startsWith(QLatin1String("KRM")))
        return QString();
    if (!strPart.at(3).isDigit() || !strPart.at(4).isDigit() || !strPart.at(5).isDigit())
        return QString();
    if (strPart == QLatin1String("KRM5000404D4PT4"))
        return QStringLiteral("1280x1024");
    static const struct { int nWidth, nHeight; } kSizes[] = {
        {120, 90}, {256, 192}, {324, 256}, {336, 256}, {384, 288}, {400, 300}, {640, 512}, {800, 600}, {1280, 1024},
    };
    const int nWidth = strPart.mid(3, 3).toInt();
    for (const auto& size : kSizes) {
        if (size.nWidth == nWidth)
            return QString::asprintf("%dx%d", size.nWidth, size.nHeight);
    }
    // An unknown width names no size; showing a made-up height would mislead.
    return QString();
}

// ---- Camera settings --------------------------------------------------------------------

bool probeDevice(UsbCameraLink& link) { return sendCommand(link, kCmdGeneral, nullptr, 0, kProbeTimeoutMs); }

bool sendWorkMode(UsbCameraLink& link, int nMode)
{
    if (!link.bStreaming)
        return false;
    const uint8_t payload[3] = {kSubWorkMode, 0, static_cast<uint8_t>(nMode)};
    return sendCommand(link, kCmdGeneral, payload, sizeof(payload), kWorkModeTimeoutMs);
}

bool restartDevice(UsbCameraLink& link, bool bWithZeroByte)
{
    const uint8_t payload[1] = {0};
    return sendCommand(link, kCmdRestart, bWithZeroByte ? payload : nullptr, bWithZeroByte ? 1 : 0, kDefaultTimeoutMs);
}

bool sendUsbModeSwitch(UsbCameraLink& link)
{
    const uint8_t payload[2] = {kSubUsbMode, 0x12};
    return sendCommand(link, kCmdGeneral, payload, sizeof(payload), kDefaultTimeoutMs);
}

bool runFlatFieldCorrection(UsbCameraLink& link)
{
    return sendCommand(link, kCmdFlatField, nullptr, 0, kDefaultTimeoutMs);
}

bool setColorization(UsbCameraLink& link, int nValue)
{
    uint8_t payload[2];
    putBe16(payload, nValue);
    return sendCommand(link, kCmdColorization, payload, sizeof(payload), kDefaultTimeoutMs);
}

bool setGainMode(UsbCameraLink& link, int nValue)
{
    uint8_t payload[2];
    putBe16(payload, nValue);
    return sendCommand(link, kCmdGainMode, payload, sizeof(payload), kGainTimeoutMs);
}

bool setAutoGain(UsbCameraLink& link, int nOn)
{
    const uint8_t payload[3] = {kSubAutoGain, 0x04, static_cast<uint8_t>(nOn)};
    return sendCommand(link, kCmdGainControl, payload, sizeof(payload), kGainTimeoutMs);
}

bool setSharpness(UsbCameraLink& link, int nSharpness)
{
    if (!link.bStreaming)
        return false;
    // The camera takes the offset from 20, wrapped into one byte.
    const uint8_t payload[2] = {0, static_cast<uint8_t>((nSharpness - 20) & 0xFF)};
    return sendCommand(link, kCmdSharpness, payload, sizeof(payload), kDefaultTimeoutMs);
}

bool getLowTempTwoGear(UsbCameraLink& link, int* pnAuto, int* pnGear)
{
    if (link.szCapability[kCapLowTempGear] == 0)
        return false;
    const uint8_t payload[2] = {kSubGetLowTempGear, 0x04};
    uint8_t reply[kEchoReplyRoom];
    int nLen = 0;
    // Gear and auto flag sit at bytes 3..7; a shorter reply carries neither.
    if (!queryCommand(link, kCmdGainControl, payload, sizeof(payload), reply, sizeof(reply), &nLen, kDefaultTimeoutMs,
                      kSubGetLowTempGear, 8))
        return false;
    const uint32_t nGear = getLe32(reply + 3);
    const uint32_t nAuto = reply[7];
    if (nGear > 1 || nAuto > 1)
        return false;
    if (pnGear)
        *pnGear = static_cast<int>(nGear);
    if (pnAuto)
        *pnAuto = static_cast<int>(nAuto);
    return true;
}

bool setLowTempTwoGear(UsbCameraLink& link, unsigned nAuto, unsigned nGear)
{
    if (link.szCapability[kCapLowTempGear] == 0 || nGear > 2 || nAuto > 1)
        return false;
    uint32_t nSendGear = nGear;
    if (nAuto == 0 || nGear == 2) {
        // Without a manual gear choice the camera keeps the gear it is in.
        int nCurAuto = 0;
        int nCurGear = 0;
        nSendGear = getLowTempTwoGear(link, &nCurAuto, &nCurGear) ? static_cast<uint32_t>(nCurGear) : 0;
    }
    uint8_t payload[34] = {};
    payload[0] = kSubSetLowTempGear;
    payload[1] = 0x04;
    payload[2] = static_cast<uint8_t>(nSendGear);
    payload[3] = static_cast<uint8_t>(nSendGear >> 8);
    payload[4] = static_cast<uint8_t>(nSendGear >> 16);
    payload[5] = static_cast<uint8_t>(nSendGear >> 24);
    payload[6] = nAuto != 0 ? 1 : 0;
    payload[7] = 1;
    return sendCommand(link, kCmdGainControl, payload, sizeof(payload), kGainTimeoutMs);
}

bool setDeviceSuperResMode(UsbCameraLink& link, int nMode)
{
    if (link.szCapability[kCapSuperRes] == 0)
        return false;
    const uint8_t payload[2] = {kSubSuperRes, static_cast<uint8_t>(nMode)};
    return sendCommand(link, kCmdGeneral, payload, sizeof(payload), kDefaultTimeoutMs);
}

// ---- Bad pixel and bad column tables ------------------------------------------------------

bool readBadColumnEntry(UsbCameraLink& link, int nEntry, int* pnTotal, int* pnIndex, int* pnCol)
{
    uint8_t payload[5] = {kSubBadTables, 0xFB, 0x01};
    putBe16(payload + 3, nEntry);
    uint8_t reply[kEchoReplyRoom];
    int nLen = 0;
    if (!queryCommand(link, kCmdGeneral, payload, sizeof(payload), reply, sizeof(reply), &nLen, kDefaultTimeoutMs,
                      kSubBadTables, 9))
        return false;
    *pnTotal = getBe16(reply + 3);
    *pnIndex = getBe16(reply + 5);
    *pnCol = getBe16(reply + 7);
    return true;
}

bool readBadPixelEntry(UsbCameraLink& link, int nEntry, int* pnTotal, int* pnIndex, int* pnCol, int* pnRow)
{
    uint8_t payload[5] = {kSubBadTables, 0xFC, 0x04};
    putBe16(payload + 3, nEntry);
    uint8_t reply[kEchoReplyRoom];
    int nLen = 0;
    if (!queryCommand(link, kCmdGeneral, payload, sizeof(payload), reply, sizeof(reply), &nLen, kDefaultTimeoutMs,
                      kSubBadTables, 11))
        return false;
    *pnTotal = getBe16(reply + 3);
    *pnIndex = getBe16(reply + 5);
    *pnCol = getBe16(reply + 7);
    *pnRow = getBe16(reply + 9);
    return true;
}

bool writeBadColumnEntry(UsbCameraLink& link, int nCount, int nEntry, int nCol)
{
    uint8_t payload[9] = {kSubBadTables, 0xFB, 0x02};
    putBe16(payload + 3, nCount);
    putBe16(payload + 5, nEntry);
    putBe16(payload + 7, nCol);
    return sendCommand(link, kCmdGeneral, payload, sizeof(payload), kDefaultTimeoutMs);
}

bool writeBadPixelEntry(UsbCameraLink& link, int nCount, int nEntry, int nCol, int nRow)
{
    uint8_t payload[11] = {kSubBadTables, 0xFC, 0x04};
    putBe16(payload + 3, nCount);
    putBe16(payload + 5, nEntry);
    putBe16(payload + 7, nCol);
    putBe16(payload + 9, nRow);
    return sendCommand(link, kCmdGeneral, payload, sizeof(payload), kDefaultTimeoutMs);
}

bool readBadColumnTable(UsbCameraLink& link, int nLimit, int* pszIndex, int* pszCol, int* pnCount)
{
    int nTotal = 0;
    int nIndex = 0;
    int nCol = 0;
    *pnCount = 0;
    if (!readBadColumnEntry(link, 1, &nTotal, &nIndex, &nCol))
        return false;
    if (nTotal > nLimit) {
        *pnCount = -1;
        return false;
    }
    *pnCount = nTotal;
    if (nLimit > 0) {
        pszIndex[0] = nIndex;
        pszCol[0] = nCol;
    }
    // Later replies repeat the total; the table's size stays the one read first.
    int nEntryTotal = 0;
    for (int nEntry = 2; nEntry <= nTotal; ++nEntry) {
        if (!readBadColumnEntry(link, nEntry, &nEntryTotal, &nIndex, &nCol))
            return false;
        pszIndex[nEntry - 1] = nIndex;
        pszCol[nEntry - 1] = nCol;
    }
    return true;
}

bool readBadPixelTable(UsbCameraLink& link, int nLimit, int* pszIndex, int* pszRow, int* pszCol, int* pnCount)
{
    int nTotal = 0;
    int nIndex = 0;
    int nCol = 0;
    int nRow = 0;
    *pnCount = 0;
    if (!readBadPixelEntry(link, 1, &nTotal, &nIndex, &nCol, &nRow))
        return false;
    if (nTotal > nLimit) {
        *pnCount = -1;
        return false;
    }
    *pnCount = nTotal;
    if (nLimit > 0) {
        pszIndex[0] = nIndex;
        pszRow[0] = nRow;
        pszCol[0] = nCol;
    }
    int nEntryTotal = 0;
    for (int nEntry = 2; nEntry <= nTotal; ++nEntry) {
        if (!readBadPixelEntry(link, nEntry, &nEntryTotal, &nIndex, &nCol, &nRow))
            return false;
        pszIndex[nEntry - 1] = nIndex;
        pszRow[nEntry - 1] = nRow;
        pszCol[nEntry - 1] = nCol;
    }
    return true;
}

bool writeBadColumnTable(UsbCameraLink& link, int nCount, const int* pszCol)
{
    if (nCount <= 0)
        return writeBadColumnEntry(link, 0, 0, 0);
    for (int nEntry = 1; nEntry <= nCount; ++nEntry) {
        if (!writeBadColumnEntry(link, nCount, nEntry, pszCol[nEntry - 1]))
            return false;
    }
    return true;
}

bool writeBadPixelTable(UsbCameraLink& link, int nCount, const int* pszRow, const int* pszCol)
{
    if (nCount <= 0)
        return writeBadPixelEntry(link, 0, 0, 0, 0);
    for (int nEntry = 1; nEntry <= nCount; ++nEntry) {
        if (!writeBadPixelEntry(link, nCount, nEntry, pszCol[nEntry - 1], pszRow[nEntry - 1]))
            return false;
    }
    return true;
}

bool saveBadTables(UsbCameraLink& link)
{
    const uint8_t payload[3] = {kSubBadTables, 0xFC, 0x03};
    return sendCommand(link, kCmdGeneral, payload, sizeof(payload), kSaveBadTablesTimeoutMs);
}
