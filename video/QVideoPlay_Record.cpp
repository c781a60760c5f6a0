// Saving what the user sees: JPEG snapshots, and H.264 recordings in MP4 segments of ten
// minutes inside day folders. Everything here runs on the engine thread with the engine
// mutex held, so it never meets a half-processed frame.

#include "video/QVideoPlay.h"

#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "platform/encoder/H264Encoder.h"
#include "platform/encoder/StreamConvertor.h"
#include "video/RecordSupport.h"
#include "video/VideoGlobals.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMutexLocker>
#include <QTimer>
#include <algorithm>
#include <cstring>
#include <ctime>
#include <opencv2/imgcodecs.hpp>
#include <utility>

// ---------------------------------------------------------------------------------------
// Snapshot

void QVideoPlay::setDealSnapshotSlots(QString qStrPath)
{
    QMutexLocker lock(&m_Mutex);
    QDir dir(qStrPath);
    if (qStrPath.isEmpty() || (!dir.exists() && !QDir().mkpath(qStrPath))) {
        lock.unlock();
        emit sendSnapshotResultSignals(2);
        return;
    }
    if (RecordSupport::isShortOfSpace(qStrPath)) {
        lock.unlock();
        emit sendSnapshotResultSignals(3);
        return;
    }
    const QString qStrFile = RecordSupport::freeFileName(qStrPath, RecordSupport::now(), ".jpg");
    const int nCode = writeSnapshot(qStrFile);
    lock.unlock();
    if (nCode == 0)
        emit sendSnapshotFileSignal(qStrFile);
    emit sendSnapshotResultSignals(nCode);
}

int QVideoPlay::writeSnapshot(const QString& qStrFile)
{
    if (m_nFrameWidth.load() < 1 || m_nFrameHeight.load() < 1 || !m_pWorkBuffer)
        return 1;
    // The size of what the work buffer holds now (after scale and rotation of the last frame),
    // which stays right even when the rotation was changed since that frame.
    const int W = m_nWorkWidth;
    const int H = m_nWorkHeight;
    if (W < 2 || H < 1)
        return 1;
    try {
        cv::Mat bgr = toBgr(m_pWorkBuffer, W, H);
        stampLogo(bgr);
        const std::vector<int> params = {cv::IMWRITE_JPEG_QUALITY, 100};
        return cv::imwrite(QFile::encodeName(qStrFile).toStdString(), bgr, params) ? 0 : 1;
    } catch (const cv::Exception& e) {
        qWarning("Snapshot not written: %s", e.what());
        return 1;
    }
}

// ---------------------------------------------------------------------------------------
// Recording set-up

void QVideoPlay::setSegmentLengthMs(int nMs)
{
    QMutexLocker lock(&m_Mutex);
    m_nSegmentMs = std::max(1, nMs);
}

void QVideoPlay::setRecordWatch(int nIntervalMs, int nStallMs)
{
    QMutexLocker lock(&m_Mutex);
    m_nWatchIntervalMs = std::max(0, nIntervalMs);
    m_nStallMs = std::max(1, nStallMs);
}

void QVideoPlay::setManualRecordDir(const QString& qStrDir)
{
    QMutexLocker lock(&m_Mutex);
    m_qStrManualDir = qStrDir;
}

void QVideoPlay::setAlarmRecordDir(const QString& qStrDir)
{
    QMutexLocker lock(&m_Mutex);
    m_qStrAlarmDir = qStrDir;
}

bool QVideoPlay::isRecording()
{
    QMutexLocker lock(&m_Mutex);
    return m_bManualRecording || m_bAlarmRecording;
}

QString QVideoPlay::recordDirForKind(int nKind)
{
    if (nKind == 1)
        return m_qStrAlarmDir.isEmpty() ? ConfigStore::getAlarmRecordPath() : m_qStrAlarmDir;
    return m_qStrManualDir.isEmpty() ? ConfigStore::getManualRecordPath() : m_qStrManualDir;
}

QVideoPlay::RecordNotices QVideoPlay::takeRecordNotices() { return std::exchange(m_Notices, RecordNotices()); }

void QVideoPlay::emitRecordNotices(const RecordNotices& notices)
{
    for (const QString& qStrFile : notices.files)
        emit sendRecordFileSignal(qStrFile);
    if (notices.nRecordResult >= 0)
        emit sendRecordResultSignals(notices.nRecordResult);
}

// ---------------------------------------------------------------------------------------
// Start and stop

int QVideoPlay::startRecordTo(const QString& qStrBaseDir)
{
    // The picture the next frame will show: doubled while super-resolution is on, turned
    // on its side for quarter turns (only a window-bound engine rotates).
    const int s = m_bSuperRes.load() ? 2 : 1;
    int W = s * m_nFrameWidth.load();
    int H = s * m_nFrameHeight.load();
    const int nDirection = g_nDirection.load();
    if (m_bRenderToWindow && (nDirection == 1 || nDirection == 3))
        std::swap(W, H);
    return startRecordTo(qStrBaseDir, W, H);
}

