#pragma once
// Command transactions over the camera link's data channel and the camera's command set.
//
// Every transaction (one request frame plus all frames of its reply) holds the link's
// channel lock, so commands sent from different threads never interleave on the channel.
// Failed attempts leave their reply status in link.nLastStatus; status 22 means the camera
// refuses the command outright and ends the retries at once.

#include "device/CommandFrame.h"

#include <QString>
#include <cstdint>

class UsbCameraLink;

namespace DeviceCmd {

// Time-outs per attempt, in milliseconds.
constexpr int kDefaultTimeoutMs = 5000;
constexpr int kProbeTimeoutMs = 500;
constexpr int kWorkModeTimeoutMs = 2000;
constexpr int kGainTimeoutMs = 20000;
constexpr int kSaveBadTablesTimeoutMs = 30000;
constexpr int kUpgradeChunkTimeoutMs = 15000;

constexpr int kAttempts = 3;
constexpr uint8_t kStatusRefused = 22;   // ends the attempts at once

// Waiting on the channel. A wait for a reply is cut into receives of at most kWaitSliceMs so
// that a cancel (UsbCameraLink::cancelWaits) ends it soon whatever the time-out. Before each
// request, frames left on the channel by an earlier reply that came too late are read away
// with receives of kDrainTimeoutMs, at most kDrainMaxFrames of them.
constexpr int kWaitSliceMs = 200;
constexpr int kDrainTimeoutMs = 1;
constexpr int kDrainMaxFrames = 64;

// Command codes.
constexpr uint8_t kCmdGeneral = 0x00;        // sub-command in payload byte 0
constexpr uint8_t kCmdRestart = 0x02;
constexpr uint8_t kCmdSerialNumber = 0x04;
constexpr uint8_t kCmdSoftwareVersion = 0x05;
constexpr uint8_t kCmdGainMode = 0x0A;
constexpr uint8_t kCmdFlatField = 0x0C;
constexpr uint8_t kCmdColorization = 0x10;
constexpr uint8_t kCmdGainControl = 0x50;    // sub-command in payload byte 0
constexpr uint8_t kCmdPartNumber = 0x66;
constexpr uint8_t kCmdSharpness = 0xE3;

// Sub-commands of command 0.
constexpr uint8_t kSubBadTables = 0x02;
constexpr uint8_t kSubWorkMode = 0x0D;
constexpr uint8_t kSubSuperRes = 0x17;
constexpr uint8_t kSubUpgradeChunk = 0x22;
constexpr uint8_t kSubUpgradeProgress = 0x2B;
constexpr uint8_t kSubStreamFormat = 0x4E;
constexpr uint8_t kSubCapability = 0x63;
constexpr uint8_t kSubUsbMode = 0x72;
// Sub-commands of command 0x50.
constexpr uint8_t kSubAutoGain = 0x8E;
constexpr uint8_t kSubSetLowTempGear = 0x96;
constexpr uint8_t kSubGetLowTempGear = 0x97;

// Work modes (sub-command 0x0D).
constexpr int kWorkModeRun = 4;
constexpr int kWorkModeStandby = 5;

// Capability block bytes with a meaning here.
constexpr int kCapSuperRes = 8;
constexpr int kCapLowTempGear = 13;

// Table limits.
constexpr int kMaxBadPixels = 256;
constexpr int kDefaultBadColumnLimit = 364;   // until the first frame reports a width
constexpr int kPartNumberLength = 15;
constexpr int kPartNumberBytes = 32;
constexpr int kSoftwareVersionBytes = 32;

} // namespace DeviceCmd

// ---- Transactions -------------------------------------------------------------------------

// Bounds every reply wait of the calling thread to nBudgetMs from now while the object lives
// (a connect must end within its budget whatever the camera does). Nested scopes keep the
// earlier end.
class ScopedWaitBudget
{
public:
    explicit ScopedWaitBudget(int nBudgetMs);
    ~ScopedWaitBudget();
    ScopedWaitBudget(const ScopedWaitBudget&) = delete;
    ScopedWaitBudget& operator=(const ScopedWaitBudget&) = delete;
    // Milliseconds left of the calling thread's budget; INT_MAX when none is set.
    static int leftMs();

private:
    int64_t m_nPreviousEnd;
};

// Whether a complete reply with the request's command code answers this request and not an
// earlier one: with status 0, commands 0 and 0x50 must echo the sub-command in reply byte 0,
// and a bad pixel or bad column entry read must name the entry asked for (reply bytes 5..6)
// unless the table is empty.
// A nonzero status answers whatever the data.
bool replyAnswersRequest(uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen, uint8_t nStatus,
                         const uint8_t* pReply, int nReplyLen);

// Wraps the packet into a transfer frame and sends it. Returns the length the library reports
// as sent, or -1 when the library fails or the packet exceeds the frame buffer.
int sendFrame(UsbCameraLink& link, const uint8_t* pPacket, int nPacketLen, int nTimeoutMs);

// One request/reply transaction, no retry. What waits on the channel from earlier replies is
// read away first. Replies that do not answer this request (another command code, another
// sub-command, another table entry: replyAnswersRequest) are discarded and the wait goes on
// until the time-out. True when a complete answering reply arrived, whatever its status;
// *pStatus (if given) then holds the status.
// When pReply and pnReplyLen are both given: a nonzero status gives length 0; otherwise the
// reply data is copied, cut to nReplyCapacity bytes, and *pnReplyLen is the number copied.
// *pnReplyLen is 0 after any failure. The payload may be null when nPayloadLen is 0; it may
// be at most CommandFrame::kMaxRequestPayload (32,694) bytes.
bool exchangeCommand(UsbCameraLink& link, uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen,
                     uint8_t* pStatus, uint8_t* pReply, int nReplyCapacity, int* pnReplyLen, int nTimeoutMs);

