// thermava-cli upgrade FILE.bin: the client's firmware upgrade (same checks, same result
// codes) with a progress bar on the terminal; exit 0 only when the camera confirmed the
// install. thermava-cli restart: restarts the camera.

#include "CliCommand.h"
#include "CliSession.h"
#include "device/DeviceCommands.h"
#include "device/UsbCameraLink.h"
#include "maintenance/UpdateExec.h"

#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QThread>
#include <algorithm>
#include <cstdio>
#include <unistd.h>

namespace {

QString byteText(qint64 n)
{
    if (n >= 10 * 1024 * 1024)
        return QStringLiteral("%1 MiB").arg(double(n) / (1024.0 * 1024.0), 0, 'f', 1);
    if (n >= 10 * 1024)
        return QStringLiteral("%1 KiB").arg(double(n) / 1024.0, 0, 'f', 1);
    return QStringLiteral("%1 B").arg(n);
}

// One progress line on standard error: redrawn in place on a terminal, otherwise printed
// at every tenth so that logs stay short.
class ProgressLine
{
public:
    ProgressLine() : m_bTty(isatty(fileno(stderr)) != 0) { m_clock.start(); }

    void update(qint64 nDone, qint64 nTotal)
    {
        const int nPercent = nTotal > 0 ? int(nDone * 100 / nTotal) : 100;
        const double fSeconds = std::max(1e-3, double(m_clock.elapsed()) / 1000.0);
        const int nFilled = nPercent * kWidth / 100;
        const QString line = QStringLiteral("[%1%2] %3%  %4 / %5  %6/s")
                                 .arg(QString(nFilled, QLatin1Char('#')), QString(kWidth - nFilled, QLatin1Char('.')))
                                 .arg(nPercent, 3)
                                 .arg(byteText(nDone), byteText(nTotal), byteText(qint64(double(nDone) / fSeconds)));
        if (m_bTty) {
            std::fprintf(stderr, "\r%s", line.toLocal8Bit().constData());
        } else if (nPercent / 10 != m_nLastTenth || nDone == nTotal) {
            m_nLastTenth = nPercent / 10;
            std::fprintf(stderr, "%s\n", line.toLocal8Bit().constData());
        }
        m_bOpen = m_bTty;
        std::fflush(stderr);
    }

