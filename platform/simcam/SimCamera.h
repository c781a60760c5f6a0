#pragma once
// The simulated thermal camera behind simCameraLibraryApi(): identity, stream thread,
// vendor command channel, bad pixel tables, firmware install, restart and hot-plug.
//
// Switches come from the environment variable THERMAVA_SIM (read once, when the camera is
// first used) and can be changed at any time through configure() or the typed setters:
//   absent[=0|1]            no camera on the bus
//   part=<part number>      default "KRM2560101A1RT1"; 'R' at character 12 selects the
//                           double-width stream layout
//   serial=<text>           serial number
//   version=<text>          32-byte software version text
//   caps=sr,lowtemp|none    capability bytes 8 (super-resolution) and 13 (low-temp gears)
//   noformat[=0|1]          the stream-format query fails
//   width=256|512           image width (512 gives a 512 x 384 image)
//   fps=<n>                 frame rate (default 25)
//   hot=<degC>              hot object temperature (default 65)
//   hot=<lo>..<hi>/<s>      the hot object's temperature moves from lo to hi and back every
//                           s seconds (a triangle, from lo at power-on), e.g. hot=50..70/20
//   seed=<n>                random seed of the scene and of fault shares
//   restartms=<n>           time off the bus after a restart (default 5000)
//   installms=<n>           firmware install time once the image is complete (default 3000)
//   shutterms=<n>           stream pause of a flat-field correction (default 250)
//   fpnrate=<degC per s>    growth of the fixed pattern since the last flat-field
//                           correction (default 0.004, capped at 0.8 degC)
//   slowms=<n>              delay of a reply hit by the "slow" fault (default 1000)
//   piece=<n>               data bytes per reply frame, 3..960 (default 960); small pieces
//                           make every reply travel in several transfer frames
//   splitcrc[=0|1]          every reply's closing CRC travels in a transfer frame of its own
//   mute[=0|1]              the camera enumerates and opens but never answers a command
//   <fault>=<n>[@code]      the next n commands (optionally only those with that command
//   <fault>=<p>%[@code]     code, e.g. @0x66) / a share of p percent of them get the fault;
//                           faults: drop, wrongcode, status22, badmagic, slow, oversize,
//                           corrupt (one frame of a multi-frame reply is damaged, the
//                           others arrive), late (the reply arrives 200 ms after the host's
//                           time-out). A slow or late reply is not lost: it waits on the
//                           channel and answers whatever receive comes next, as on a real
//                           channel; slow with slowms above the time-out is late as well.
//   nofaults                clears every fault
//   private[=0|1]           a camera of this process alone (tests running side by side);
//                           otherwise the camera is one device for the whole machine
//   statedir=<folder>       where the machine-wide camera keeps its state (default
//                           $XDG_RUNTIME_DIR, else the temporary folder); implies private=0
//   unplug, replug          hot-plug events (listeners are told)
// Entries are separated by ';'. Unknown keys are reported by configure() returning false.
//
// Behaviour a host sees:
// - Enumeration lists one camera (nCamID 0) while it is on the bus. OpenUSBCam opens the
//   command channel; InitUSBCam starts the stream thread. The camera offers only its own
//   layout (below): another size fails InitUSBCam, as S_FMT would, and lastError() says
//   why (lastInitStreamSize() tells what was asked);
//   frames reach the callback once RegisterUSBStreamCallBack has given one. The callback
//   gets (stream width, stream height, frame, frame bytes, user pointer).
// - Replies wait on the channel in arrival order until they are read; nothing is discarded
//   when a new request comes. Status 22 answers unknown commands and invalid arguments.
// - Stream layouts: 'R' models 2w x (h + 8) pixels, the image in the right half of each of
//   the h rows (the left half holds raw words, 1/64 K), then the trailer; other models
//   w x (h + 4), image rows then the trailer. Standby sends grey frames once a second.
// - A restart (command 2) drops the camera off the bus once its reply has been read (or
//   300 ms after it was queued). A restart or an unplug ends the session: the stream
//   stops, sends and receives fail at once, enumeration finds nothing until the camera is
//   back, and the host must open and initialise it again. Only saved tables and installed
//   software survive.
// - Trailer bytes 25..31 (odd) carry the frame counter, handy for matching frames.
// - Unless private, the camera is one device for the machine, as a real one is: the tables
//   (working and saved), the installed software, standby and power live in a state file
//   (thermava-simcam.state, with a lock file beside it) that every process reads and
//   writes under the lock. Only one process at a time can have the camera open; another
//   gets "camera in use" (lastError()). A restart or cutPower() takes it off the bus for
//   every process. A damaged state file gives the factory state, with a warning.
//
// Threads: every member function may be called from any thread. Hot-plug listeners run on
// the thread that caused the event (unplug()/replug()) or on the camera's bus thread (the
// drop-out and return of a restart); they must not block for long and must hand work to
// their own thread themselves.