int QVideoPlay::startRecordTo(const QString& qStrBaseDir, int nWidth, int nHeight)
{
    if (m_nFrameWidth.load() < 1 || m_nFrameHeight.load() < 1)
        return 1;
    const QDateTime now = RecordSupport::now();
    // An empty base would put the day folder at the root of the file system.
    if (qStrBaseDir.isEmpty())
        return 2;
    const QString qStrDay = RecordSupport::dayFolder(qStrBaseDir, now);
    if (!ConfigStore::ensureDir(qStrDay))
        return 2;
    if (RecordSupport::isShortOfSpace(qStrBaseDir))
        return 3;

    closeEncoder();
    MavEncParam stParam = mavEncDefaultParam(nWidth, nHeight);
    if (MAV_P264_Enc_Open(&stParam, &m_pEncoder) < 0) {
        m_pEncoder = nullptr;
        return 1;
    }

    const QString qStrFile = RecordSupport::freeFileName(qStrDay, now, ".mp4");
    const StreamConvertorApi& api = streamConvertor();
    // On a failure below the encoder is closed at once: no recording runs to close it later.
    if (!api.Init()) {
        closeEncoder();
        return 1;
    }
    const QByteArray qPath = QFile::encodeName(qStrFile);
    void* hMuxer = nullptr;
    if (api.OpenFile(kStreamConvKindMp4, qPath.constData(), qPath.size(), &hMuxer) != 0) {
        api.Release();
        closeEncoder();
        return 1;
    }
    m_pMuxer = hMuxer;
    api.SetIntOption(m_pMuxer, "mp4_base_time", static_cast<int>(static_cast<uint32_t>(std::time(nullptr))));

    m_nRecWidth = nWidth;
    m_nRecHeight = nHeight;
    m_nLastRecordTick = videoTickCount();
    // Announced with its first picture: a segment that gets none is removed when it closes.
    m_qStrRecFile = qStrFile;

    // Children of the engine, so they follow it to its thread.
    if (!m_pSegmentTimer) {
        m_pSegmentTimer = new QTimer(this);
        // A coarse timer may be off by 5 %, half a minute on a ten-minute segment.
        m_pSegmentTimer->setTimerType(Qt::PreciseTimer);
        connect(m_pSegmentTimer, SIGNAL(timeout()), this, SLOT(setSubcontractRecordTimer()));
    }
    m_pSegmentTimer->start(m_nSegmentMs);
    if (!m_pWatchTimer) {
        m_pWatchTimer = new QTimer(this);
        connect(m_pWatchTimer, &QTimer::timeout, this, [this] {
            QMutexLocker lock(&m_Mutex);
            checkRecordingStream();
            const RecordNotices notices = takeRecordNotices();
            lock.unlock();
            emitRecordNotices(notices);
        });
    }
    if (m_nWatchIntervalMs > 0)
        m_pWatchTimer->start(m_nWatchIntervalMs);
    else
        m_pWatchTimer->stop();
    return 0;
}

void QVideoPlay::closeEncoder()
{
    if (m_pEncoder)
        MAV_P264_Enc_Close(m_pEncoder);
    m_pEncoder = nullptr;
}

void QVideoPlay::stopRecording()
{
    if (m_pSegmentTimer)
        m_pSegmentTimer->stop();
    if (m_pWatchTimer)
        m_pWatchTimer->stop();
    closeEncoder();
    if (m_pMuxer) {
        const StreamConvertorApi& api = streamConvertor();
        api.Finish(m_pMuxer);
        api.Close(m_pMuxer);
        api.Release();
        m_pMuxer = nullptr;
    }
    m_nRecWidth = 0;
    m_nRecHeight = 0;
    m_qStrRecFile.clear();
    m_bManualRecording = false;
    m_bAlarmRecording = false;
}

void QVideoPlay::setStartRecordSlots()
{
    QMutexLocker lock(&m_Mutex);
    // A recording that runs is finished first, so its file gets its index.
    if (m_bManualRecording || m_bAlarmRecording)
        stopRecording();
    const int nCode = startRecordTo(recordDirForKind(0));
    if (nCode == 0) {
        m_nRecordKind = 0;
        m_bManualRecording = true;
    }
    m_Notices.nRecordResult = nCode;
    const RecordNotices notices = takeRecordNotices();
    lock.unlock();
    emitRecordNotices(notices);
}

void QVideoPlay::setStopRecordSlots()
{
    QMutexLocker lock(&m_Mutex);
    stopRecording();
}

