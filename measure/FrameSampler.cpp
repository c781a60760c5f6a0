#include "measure/FrameSampler.h"

#include "app/AppFlags.h"
#include "device/UsbCameraLink.h"
#include "video/ThermalTrailer.h"

#include <QElapsedTimer>

namespace Measure {

namespace {
qint64 monotonicMs()
{
    static QElapsedTimer s_clock = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return s_clock.elapsed();
}
} // namespace

void FrameSampler::take(const unsigned char* pUyvy, int nCameraWidth, int nCameraHeight, int nScale,
                        const unsigned char* pTrailer)
{
    if (!pUyvy || nCameraWidth < 1 || nCameraHeight < 1 || nScale < 1 || nScale > 2)
        return;
    const qint64 now = monotonicMs();
    {
        QMutexLocker lock(&m_Mutex);
        if (m_nMinIntervalMs > 0 && m_nLastMs >= 0 && now - m_nLastMs < m_nMinIntervalMs)
            return;
        m_nLastMs = now;
    }
    SampledFrame f;
    f.nWidth = nCameraWidth * nScale;
    f.nHeight = nCameraHeight * nScale;
    f.nScale = nScale;
    const int n = f.nWidth * f.nHeight;
    f.luma.resize(n);
    char* pOut = f.luma.data();
    for (int i = 0; i < n; ++i)
        pOut[i] = char(pUyvy[2 * i + 1]);
    // While frozen the picture stays, so its temperatures stay with it.
    const SampledFrame last = latest();
    if (g_bFreeze && last.isValid())
        f.trailer = last.trailer;
    else if (pTrailer)
        f.trailer = ThermalTrailer::decode(pTrailer, nCameraWidth, nCameraHeight);
    f.model = modelOf(reinterpret_cast<const uint8_t*>(f.luma.constData()), size_t(n), f.trailer.fMinTemper,
                      f.trailer.fMaxTemper);
    QMutexLocker lock(&m_Mutex);
    f.nSequence = m_Frame.nSequence + 1;
    m_Frame = f;
}

void FrameSampler::takeFromLink(const unsigned char* pUyvy, int nCameraWidth, int nCameraHeight, int nScale)
{
    unsigned char trailer[ThermalTrailer::kTrailerBytes];
    const bool bTrailer = UsbCameraLink::instance().copyTrailer(trailer);
    take(pUyvy, nCameraWidth, nCameraHeight, nScale, bTrailer ? trailer : nullptr);
}

SampledFrame FrameSampler::latest() const
{
    QMutexLocker lock(&m_Mutex);
    return m_Frame;
}

void FrameSampler::clear()
{
    QMutexLocker lock(&m_Mutex);
    m_Frame = SampledFrame();
    m_nLastMs = -1;
}

} // namespace Measure
