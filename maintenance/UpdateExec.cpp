#include "maintenance/UpdateExec.h"

#include "device/CommandFrame.h"
#include "device/DeviceCommands.h"
#include "device/UsbCameraLink.h"
#include "maintenance/FirmwareImage.h"

#include <QDebug>
#include <QFile>
#include <QThread>
#include <algorithm>
#include <vector>

namespace {

constexpr int kBufferSize = CommandFrame::kFrameBufferSize;   // request and reply buffers
constexpr int kAttempts = 3;                                  // per chunk, around sendCommand

void sleepThread(int nMs)
{
    if (nMs > 0)
        QThread::msleep(static_cast<unsigned long>(nMs));
}

} // namespace

UpdateExec::UpdateExec(QObject* parent) : QObject(parent) {}

void UpdateExec::setSleepFunction(SleepFunction fn)
{
    QMutexLocker lock(&m_mutex);
    m_sleep = std::move(fn);
}

void UpdateExec::setRetryPauseMs(int nMs)
{
    QMutexLocker lock(&m_mutex);
    m_nRetryPauseMs = std::max(0, nMs);
}

void UpdateExec::setPollIntervalMs(int nMs)
{
    QMutexLocker lock(&m_mutex);
    m_nPollIntervalMs = std::max(0, nMs);
}

void UpdateExec::setInstallPolls(int nPolls)
{
    QMutexLocker lock(&m_mutex);
    m_nPolls = std::max(1, nPolls);
}

UpdateExec::Verdict UpdateExec::lastVerdict() const
{
    QMutexLocker lock(&m_mutex);
    return m_lastVerdict;
}

QString UpdateExec::verdictText(Verdict verdict)
{
    switch (verdict) {
    case Verdict::NotRun: return QStringLiteral("not checked");
    case Verdict::Passed: return QStringLiteral("passed");
    case Verdict::TooShort: return QStringLiteral("file shorter than %1 bytes").arg(Firmware::kMinFileSize);
    case Verdict::TooLarge: return QStringLiteral("file larger than %1 MiB").arg(Firmware::kMaxFileSize >> 20);
    case Verdict::ReadFailed: return QStringLiteral("file could not be read");
    case Verdict::CrcMismatch: return QStringLiteral("CRC-32 does not match");
    case Verdict::VersionQueryFailed: return QStringLiteral("camera did not report its software version");
    case Verdict::PlatformMismatch: return QStringLiteral("firmware is for another platform");
    case Verdict::PartNumberQueryFailed: return QStringLiteral("camera did not report its part number");
    case Verdict::SensorMismatch: return QStringLiteral("firmware is for another sensor");
    case Verdict::VariantMismatch: return QStringLiteral("firmware is for another variant");
    }
    return QString();
}

UpdateExec::Timing UpdateExec::timing() const
{
    QMutexLocker lock(&m_mutex);
    Timing t{m_sleep, m_nRetryPauseMs, m_nPollIntervalMs, m_nPolls};
    if (!t.sleep)
        t.sleep = sleepThread;
    return t;
}

void UpdateExec::setUpdateSlots(QString FilePath)
{
    const Timing t = timing();
    UsbCameraLink& link = UsbCameraLink::instance();
    auto setVerdict = [this](Verdict v) {
        QMutexLocker lock(&m_mutex);
        m_lastVerdict = v;
    };
    setVerdict(Verdict::NotRun);

    QFile file(FilePath);
    if (FilePath.isEmpty() || !file.open(QIODevice::ReadOnly)) {
        qWarning() << "Upgrade: cannot open" << FilePath;
        emit Send_Upgrade_Ret(false, CodeOpenFailed);
        return;
    }
    const qint64 nFileSize = file.size();
    Verdict verdict = Verdict::Passed;
    if (nFileSize < Firmware::kMinFileSize)
        verdict = Verdict::TooShort;
    else if (nFileSize > Firmware::kMaxFileSize)
        verdict = Verdict::TooLarge;
    else
        verdict = verify(file, nFileSize, link);
    setVerdict(verdict);
    if (verdict != Verdict::Passed) {
        qWarning() << "Upgrade: verification failed:" << verdictText(verdict);
        emit Send_Upgrade_Ret(false, CodeVerifyFailed);
        return;
    }

    const qint64 nImageLen = nFileSize - Firmware::kHeaderRegionSize;
    if (nImageLen <= 0) {
        // Nothing to write: sending an empty image would leave the camera waiting for data
        // that never comes, and claiming an install would be false.
        qWarning() << "Upgrade: the file holds no image after its header";
        emit Send_Upgrade_Ret(false, CodeNoImage);
        return;
    }

    const bool bWritten = writeImage(file, nImageLen, link, t);
    file.close();
    emit Send_Upgrade_Ret(bWritten, CodeWritten);
    if (!bWritten)
        return;

    if (waitForInstall(link, t)) {
        emit Send_Upgrade_Ret(true, CodeDone);
    } else {
        // The camera never said it installed the image; reporting success would be a guess.
        qWarning() << "Upgrade: the camera did not confirm the install";
        emit Send_Upgrade_Ret(false, CodeNotInstalled);
    }
}

