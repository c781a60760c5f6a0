#pragma once
// The video stream of one node: sets the size the link asks for, maps the driver's buffers,
// and runs the capture thread that waits for filled buffers with poll() and hands each
// complete frame, as packed UYVY without row padding, to the registered stream callback.

#include "platform/camlib/CameraLibrary.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

class V4l2Capture
{
public:
    struct Stats
    {
        uint64_t nDelivered = 0;
        uint64_t nErrorFlagged = 0;   // dropped: the driver marked the buffer as damaged
        uint64_t nWrongSize = 0;      // dropped: fewer bytes than the frame needs
    };

    V4l2Capture() = default;
    ~V4l2Capture() { stop(); }
    V4l2Capture(const V4l2Capture&) = delete;
    V4l2Capture& operator=(const V4l2Capture&) = delete;

    // fd stays the caller's and must stay open until stop(). Fails (with a reason) when the
    // driver adjusts the format or size, or cannot give at least two buffers.
    bool start(int fd, const std::string& path, uint32_t nFourcc, int nWidth, int nHeight, std::string* pError);
    // Stops the thread, the stream, and unmaps and frees the buffers. Safe to repeat.
    void stop();
    bool isRunning() const { return m_thread.joinable(); }

    // Once set returns, a callback replaced by it no longer runs.
    void setCallback(UsbStreamCallback pfnCallback, void* pUser);
    // Called once, on the capture thread, when the device goes away under the stream.
    void setRemovalHandler(std::function<void()> fnRemoved) { m_fnRemoved = std::move(fnRemoved); }

    Stats stats() const;

private:
    struct Buffer
    {
        void* pStart = nullptr;
        size_t nLength = 0;
    };

    void run();
    void handleBuffer(uint32_t nIndex, uint32_t nBytesUsed, uint32_t nFlags);
    void releaseBuffers();

    int m_fd = -1;
    std::string m_path;
    int m_nWidth = 0;
    int m_nHeight = 0;
    int m_nBytesPerLine = 0;
    bool m_bYuyv = false;
    bool m_bStreamOn = false;
    std::vector<Buffer> m_buffers;
    std::vector<uint8_t> m_frame;   // packed UYVY when the driver's layout differs
    std::thread m_thread;
    std::atomic<bool> m_bStop{false};
    std::function<void()> m_fnRemoved;

    std::mutex m_callbackMutex;
    UsbStreamCallback m_pfnCallback = nullptr;
    void* m_pUser = nullptr;

    std::atomic<uint64_t> m_nDelivered{0};
    std::atomic<uint64_t> m_nErrorFlagged{0};
    std::atomic<uint64_t> m_nWrongSize{0};
};
