#pragma once
// The thermal data worker: lives on a thread of its own, reads the camera's measurement
// trailer five times a second into a hot point record, measures the luminance extent of each
// processed frame, and computes the focus (sharpness) measure.

#include "video/ThermHotPointParam.h"

#include <QMutex>
#include <QObject>
#include <atomic>
#include <cstdint>
#include <vector>

class QTimer;

class QTempRule : public QObject
{
    Q_OBJECT

public:
    // nIntervalMs is the measurement period (200 ms; tests use shorter ones).
    explicit QTempRule(QObject* parent = nullptr, int nIntervalMs = 200);
    ~QTempRule() override;

    // The record of the last trailer read (kept while the picture is frozen).
    ThermHotPointParam lastRecord();
    bool isTimerRunning() const { return m_bTimerRunning; }

    // Set by the live view's image correction: the next focus value replaces the maximum.
    std::atomic<bool> m_bFocusReset{false};

signals:
    void SendHotPointSignal(ThermHotPointParam);
    void SendYDataSignals(uint Min, uint Max);
    void SendFocusValueSignal(float MaxValue, float MeanValue);

public slots:
    void GetTimerStatusSlot(bool bOpen);
    void GetVideoThermalData();
    void getYuvData(unsigned char* pBuffer, int nScale);
    void GetVideoYuvData(unsigned char* BufferYuv);

private:
    QTimer* m_pTimer = nullptr;
    int m_nIntervalMs = 200;
    bool m_bTimerRunning = false;
    unsigned char m_Trailer[256];
    std::vector<unsigned char> m_FrameCopy;
    uint32_t m_nLumaMin = 0;
    uint32_t m_nLumaMax = 0;
    QMutex m_Mutex;
    float m_fFocusMax = 0.0f;
    ThermHotPointParam m_stLastRecord;
};
