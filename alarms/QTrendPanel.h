#pragma once
// Trend and distribution panel, opened from the live view: the last ten minutes of the
// scene's maximum, minimum, average and each item with the alarm thresholds, the distribution
// of the current frame's temperatures, CSV export of the trend and the inspection report.
//
// While open it copies the luminance of at most two frames a second from the video engine
// (on the engine's thread, a plain copy); closed, it costs the pipeline nothing.

#include "alarms/FrameStats.h"

#include <QByteArray>
#include <QMutex>
#include <QPointer>
#include <QWidget>

class AlarmMonitor;
class QPlainTextEdit;
class QTimer;
class QVideoPlay;

class QTrendPanel : public QWidget
{
    Q_OBJECT
public:
    QTrendPanel(AlarmMonitor* pMonitor, QVideoPlay* pEngine, QWidget* parent = nullptr);
    ~QTrendPanel() override;

    // The newest sampled frame's distribution (empty before the first frame).
    Alarm::Histogram histogram() const;
    bool exportTrendCsv(const QString& qStrPath, QString* pError) const;
    bool exportReport(const QString& qStrPath, QString* pError) const;
    // Called on the engine's thread for each processed frame while the panel is open.
    void takeFrame(const unsigned char* pUyvy, int nWidth, int nHeight);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QRect chartArea() const;
    QRect histogramArea() const;

    QPointer<AlarmMonitor> m_pMonitor;
    QPointer<QVideoPlay> m_pEngine;
    QMetaObject::Connection m_Tap;
    QTimer* m_pRepaint = nullptr;
    QPlainTextEdit* m_pNotes = nullptr;
    mutable QMutex m_FrameMutex;
    QByteArray m_Luma;
    int m_nWidth = 0;
    int m_nHeight = 0;
    qint64 m_nLastTakeMs = 0;
};
