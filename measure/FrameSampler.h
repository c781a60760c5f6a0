#pragma once
// Keeps the luminance of the latest processed frame together with the camera's trailer of
// that moment, so that readings combine a frame's luminance extent with the same frame's
// scene temperatures. take() runs on the video engine's thread (connected directly to the
// engine's hand-off of each processed frame); latest() may be called from any thread.

#include "measure/RegionStats.h"
#include "video/ThermHotPointParam.h"

#include <QByteArray>
#include <QMutex>

namespace Measure {

struct SampledFrame
{
    QByteArray luma;             // nWidth x nHeight luminance bytes (implicitly shared)
    int nWidth = 0;              // plane size (camera size x scale)
    int nHeight = 0;
    int nScale = 1;
    ThermHotPointParam trailer;  // hot point and scene temperatures, uncorrected
    LumaModel model;
    qint64 nSequence = 0;        // counts samples, 0 before the first

    bool isValid() const { return nSequence > 0 && nWidth > 0 && nHeight > 0; }
    LumaPlane plane() const
    {
        return LumaPlane{reinterpret_cast<const uint8_t*>(luma.constData()), nWidth, nHeight, nScale};
    }
};

class FrameSampler
{
public:
    // Samples at most every nMinIntervalMs (0: every frame).
    explicit FrameSampler(int nMinIntervalMs = 0) : m_nMinIntervalMs(nMinIntervalMs) {}

    // pUyvy: a processed frame of (nCameraWidth x nScale) x (nCameraHeight x nScale) pixels.
    // pTrailer: the camera's 256-byte trailer, or null to keep reading zero temperatures.
    void take(const unsigned char* pUyvy, int nCameraWidth, int nCameraHeight, int nScale,
              const unsigned char* pTrailer);
    // Reads the trailer from the camera link itself.
    void takeFromLink(const unsigned char* pUyvy, int nCameraWidth, int nCameraHeight, int nScale);

    SampledFrame latest() const;
    void clear();

private:
    mutable QMutex m_Mutex;
    SampledFrame m_Frame;
    int m_nMinIntervalMs;
    qint64 m_nLastMs = -1;
};

} // namespace Measure