    // Ends a line drawn in place before anything else is printed.
    void finish()
    {
        if (m_bOpen)
            std::fputc('\n', stderr);
        m_bOpen = false;
        std::fflush(stderr);
    }

private:
    static constexpr int kWidth = 30;
    bool m_bTty;
    bool m_bOpen = false;
    int m_nLastTenth = -1;
    QElapsedTimer m_clock;
};

int runUpgrade(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Check a firmware file against the camera, write it, wait for the "
                                                    "install and restart the camera."));
    parser.addPositionalArgument(QStringLiteral("file"), QStringLiteral("Firmware file (.bin)."));
    parser.addOption({QStringLiteral("poll-interval"),
                      QStringLiteral("Pause between install polls in ms (default %1).").arg(UpdateExec::kPollIntervalMs),
                      QStringLiteral("ms")});
    parser.addOption({QStringLiteral("polls"),
                      QStringLiteral("Install polls before giving up (default %1).").arg(UpdateExec::kInstallPolls),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("retry-pause"),
                      QStringLiteral("Pause before a refused chunk is sent again in ms (default %1).")
                          .arg(UpdateExec::kRetryPauseMs),
                      QStringLiteral("ms")});
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (parser.positionalArguments().size() != 1)
        return cliFail(CliExit::kUsage, QStringLiteral("give exactly one firmware file"));
    const QString path = parser.positionalArguments().first();

    int nPollIntervalMs = UpdateExec::kPollIntervalMs;
    int nPolls = UpdateExec::kInstallPolls;
    int nRetryPauseMs = UpdateExec::kRetryPauseMs;
    CliConnectOptions options;
    QString error;
    if (!readInt(parser, QStringLiteral("poll-interval"), 0, 60000, &nPollIntervalMs, &error) ||
        !readInt(parser, QStringLiteral("polls"), 1, 100000, &nPolls, &error) ||
        !readInt(parser, QStringLiteral("retry-pause"), 0, 60000, &nRetryPauseMs, &error) ||
        !readConnectOptions(parser, &options, &error))
        return cliFail(CliExit::kUsage, error);

    CliSession session(options);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, error);

    UpdateExec worker;
    worker.setPollIntervalMs(nPollIntervalMs);
    worker.setInstallPolls(nPolls);
    worker.setRetryPauseMs(nRetryPauseMs);
    ProgressLine progress;
    qint64 nImageLen = 0;
    int nLastInstall = -1;
    bool bWritten = false;
    bool bFinished = false;
    int nCode = 0;
    QObject::connect(&worker, &UpdateExec::Task_SetProgress, [&](int nOffset, int nMax) {
        nImageLen = nMax;
        progress.update(nOffset, nMax);
    });
    QObject::connect(&worker, &UpdateExec::sendInstallProgressSignal, [&](int nPercent) {
        if (nPercent != nLastInstall)
            cliPrint(QStringLiteral("installing: %1%\n").arg(nPercent));
        nLastInstall = nPercent;
    });
    QObject::connect(&worker, &UpdateExec::Send_Upgrade_Ret, [&](bool bRes, int nErr) {
        progress.finish();
        if (bRes && nErr == UpdateExec::CodeWritten) {
            bWritten = true;
            cliPrint(QStringLiteral("image written (%1 bytes); waiting for the camera to install it\n").arg(nImageLen));
            return;
        }
        bFinished = bRes;
        nCode = nErr;
    });
    cliPrint(QStringLiteral("checking %1\n").arg(path));
    // Called directly: the run blocks until the camera is done, as the worker thread would.
    worker.setUpdateSlots(path);
    session.disconnect();

    if (bFinished) {
        cliPrint(QStringLiteral("upgrade complete: the camera installed the image and is restarting\n"));
        return CliExit::kOk;
    }
    switch (nCode) {
    case UpdateExec::CodeWritten:
        return cliFail(CliExit::kFailed, QStringLiteral("writing the image failed (result -1, camera status %1)")
                                             .arg(UsbCameraLink::instance().nLastStatus.load()));
    case UpdateExec::CodeOpenFailed:
        return cliFail(CliExit::kFailed, QStringLiteral("cannot open %1 (result -2)").arg(path));
    case UpdateExec::CodeVerifyFailed:
        return cliFail(CliExit::kFailed, QStringLiteral("file verification failed: %1 (result -3)")
                                             .arg(UpdateExec::verdictText(worker.lastVerdict())));
    case UpdateExec::CodeNoImage:
        return cliFail(CliExit::kFailed, QStringLiteral("the file holds no image after its 131072-byte header; "
                                                        "nothing was sent (result -4)"));
    case UpdateExec::CodeNotInstalled:
        return cliFail(CliExit::kFailed, QStringLiteral("the camera did not confirm the install after %1 polls "
                                                        "(last reported %2%) (result -5)")
                                             .arg(nPolls)
                                             .arg(nLastInstall));
    default:
        break;
    }
    return cliFail(CliExit::kFailed, QStringLiteral("upgrade failed (result %1)%2")
                                         .arg(nCode)
                                         .arg(bWritten ? QStringLiteral(" after the image was written") : QString()));
}

int runRestart(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Restart the camera."));
    parser.addOption({QStringLiteral("wait"),
                      QStringLiteral("Wait up to this many seconds for the camera to come back."),
                      QStringLiteral("seconds")});
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    int nWaitSeconds = 0;
    CliConnectOptions options;
    QString error;
    if (!readInt(parser, QStringLiteral("wait"), 1, 3600, &nWaitSeconds, &error) ||
        !readConnectOptions(parser, &options, &error))
        return cliFail(CliExit::kUsage, error);

    {
        CliSession session(options);
        nExit = session.connect(&error);
        if (nExit != CliExit::kOk)
            return cliFail(nExit, error);
        UsbCameraLink& link = UsbCameraLink::instance();
        if (!restartDevice(link, false))
            return cliFail(CliExit::kFailed, QStringLiteral("the camera did not accept the restart command (status %1)")
                                                 .arg(link.nLastStatus.load()));
        cliPrint(QStringLiteral("restart command accepted\n"));
    }
    if (nWaitSeconds == 0)
        return CliExit::kOk;

    // Give the camera time to leave the bus before looking for it again.
    QThread::msleep(1000);
    CliConnectOptions again;
    again.nPasses = nWaitSeconds;
    again.nIntervalMs = 1000;
    CliSession session(again);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, QStringLiteral("the camera did not come back: %1").arg(error));
    cliPrint(QStringLiteral("the camera is back\n"));
    return CliExit::kOk;
}

const CliRegistrar kUpgrade(QStringLiteral("upgrade"),
                            QStringLiteral("Write a firmware file (.bin) into the camera and restart it"), runUpgrade);
const CliRegistrar kRestart(QStringLiteral("restart"), QStringLiteral("Restart the camera"), runRestart);

} // namespace