#include "platform/camlib/CameraLibrary.h"
#include "platform/simcam/SimFrameFormat.h"
#include "platform/simcam/SimScene.h"
#include "platform/simcam/SimSensor.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// Faults the camera can put on its command replies.
enum class SimFault
{
    DropReply,       // the command runs, its reply never arrives
    WrongCode,       // a reply carrying another command code (the command does not run)
    Status22,        // the command is refused with status 22
    BadMagic,        // the reply's transfer header has a corrupt magic (the command runs)
    SlowReply,       // the reply arrives only after the slow-reply delay (the command runs)
    OversizeLength,  // the reply's first transfer frame announces 512 bytes more than it holds
    CorruptFrame,    // one frame of the reply (the second of several) has a damaged header
    LateReply,       // the reply arrives 200 ms after the time-out the host sent it with
};

// One command as the camera received it (already unwrapped and checked).
struct SimCommandRecord
{
    uint8_t nCode = 0;
    std::vector<uint8_t> payload;
    int subCommand() const { return payload.empty() ? -1 : payload[0]; }
};

class SimCamera
{
public:
    static constexpr int kCamID = 0;   // id of the one simulated camera in the device list

    // Status bytes the camera answers with.
    static constexpr uint8_t kStatusOk = 0;
    static constexpr uint8_t kStatusIo = 5;          // firmware chunk out of order
    static constexpr uint8_t kStatusBusy = 16;       // sensor asleep or shutter moving
    static constexpr uint8_t kStatusInvalid = 22;    // unknown command or invalid argument
    static constexpr uint8_t kStatusBadPacket = 74;  // request packet failed its checks

    static SimCamera& instance();

    // ---- switches -----------------------------------------------------------------------
    // Applies a THERMAVA_SIM-style text; returns false when it held an unknown key or a
    // malformed value (the valid entries are still applied).
    bool configure(const std::string& spec);
    // Factory state: defaults of every switch (the environment is NOT re-read) except
    // private and statedir, camera present and closed, tables empty (also the saved ones,
    // machine-wide for a shared camera), no faults, counters zero, stream stopped, no
    // pending restart or install. Listeners stay registered.
    void reset();

    void setPresent(bool bPresent);   // "absent" switch; no hot-plug events
    bool isPresent() const;           // on the bus right now (false while restarting)
    void setPartNumber(const std::string& part);
    std::string partNumber() const;
    void setSerialNumber(const std::string& serial);
    std::string serialNumber() const;
    void setSoftwareVersion(const std::string& version);   // padded / cut to 32 bytes
    std::string softwareVersion() const;                   // always 32 bytes
    void setCapabilities(bool bSuperRes, bool bLowTemp);
    std::vector<uint8_t> capabilityBlock() const;          // 128 bytes
    void setStreamFormatQuery(bool bAnswers);              // false = "noformat"
    void setImageWidth(int nWidth);                        // 256 or 512; next InitUSBCam
    void setFrameRate(double fps);
    void setHotTemperature(float fDegC);
    void setHotRamp(float fLowDegC, float fHighDegC, double periodSeconds);   // "hot=lo..hi/s"
    void setSceneSettings(const SimSceneSettings& settings);   // width/height are ignored
    SimSceneSettings sceneSettings() const;
    // Fixes the scene clock at t seconds (t < 0: the scene runs on the steady clock).
    void setSceneTime(double t);
    void setSeed(uint32_t nSeed);

    // ---- the machine-wide device ------------------------------------------------------------
    void setPrivate(bool bPrivate);            // "private" switch
    bool isPrivate() const;
    void setStateDir(const std::string& dir);  // "statedir" switch (empty: the default folder)
    std::string stateFile() const;             // empty for a private camera
    // Power cut: off the bus for the restart time for every process, working tables back to
    // the saved ones. bFactory also clears the saved tables and installed software first.
    void cutPower(bool bFactory = false);

    // ---- faults -------------------------------------------------------------------------
    // nCode -1: any command; otherwise only commands with that code.
    void failNext(SimFault fault, int nCount, int nCode = -1);
    void setFaultShare(SimFault fault, double share, int nCode = -1);   // share 0..1
    void clearFaults();
    void setSlowReplyMs(int nMs);
    void setReplyPieceSize(int nBytes);   // 3..960
    void setSplitCrc(bool bSplit);        // "splitcrc"
    void setMute(bool bMute);             // "mute"

