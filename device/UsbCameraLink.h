#pragma once
// The process-wide link to the camera: owns the opened camera, its image geometry and
// capability block, the frame and trailer buffers, and the consumer frames are handed to.
// Everything that talks to the camera library goes through here.

#include "platform/camlib/CameraLibrary.h"

#include <QMutex>
#include <atomic>
#include <cstdint>

class UsbCameraLink
{
public:
    // Consumer of each accepted frame: UYVY bytes of nWidth x nHeight x 2, and the context.
    using FrameConsumer = void (*)(unsigned char* pFrame, int nWidth, int nHeight, void* pCtx);

    static UsbCameraLink& instance();

    bool open(const UsbDeviceRecord& record);
    bool close();

    void setFrameConsumer(FrameConsumer pfnConsumer, void* pCtx);
    // Stores the consumer and, while streaming, registers the link's stream callback with
    // the library (a refusal uninitialises the library and clears bStreaming).
    void registerStreamCallback(FrameConsumer pfnConsumer, void* pCtx);

    // Frame handling for one stream frame of nLength bytes (the stream callback's body).
    void handleFrame(const unsigned char* pData, int nLength);

    // Serialises whole command transactions (send plus all receives) on the one channel.
    QMutex& channelMutex() { return m_channelMutex; }

    // Fields read directly by the rest of the program.
    QMutex mutex;
    UsbDeviceRecord m_ConnectDev{};
    std::atomic<int> nCamID{-1};
    std::atomic<bool> bStreaming{false};
    FrameConsumer pfnFrameConsumer = nullptr;
    void* pConsumerCtx = nullptr;
    unsigned char* pFrame = nullptr;
    unsigned char* pTrailer = nullptr;
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

    QMutex m_channelMutex;
};