void QVideoPlay::setSubcontractRecordTimer()
{
    QMutexLocker lock(&m_Mutex);
    // A timeout that was already on its way when the recording stopped starts nothing.
    if (!m_bManualRecording && !m_bAlarmRecording)
        return;
    stopRecording();
    // A camera that stopped sending gets no new, empty segment.
    const bool bLost = uint32_t(videoTickCount() - m_nLastRecordTick) >= uint32_t(m_nStallMs);
    if (m_nRecordKind == 1) {
        if (!bLost && startRecordTo(recordDirForKind(1)) == 0)
            m_bAlarmRecording = true;
    } else if (m_nRecordKind == 0) {
        const int nCode = bLost ? 1 : startRecordTo(recordDirForKind(0));
        if (nCode == 0)
            m_bManualRecording = true;
        else
            m_Notices.nRecordResult = nCode;
    }
    const RecordNotices notices = takeRecordNotices();
    lock.unlock();
    emitRecordNotices(notices);
}

void QVideoPlay::setStartAlarmRecordSlots()
{
    QMutexLocker lock(&m_Mutex);
    const bool bManualWasOn = m_bManualRecording;
    if (m_bManualRecording || m_bAlarmRecording)
        stopRecording();
    if (startRecordTo(recordDirForKind(1)) == 0) {
        m_nRecordKind = 1;
        m_bAlarmRecording = true;
    }
    // The alarm took the place of the manual recording: the live view ends its recording
    // state with the alarm notice.
    if (bManualWasOn)
        m_Notices.nRecordResult = 4;
    const RecordNotices notices = takeRecordNotices();
    lock.unlock();
    emitRecordNotices(notices);
}

void QVideoPlay::checkRecordingStream()
{
    if (!m_bManualRecording && !m_bAlarmRecording) {
        if (m_pWatchTimer)
            m_pWatchTimer->stop();
        return;
    }
    if (uint32_t(videoTickCount() - m_nLastRecordTick) < uint32_t(m_nStallMs))
        return;
    // No frame for this long: the camera is gone. Finish the file now rather than leave it
    // open until someone presses stop.
    qWarning("Recording stopped: no frame for %d ms", m_nStallMs);
    const bool bManual = m_bManualRecording;
    stopRecording();
    if (bManual)
        m_Notices.nRecordResult = 1;
}

// ---------------------------------------------------------------------------------------
// Per-frame encoding

void QVideoPlay::encodeFrame(const unsigned char* pBuffer, int nWidth, int nHeight)
{
    if ((!m_bManualRecording && !m_bAlarmRecording) || !m_pEncoder || !pBuffer)
        return;
    m_nLastRecordTick = videoTickCount();

    if (nWidth != m_nRecWidth || nHeight != m_nRecHeight) {
        // Rotation or super-resolution was switched: the encoder keeps the size it was
        // opened with, so this segment ends here and the next one starts at the new size.
        const int nKind = m_bManualRecording ? 0 : 1;
        stopRecording();
        const int nCode = startRecordTo(recordDirForKind(nKind), nWidth, nHeight);
        if (nCode != 0) {
            if (nKind == 0)
                m_Notices.nRecordResult = nCode;
            return;
        }
        if (nKind == 0)
            m_bManualRecording = true;
        else
            m_bAlarmRecording = true;
    }

    const bool bConverted = RecordSupport::uyvyToI420Stamped(
        pBuffer, nWidth, nHeight, [this](cv::Mat& bgr) { stampLogo(bgr); }, m_RecordI420);
    if (!bConverted)
        return;

    const size_t nPixels = size_t(nWidth) * size_t(nHeight);
    MavEncPicture stPicture{};
    stPicture.pY = m_RecordI420.data();
    stPicture.pU = stPicture.pY + nPixels;
    stPicture.pV = stPicture.pU + nPixels / 4;
    stPicture.nWidth = nWidth;
    stPicture.nWidthQuarterU = nWidth / 4;
    stPicture.nWidthQuarterV = nWidth / 4;
    MavEncOutput stOutput;
    std::memset(&stOutput, 0, sizeof(stOutput));
    // A frame the encoder refuses is dropped; the next one carries on.
    if (MAV_P264_Enc_Start(m_pEncoder, &stPicture, &stOutput) == 0 && m_pMuxer && stOutput.pData &&
        stOutput.nDataLen > 0) {
        streamConvertor().WriteData(m_pMuxer, stOutput.pData, stOutput.nDataLen);
        if (streamConvertorLastError(m_pMuxer) == 0 && !m_qStrRecFile.isEmpty())
            m_Notices.files << std::exchange(m_qStrRecFile, QString());
        if (streamConvertorLastError(m_pMuxer) != 0) {
            // The disk is full or the folder went away: keep what is written playable and
            // tell the user instead of recording into nothing.
            qWarning("Recording stopped: the file can no longer be written");
            const bool bManual = m_bManualRecording;
            stopRecording();
            if (bManual)
                m_Notices.nRecordResult = 1;
        }
    }
    stOutput.pData = nullptr;
    stOutput.nDataLen = 0;
}