// Up to three attempts of exchangeCommand for commands whose reply data is not needed. An
// attempt succeeds with status 0 and, for commands 0 and 0x50 with a payload, the sub-command
// echoed in reply byte 0.
bool sendCommand(UsbCameraLink& link, uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen, int nTimeoutMs);

// Up to three attempts of exchangeCommand for commands whose reply data is needed. An attempt
// succeeds with status 0, at least nMinReplyLen reply bytes and, when nEcho >= 0, reply byte 0
// equal to nEcho. The reply of the successful attempt is in pReply / *pnReplyLen.
bool queryCommand(UsbCameraLink& link, uint8_t nCommand, const uint8_t* pPayload, int nPayloadLen,
                  uint8_t* pReply, int nReplyCapacity, int* pnReplyLen, int nTimeoutMs, int nEcho = -1,
                  int nMinReplyLen = 0);

// ---- Identity and stream set-up (used by the link's open sequence) ------------------------

// Command 0x66 into a 32-byte buffer (zero-filled behind the reply). Fails when the text is
// shorter than 15 characters. Sets link.bRModel from character 12.
bool queryPartNumber(UsbCameraLink& link, char* pszPart32);

struct StreamFormat
{
    int nStreamWidth = 0;
    int nStreamHeight = 0;
    int nImageWidth = 0;
    int nImageHeight = 0;
};
// Command 0 / 'N'. The reply must be exactly 65 bytes; bytes 1..64 go to the 64-byte buffer.
bool queryStreamFormat(UsbCameraLink& link, uint8_t* pFormat64);
// The four little-endian u16 values at the start of the 64 bytes.
StreamFormat parseStreamFormat(const uint8_t* pFormat64);
// Why frames of this format could not be read, in plain words; empty when they can. The
// stream row is the image width or twice it, and the stream holds the image rows plus room
// for the 256-byte trailer. (The image width itself is checked by the link.)
QString streamFormatProblem(const StreamFormat& fmt);

// Command 0 / 'c'. Zeroes link.szCapability, then fills it from reply bytes 3..130 when reply
// bytes 1 and 2 are 0 and 1 (otherwise it stays zero and the query still succeeds).
bool queryCapability(UsbCameraLink& link);

// ---- Text queries for the device information (empty when not streaming or on failure) -----

QString queryPartNumberText(UsbCameraLink& link);
QString querySerialNumberText(UsbCameraLink& link);
// The 32 bytes of the reply, each as one Latin-1 character (zero bytes included).
QString querySoftwareVersionText(UsbCameraLink& link);
// "256x192" and the like from a part number; empty when the part number names no known size.
QString resolutionTextFromPartNumber(const QString& strPart);

// ---- Camera settings --------------------------------------------------------------------

bool probeDevice(UsbCameraLink& link);                          // command 0, no payload, 500 ms
bool sendWorkMode(UsbCameraLink& link, int nMode);              // 4 runs, 5 standby; false when not streaming
bool restartDevice(UsbCameraLink& link, bool bWithZeroByte);    // command 2; the upgrade sends one zero byte
bool sendUsbModeSwitch(UsbCameraLink& link);                    // command 0 / 0x72 0x12
bool runFlatFieldCorrection(UsbCameraLink& link);               // command 0x0C
bool setColorization(UsbCameraLink& link, int nValue);          // command 0x10, u16
bool setGainMode(UsbCameraLink& link, int nValue);              // command 0x0A, u16
bool setAutoGain(UsbCameraLink& link, int nOn);                 // command 0x50 / 0x8E
bool setSharpness(UsbCameraLink& link, int nSharpness);         // command 0xE3; only while streaming

// Low-temperature two-gear mode; both fail without sending when capability byte 13 is zero.
bool getLowTempTwoGear(UsbCameraLink& link, int* pnAuto, int* pnGear);
bool setLowTempTwoGear(UsbCameraLink& link, unsigned nAuto, unsigned nGear);
// Device super-resolution mode; fails without sending when capability byte 8 is zero.
bool setDeviceSuperResMode(UsbCameraLink& link, int nMode);

// ---- Bad pixel and bad column tables (entries count from 1) -------------------------------

bool readBadColumnEntry(UsbCameraLink& link, int nEntry, int* pnTotal, int* pnIndex, int* pnCol);
bool readBadPixelEntry(UsbCameraLink& link, int nEntry, int* pnTotal, int* pnIndex, int* pnCol, int* pnRow);
bool writeBadColumnEntry(UsbCameraLink& link, int nCount, int nEntry, int nCol);
bool writeBadPixelEntry(UsbCameraLink& link, int nCount, int nEntry, int nCol, int nRow);

// Whole-table reads: *pnCount is the count read (0 when entry 1 fails, -1 when the camera
// reports more than nLimit entries). The arrays must hold nLimit entries.
bool readBadColumnTable(UsbCameraLink& link, int nLimit, int* pszIndex, int* pszCol, int* pnCount);
bool readBadPixelTable(UsbCameraLink& link, int nLimit, int* pszIndex, int* pszRow, int* pszCol, int* pnCount);
// Whole-table writes: a count of 0 empties the table with one all-zero packet; otherwise the
// entries go out in order and the first refused one stops the write.
bool writeBadColumnTable(UsbCameraLink& link, int nCount, const int* pszCol);
bool writeBadPixelTable(UsbCameraLink& link, int nCount, const int* pszRow, const int* pszCol);
// Makes the camera keep both tables (30 s time-out).
bool saveBadTables(UsbCameraLink& link);
