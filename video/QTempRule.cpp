#include "video/QTempRule.h"

#include "app/AppFlags.h"
#include "device/UsbCameraLink.h"
#include "video/ThermImageContext.h"
#include "video/ThermalTrailer.h"
#include "video/VideoGlobals.h"

#include <QMetaType>
#include <QMutexLocker>
#include <QTimer>
#include <cstring>

QTempRule::QTempRule(QObject* parent, int nIntervalMs)
    : QObject(parent), m_nIntervalMs(nIntervalMs > 0 ? nIntervalMs : 200)
{
    qRegisterMetaType<ThermHotPointParam>("ThermHotPointParam");
    qRegisterMetaType<unsigned char*>("unsigned char*");
    std::memset(m_Trailer, 0, sizeof(m_Trailer));
    m_pTimer = new QTimer(this);
    connect(m_pTimer, SIGNAL(timeout()), this, SLOT(GetVideoThermalData()));
}

QTempRule::~QTempRule() = default;

ThermHotPointParam QTempRule::lastRecord()
{
    QMutexLocker lock(&m_Mutex);
    return m_stLastRecord;
}

void QTempRule::GetTimerStatusSlot(bool bOpen)
{
    if (bOpen && !m_bTimerRunning) {
        m_pTimer->start(m_nIntervalMs);
        m_bTimerRunning = true;
    } else if (!bOpen && m_bTimerRunning) {
        m_pTimer->stop();
        m_bTimerRunning = false;
    }
}

void QTempRule::GetVideoThermalData()
{
    QMutexLocker lock(&m_Mutex);
    if (!m_bTimerRunning)
        return;
    ThermHotPointParam st;
    if (g_bFreeze) {
        st = m_stLastRecord;
    } else {
        // A link that is not streaming leaves the trailer zeroed: position 0, 0 and 0.0 degrees.
        std::memset(m_Trailer, 0, sizeof(m_Trailer));
        if (!UsbCameraLink::instance().copyTrailer(m_Trailer))
            std::memset(m_Trailer, 0, sizeof(m_Trailer));
        st = ThermalTrailer::decode(m_Trailer, g_nFrameWidth.load(), g_nFrameHeight.load());
        m_stLastRecord = st;
    }
    ThermImageContext& ctx = ThermImageContext::instance();
    ctx.m_fSceneMin = st.fMinTemper;
    ctx.m_fSceneMax = st.fMaxTemper;
    lock.unlock();
    emit SendHotPointSignal(st);
}

void QTempRule::getYuvData(unsigned char* pBuffer, int nScale)
{
    QMutexLocker lock(&m_Mutex);
    const int w = g_nFrameWidth.load();
    const int h = g_nFrameHeight.load();
    if (!UsbCameraLink::instance().bStreaming || !pBuffer || w < 1 || h < 1 || nScale < 1 || nScale > 2)
        return;
    const size_t nBytes = size_t(w) * size_t(h) * size_t(nScale * nScale) * 2;
    m_FrameCopy.assign(pBuffer, pBuffer + nBytes);
    ThermalTrailer::lumaExtent(m_FrameCopy.data(), m_FrameCopy.size(), m_nLumaMin, m_nLumaMax);
    ThermImageContext& ctx = ThermImageContext::instance();
    ctx.m_nLumaMin = m_nLumaMin;
    ctx.m_nLumaMax = m_nLumaMax;
    const uint nMin = m_nLumaMin;
    const uint nMax = m_nLumaMax;
    lock.unlock();
    emit SendYDataSignals(nMin, nMax);
}

void QTempRule::GetVideoYuvData(unsigned char* BufferYuv)
{
    QMutexLocker lock(&m_Mutex);
    if (!BufferYuv)
        return;
    constexpr size_t kBytes = 256 * 192 * 2;
    m_FrameCopy.assign(BufferYuv, BufferYuv + kBytes);
    const float fValue = ThermalTrailer::focusMeasure(m_FrameCopy.data());
    if (fValue > m_fFocusMax || m_bFocusReset.load())
        m_fFocusMax = fValue;
    m_bFocusReset = false;
    const float fMax = m_fFocusMax;
    lock.unlock();
    emit SendFocusValueSignal(fMax, fValue);
}