    // ---- timing ---------------------------------------------------------------------------
    void setRestartDurationMs(int nMs);
    void setInstallDurationMs(int nMs);
    void setShutterPauseMs(int nMs);
    void setFixedPatternGrowth(float fDegPerSecond);
    float fixedPatternAmplitude() const;   // degrees (one sigma) right now

    // ---- hot-plug -------------------------------------------------------------------------
    void unplug();   // leaves the bus: session closed, stream stopped, listeners told (false)
    void replug();   // back on the bus, listeners told (true); needs a new open
    int addHotplugListener(std::function<void(bool bArrived)> listener);   // returns an id
    void removeHotplugListener(int nId);

    // ---- observation and test hooks ---------------------------------------------------------
    uint64_t commandCount() const;   // commands received (well-formed or not)
    uint64_t commandCount(uint8_t nCode, int nSub = -1) const;
    SimCommandRecord lastCommand() const;
    std::vector<SimCommandRecord> commandLog() const;   // the last 4096 well-formed commands
    void clearCommandLog();                              // also zeroes the counts
    uint64_t protocolErrorCount() const;   // malformed transfers or packets from the host
    std::string lastProtocolError() const;

    std::vector<SimBadPixel> badPixels() const;    // active table, in entry order
    std::vector<int> badColumns() const;
    std::vector<SimBadPixel> savedBadPixels() const;
    std::vector<int> savedBadColumns() const;
    // Replace the active table directly (no limit check, so a test can make the camera
    // report more than 256 entries).
    void setBadPixels(const std::vector<SimBadPixel>& pixels);
    void setBadColumns(const std::vector<int>& columns);
    // Sensor defects the camera hides once they are in its tables.
    std::vector<SimBadPixel> stuckPixels() const;
    int deadColumn() const;

    bool isOpen() const;        // OpenUSBCam succeeded and the session is alive
    bool isStreaming() const;   // stream thread running
    bool isSleeping() const;    // work mode 5
    int workMode() const;
    int gainMode() const;
    int autoGain() const;
    int colorization() const;
    int sharpness() const;      // the byte received (sharpness - 20, modulo 256)
    int superResMode() const;
    int usbMode() const;
    void lowTempGear(int& nGear, int& nAuto) const;
    int restartCount() const;   // restarts completed (back on the bus)
    int installCount() const;   // firmware images installed
    int installProgress() const;
    std::vector<uint8_t> receivedImage() const;   // bytes of the last firmware image
    SimStreamLayout streamLayout() const;          // layout the next/current stream uses
    void lastInitStreamSize(int& nWidth, int& nHeight) const;   // as passed to InitUSBCam
    // Why the last open or stream start was refused, in plain words; empty when it was not.
    std::string lastError() const;

    uint64_t frameNumber() const;         // frames delivered to the callback so far
    SimMeasurement lastMeasurement() const;
    // Stream thread keeps running but delivers nothing while paused.
    void setStreamPaused(bool bPaused);
    // Renders the current scene and hands it to the registered callback on the calling
    // thread. Returns the callback's result, or -2 when no callback is registered.
    int deliverFrameNow();
    // Hands arbitrary bytes (or null) to the registered callback on the calling thread.
    int deliverRawFrame(const unsigned char* pData, int nLength, int nArg1 = 1, int nArg2 = 1);
    // Frames waiting to be read on the command channel.
    int pendingReplyFrames() const;
    void flushReplies();

    // ---- the library operations (bound by simCameraLibraryApi) ------------------------------
    bool libGetUsbDeviceNum(int32_t* pnCount, UsbDeviceRecord* pList);
    bool libOpenUSBCam(UsbDeviceRecord* pDevice);
    int libInitUSBCam(UsbDeviceRecord* pDevice, int nStreamWidth, int nStreamHeight, int nArg1, int nArg2, int nArg3);
    int libRegisterUSBStreamCallBack(int nCamID, UsbStreamCallback pfnCallback, void* pUser);
    bool libSendDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs);
    bool libRecvDeviceData(int nCamID, unsigned char* pData, int32_t* pnLength, int nTimeoutMs);
    void libCloseUSBStreaming(int nCamID);
    void libCloseUSBCam(int nCamID);
    void libUinitUSBCam();

    ~SimCamera();
    SimCamera(const SimCamera&) = delete;
    SimCamera& operator=(const SimCamera&) = delete;

private:
    SimCamera();
    struct State;
    std::unique_ptr<State> d;
};
