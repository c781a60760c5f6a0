#pragma once
// The process-wide link to the camera: owns the opened camera, its image geometry and
// capability block, the frame and trailer buffers, and the consumer frames are handed to.
// Everything that talks to the camera library goes through here.

#include "platform/camlib/CameraLibrary.h"

#include <QByteArray>
#include <QMutex>
#include <QString>
#include <atomic>
#include <cstdint>

class UsbCameraLink
{
public:
    // Consumer of each accepted frame: UYVY bytes of nWidth x nHeight x 2, and the context.
    using FrameConsumer = void (*)(unsigned char* pFrame, int nWidth, int nHeight, void* pCtx);

    static UsbCameraLink& instance();

    // Why the last open() failed, for diagnostics (tools, logs); None after a success.
    enum class OpenFailure
    {
        None,
        NoCamera,            // the record names no camera
        OpenRefused,         // the library would not open it
        PartNumberQuery,     // no usable part number (no answer, or shorter than 15 characters)
        PartNumberRefused,   // not one of the accepted part numbers
        ImageWidth,          // the stream format names an image width other than 256 or 512
        StreamGeometry,      // the stream format names sizes no frame can be read with
        StreamInit,          // the library would not start the stream
        Capability,          // no answer to the capability query
        OutOfMemory,
    };

    bool open(const UsbDeviceRecord& record);
    bool close();

    OpenFailure lastOpenFailure() const { return m_eLastOpenFailure.load(); }
    // Part number read during the last open (empty when none was read).
    QByteArray lastPartNumber() const;
    // Serial number last read from the open camera (empty until read, and after each open).
    QString lastSerialNumber() const;
    void rememberSerialNumber(const QString& qStrSerial);
    // The reason behind a StreamGeometry failure, in plain words (empty otherwise).
    QString lastOpenDetail() const;

    // Ends every wait on the command channel soon (within one receive slice) and makes new
    // ones fail at once, until it is lifted: closing the window or a stop signal must not wait
    // for a camera that does not answer. Threads are never killed; their waits give up.
    void cancelWaits(bool bCancel) { m_bWaitsCancelled = bCancel; }
    bool waitsCancelled() const { return m_bWaitsCancelled.load(); }

    // Stream frames dropped since the last open because their length does not fit the
    // geometry the link set up (shorter than image plus trailer, or longer than a stream
    // frame). The first one of a connection is logged with both sizes.
    uint64_t droppedFrameCount() const { return m_nDroppedFrames.load(); }

    // The consumer is called on the library's callback thread with the link's frame lock
    // (`mutex`) held, so once setFrameConsumer returns the previous consumer is no longer
    // running and may be destroyed. Do not call setFrameConsumer, registerStreamCallback,
    // open or close while holding a lock that the consumer itself takes.
    void setFrameConsumer(FrameConsumer pfnConsumer, void* pCtx);
    // Stores the consumer and, while streaming, registers the link's stream callback with
    // the library (a refusal uninitialises the library and clears bStreaming). False after
    // such a refusal.
    bool registerStreamCallback(FrameConsumer pfnConsumer, void* pCtx);

    // The callback given to the library; pUser is the link.
    static int streamCallback(int nArg1, int nArg2, unsigned char* pData, int nLength, void* pUser);

    // Frame handling for one stream frame of nLength bytes (the stream callback's body).
    // A frame that does not fit the current layout is dropped and counted.
    void handleFrame(const unsigned char* pData, int nLength);

    // Copies the last 256-byte measurement trailer under the frame lock, so that the copy is
    // never torn by the callback thread. False (and nothing copied) when not streaming.
    bool copyTrailer(unsigned char* pOut256);

    // Serialises whole command transactions (send plus all receives) on the one channel.
    // Recursive, so a caller may hold it across several transactions.
    QMutex& channelMutex() { return m_channelMutex; }

    // Fields read directly by the rest of the program.
    QMutex mutex;   // frame lock: buffers, sizes and consumer on the frame path
    UsbDeviceRecord m_ConnectDev{};
    std::atomic<int> nCamID{-1};
    std::atomic<bool> bStreaming{false};
    FrameConsumer pfnFrameConsumer = nullptr;
    void* pConsumerCtx = nullptr;
    unsigned char* pFrame = nullptr;
    unsigned char* pTrailer = nullptr;   // kept (zeroed) once allocated: readers never see it freed
    std::atomic<uint32_t> nLastStatus{0};
    int nWidth = 0;
    int nHeight = 0;
    int bDoubleWidth = 0;
    int bRModel = 0;
    unsigned char szCapability[128]{};

private:
    UsbCameraLink();
    ~UsbCameraLink();
    UsbCameraLink(const UsbCameraLink&) = delete;
    UsbCameraLink& operator=(const UsbCameraLink&) = delete;

    bool failOpen(OpenFailure eFailure, bool bReset);
    void noteDroppedFrame(int nLength, size_t nMinBytes, size_t nMaxBytes);

    QMutex m_channelMutex{QMutex::Recursive};
    std::atomic<OpenFailure> m_eLastOpenFailure{OpenFailure::None};
    mutable QMutex m_diagMutex;
    QByteArray m_lastPartNumber;
    QString m_lastSerialNumber;
    QString m_lastOpenDetail;
    int m_nFrameBytes = 0;   // size of pFrame
    int m_nStreamWidth = 0;  // stream size asked of the library (frame lock)
    int m_nStreamHeight = 0;
    // What is open at the library, so that a failed open closes it before the next attempt.
    std::atomic<bool> m_bLibraryOpen{false};
    std::atomic<bool> m_bStreamStarted{false};
    std::atomic<bool> m_bWaitsCancelled{false};
    std::atomic<uint64_t> m_nDroppedFrames{0};
};
