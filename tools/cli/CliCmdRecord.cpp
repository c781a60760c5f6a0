// thermava-cli record: an H.264 MP4 recording of the picture the client would show, made by
// the video engine's own recording code (day folders, segments, logo). Each segment's path is
// printed as its file is opened, so a caller knows the files even if the run is cut short.

#include "CliCommand.h"
#include "CliPictureEngine.h"
#include "CliSession.h"
#include "video/QVideoPlay.h"

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QFileInfo>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <csignal>

namespace {

constexpr int kSettleFrames = 3;
constexpr int kFrameTimeoutMs = 10000;
constexpr int kStartTimeoutMs = 30000;

std::atomic<int> g_nStopSignal{0};

extern "C" void onStopSignal(int nSignal) { g_nStopSignal = nSignal; }

QString recordFailure(int nCode)
{
    switch (nCode) {
    case 1: return QStringLiteral("no picture from the camera, or the encoder or the file could not be opened or written");
    case 2: return QStringLiteral("the record folder cannot be created");
    case 3: return QStringLiteral("less than 5 GiB free on the record folder's disk");
    default: return QStringLiteral("the recording failed (code %1)").arg(nCode);
    }
}

bool readSeconds(const QCommandLineParser& parser, const QString& name, double* pfSeconds, QString* pError)
{
    bool bOk = false;
    const double f = parser.value(name).toDouble(&bOk);
    if (!bOk || !(f > 0.0) || f > 86400.0) {
        *pError = QStringLiteral("--%1 needs a number of seconds above 0 and up to 86400").arg(name);
        return false;
    }
    *pfSeconds = f;
    return true;
}

int runRecord(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Record the live picture as the client would (H.264 in MP4, logo included, day folders, "
        "segments) and print the path of every file."));
    parser.addOption({QStringLiteral("seconds"), QStringLiteral("How long to record."), QStringLiteral("N")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QStringLiteral("Folder that receives the day folders (default: the configured record folder)."),
                      QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("segment-seconds"),
                      QStringLiteral("Length of one file (default 600, ten minutes)."), QStringLiteral("S")});
    addPictureOptions(parser);
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    if (!parser.isSet(QStringLiteral("seconds")))
        return cliFail(CliExit::kUsage, QStringLiteral("--seconds N is required"));
    double fSeconds = 0.0;
    double fSegment = 600.0;
    CliPictureOptions picture;
    CliConnectOptions options;
    QString error;
    if (!readSeconds(parser, QStringLiteral("seconds"), &fSeconds, &error) ||
        (parser.isSet(QStringLiteral("segment-seconds")) &&
         !readSeconds(parser, QStringLiteral("segment-seconds"), &fSegment, &error)) ||
        !readPictureOptions(parser, &picture, &error) || !readConnectOptions(parser, &options, &error))
        return cliFail(CliExit::kUsage, error);
    const QString qStrDir =
        parser.isSet(QStringLiteral("output")) ? QDir::cleanPath(parser.value(QStringLiteral("output"))) : QString();

    CliSession session(options);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, error);

    int nFailure = -1;       // a code other than 0 from the engine
    bool bStarted = false;
    QStringList files;
    {
        CliPictureEngine run(picture);
        QVideoPlay* pEngine = run.engine();
        pEngine->setManualRecordDir(qStrDir);
        pEngine->setSegmentLengthMs(int(std::lround(fSegment * 1000.0)));
        if (!run.waitForFrames(kSettleFrames, kFrameTimeoutMs))
            return cliFail(CliExit::kFailed, QStringLiteral("the camera sent no frames"));

        QEventLoop loop;
        QTimer duration;
        duration.setSingleShot(true);
        // A coarse timer may fire up to 5 % early, which a recording's length would show.
        duration.setTimerType(Qt::PreciseTimer);
        QObject::connect(&duration, &QTimer::timeout, &loop, &QEventLoop::quit);
        QObject::connect(pEngine, &QVideoPlay::sendRecordFileSignal, &loop, [&files](const QString& qStrPath) {
            files << qStrPath;
            cliPrint(QDir::toNativeSeparators(qStrPath) + QLatin1Char('\n'));
        });
        QObject::connect(pEngine, &QVideoPlay::sendRecordResultSignals, &loop, [&](int nCode) {
            if (nCode == 0 && !bStarted) {
                bStarted = true;
                // Counted from the moment the recording runs.
                duration.start(int(std::lround(fSeconds * 1000.0)));
                return;
            }
            if (nCode != 0) {
                nFailure = nCode;
                loop.quit();
            }
        });
        // Ctrl+C or a polite kill ends the recording early with a finished file.
        g_nStopSignal = 0;
        std::signal(SIGINT, onStopSignal);
        std::signal(SIGTERM, onStopSignal);
        QTimer signalPoll;
        QObject::connect(&signalPoll, &QTimer::timeout, &loop, [&] {
            if (g_nStopSignal.load())
                loop.quit();
        });
        signalPoll.start(100);
        QTimer::singleShot(kStartTimeoutMs, &loop, [&] {
            if (!bStarted)
                loop.quit();
        });

        QMetaObject::invokeMethod(pEngine, "setStartRecordSlots", Qt::QueuedConnection);
        loop.exec();
        QMetaObject::invokeMethod(pEngine, "setStopRecordSlots", Qt::BlockingQueuedConnection);
        std::signal(SIGINT, SIG_DFL);
        std::signal(SIGTERM, SIG_DFL);
    }
    session.disconnect();

    // A segment that began just as the recording ended may have got no picture; the writer
    // does not keep such a file.
    for (const QString& qStrFile : files) {
        if (!QFileInfo::exists(qStrFile))
            cliFail(CliExit::kOk, QStringLiteral("%1 got no picture and was not kept").arg(QDir::toNativeSeparators(qStrFile)));
    }
    if (nFailure > 0)
        return cliFail(CliExit::kFailed, bStarted ? QStringLiteral("recording stopped: ") + recordFailure(nFailure)
                                                  : recordFailure(nFailure));
    if (!bStarted)
        return cliFail(CliExit::kFailed, QStringLiteral("the recording did not start"));
    if (g_nStopSignal.load())
        return cliFail(CliExit::kFailed, QStringLiteral("interrupted; the files above are complete up to that moment"));
    return CliExit::kOk;
}

const CliRegistrar kRecord(QStringLiteral("record"),
                           QStringLiteral("Record the live picture to H.264 MP4 files and print their paths "
                                          "(--seconds N, -o DIR, --segment-seconds S, --palette, --rotate, --superres)"),
                           runRecord);

} // namespace
