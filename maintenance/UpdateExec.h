#pragma once
// The firmware upgrade worker. One run (setUpdateSlots) checks the file against its CRC and
// against the connected camera, writes the image in chunks, waits for the camera to report
// the install finished, and restarts the camera. It blocks its thread from start to end and
// talks to the camera directly through the link.
//
// Results (Send_Upgrade_Ret):
//   (true, -1)   every chunk is written, the camera is installing
//   (true, 0)    the camera reported the install complete and was restarted
//   (false, -1)  writing a chunk failed
//   (false, -2)  the file could not be opened
//   (false, -3)  the file failed its checks (too short, too large, CRC, camera checks)
//   (false, -4)  the file passed its checks but holds no image; nothing was sent
//   (false, -5)  the image was written but the camera never confirmed the install

#include <QMutex>
#include <QObject>
#include <QString>
#include <functional>

class QFile;
class UsbCameraLink;

class UpdateExec : public QObject
{
    Q_OBJECT

public:
    enum ResultCode
    {
        CodeDone = 0,
        CodeWritten = -1,        // with true: installing; with false: a chunk failed
        CodeOpenFailed = -2,
        CodeVerifyFailed = -3,
        CodeNoImage = -4,
        CodeNotInstalled = -5,
    };

    // Why the last verification failed; Passed after a file that passed.
    enum class Verdict
    {
        NotRun,
        Passed,
        TooShort,
        TooLarge,
        ReadFailed,
        CrcMismatch,
        VersionQueryFailed,
        PlatformMismatch,
        PartNumberQueryFailed,
        SensorMismatch,
        VariantMismatch,
    };

    static constexpr int kRetryPauseMs = 1000;
    static constexpr int kInstallPolls = 101;
    static constexpr int kPollIntervalMs = 1000;
    static constexpr int kPollReplyBytes = 8192;

    explicit UpdateExec(QObject* parent = nullptr);

    // Pauses go through this function (default: sleep the calling thread); tests record
    // them instead of waiting. The pause after a failed chunk and between install polls,
    // and the number of polls, can be changed as well. Thread-safe; a run reads them once.
    using SleepFunction = std::function<void(int nMs)>;
    void setSleepFunction(SleepFunction fn);
    void setRetryPauseMs(int nMs);
    void setPollIntervalMs(int nMs);
    void setInstallPolls(int nPolls);

    Verdict lastVerdict() const;
    static QString verdictText(Verdict verdict);

signals:
    void Task_SetProgress(int offset, int Maxlen);
    void Send_Upgrade_Ret(bool res, int Err);
    // Each install poll the camera answered, with the percentage it reported (tools show it).
    void sendInstallProgressSignal(int nPercent);

public slots:
    void setUpdateSlots(QString FilePath);

private:
    struct Timing
    {
        SleepFunction sleep;
        int nRetryPauseMs;
        int nPollIntervalMs;
        int nPolls;
    };
    Timing timing() const;
    Verdict verify(QFile& file, qint64 nFileSize, UsbCameraLink& link);
    bool writeImage(QFile& file, qint64 nImageLen, UsbCameraLink& link, const Timing& t);
    bool waitForInstall(UsbCameraLink& link, const Timing& t);

    mutable QMutex m_mutex;
    SleepFunction m_sleep;
    int m_nRetryPauseMs = kRetryPauseMs;
    int m_nPollIntervalMs = kPollIntervalMs;
    int m_nPolls = kInstallPolls;
    Verdict m_lastVerdict = Verdict::NotRun;
};