UpdateExec::Verdict UpdateExec::verify(QFile& file, qint64 nFileSize, UsbCameraLink& link)
{
    uint8_t head[Firmware::kCheckFieldsEnd];
    if (!file.seek(0) || file.read(reinterpret_cast<char*>(head), sizeof(head)) != qint64(sizeof(head)))
        return Verdict::ReadFailed;
    Firmware::Header header;
    Firmware::parseHeader(head, sizeof(head), &header);

    uint32_t nCrc = 0;
    if (!Firmware::computeFileCrc(file, nFileSize, &nCrc))
        return Verdict::ReadFailed;
    if (nCrc != header.nCrc)
        return Verdict::CrcMismatch;

    std::vector<uint8_t> version(kBufferSize, 0);
    int nVersionLen = 0;
    if (!queryCommand(link, DeviceCmd::kCmdSoftwareVersion, nullptr, 0, version.data(), kBufferSize, &nVersionLen,
                      DeviceCmd::kDefaultTimeoutMs, -1, DeviceCmd::kSoftwareVersionBytes))
        return Verdict::VersionQueryFailed;

    std::vector<uint8_t> part(kBufferSize, 0);
    if (header.bSensorCheck) {
        int nPartLen = 0;
        if (!queryCommand(link, DeviceCmd::kCmdPartNumber, nullptr, 0, part.data(), kBufferSize, &nPartLen,
                          DeviceCmd::kDefaultTimeoutMs))
            return Verdict::PartNumberQueryFailed;
    }

    switch (Firmware::checkCamera(header, version.data(), DeviceCmd::kSoftwareVersionBytes, part.data(),
                                  DeviceCmd::kPartNumberBytes)) {
    case Firmware::CheckFailure::Platform: return Verdict::PlatformMismatch;
    case Firmware::CheckFailure::SensorClass: return Verdict::SensorMismatch;
    case Firmware::CheckFailure::Variant: return Verdict::VariantMismatch;
    case Firmware::CheckFailure::None: break;
    }
    return Verdict::Passed;
}

bool UpdateExec::writeImage(QFile& file, qint64 nImageLen, UsbCameraLink& link, const Timing& t)
{
    std::vector<uint8_t> request(kBufferSize, 0);
    std::vector<uint8_t> chunkData(Firmware::kChunkSize, 0);
    qint64 nOffset = 0;
    while (nOffset < nImageLen) {
        const int nChunk = int(std::min<qint64>(nImageLen - nOffset, Firmware::kChunkSize));
        // A short read would send whatever the buffer held: stop instead of corrupting the image.
        if (!file.seek(Firmware::kHeaderRegionSize + nOffset) ||
            file.read(reinterpret_cast<char*>(chunkData.data()), nChunk) != nChunk) {
            qWarning() << "Upgrade: reading the image failed at offset" << nOffset;
            return false;
        }
        const int nPayload = Firmware::buildChunkPayload(request.data(), uint32_t(nImageLen), uint32_t(nOffset),
                                                         chunkData.data(), nChunk);
        bool bSent = false;
        for (int nAttempt = 0; nAttempt < kAttempts && !bSent; ++nAttempt) {
            if (nAttempt > 0) {
                // A camera that left the bus will not come back within the retries.
                if (!link.bStreaming)
                    break;
                t.sleep(t.nRetryPauseMs);
            }
            bSent = sendCommand(link, DeviceCmd::kCmdGeneral, request.data(), nPayload,
                                DeviceCmd::kUpgradeChunkTimeoutMs);
        }
        if (!bSent) {
            qWarning() << "Upgrade: chunk at offset" << nOffset << "failed, status" << link.nLastStatus.load();
            return false;
        }
        nOffset += nChunk;
        emit Task_SetProgress(int(nOffset), int(nImageLen));
    }
    return true;
}

bool UpdateExec::waitForInstall(UsbCameraLink& link, const Timing& t)
{
    std::vector<uint8_t> reply(kPollReplyBytes, 0);
    const uint8_t payload[1] = {Firmware::kSubProgress};
    for (int nPoll = 0; nPoll < t.nPolls; ++nPoll) {
        int nLen = 0;
        if (queryCommand(link, DeviceCmd::kCmdGeneral, payload, sizeof(payload), reply.data(), kPollReplyBytes, &nLen,
                         DeviceCmd::kDefaultTimeoutMs, Firmware::kSubProgress)) {
            const int nProgress = reply[1] << 8 | reply[2];
            qDebug() << "Upgrade: install progress" << nProgress;
            emit sendInstallProgressSignal(nProgress);
            if (nProgress == Firmware::kInstallDone) {
                // The new software runs only after a restart; its answer is not needed.
                restartDevice(link, true);
                return true;
            }
        }
        if (nPoll + 1 < t.nPolls)
            t.sleep(t.nPollIntervalMs);
    }
    return false;
}
