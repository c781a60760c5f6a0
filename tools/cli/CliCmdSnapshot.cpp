// thermava-cli snapshot: one JPEG of the picture the client would show (palette, rotation,
// super-resolution, logo), written by the video engine's own snapshot code.

#include "CliCommand.h"
#include "CliPictureEngine.h"
#include "CliSession.h"
#include "app/ConfigStore.h"
#include "video/QVideoPlay.h"

#include <QCommandLineParser>
#include <QDir>
#include <QEventLoop>
#include <QTimer>

namespace {

constexpr int kSettleFrames = 3;          // frames processed with the options before saving
constexpr int kFrameTimeoutMs = 10000;
constexpr int kResultTimeoutMs = 30000;

QString snapshotFailure(int nCode)
{
    switch (nCode) {
    case 1: return QStringLiteral("no picture to save, or the file could not be written");
    case 2: return QStringLiteral("the folder does not exist and cannot be created");
    case 3: return QStringLiteral("less than 5 GiB free on the folder's disk");
    default: return QStringLiteral("the snapshot failed (code %1)").arg(nCode);
    }
}

int runSnapshot(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Save one JPEG of the live picture as the client would (logo included) and print its path."));
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")},
                      QStringLiteral("Folder for the picture (default: the configured snapshot folder and "
                                     "today's date under it)."),
                      QStringLiteral("DIR")});
    addPictureOptions(parser);
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    CliPictureOptions picture;
    CliConnectOptions options;
    QString error;
    if (!readPictureOptions(parser, &picture, &error) || !readConnectOptions(parser, &options, &error))
        return cliFail(CliExit::kUsage, error);
    // The live view saves into a folder per day below the configured one.
    const QString qStrDir = parser.isSet(QStringLiteral("output"))
                                ? QDir::cleanPath(parser.value(QStringLiteral("output")))
                                : ConfigStore::getManualSnapshotPath() + "/" + ConfigStore::getDateName();

    CliSession session(options);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, error);

    int nCode = -1;
    QString qStrFile;
    {
        CliPictureEngine run(picture);
        if (!run.waitForFrames(kSettleFrames, kFrameTimeoutMs))
            return cliFail(CliExit::kFailed, QStringLiteral("the camera sent no frames"));
        QEventLoop loop;
        QObject::connect(run.engine(), &QVideoPlay::sendSnapshotFileSignal, &loop,
                         [&](const QString& qStrPath) { qStrFile = qStrPath; });
        QObject::connect(run.engine(), &QVideoPlay::sendSnapshotResultSignals, &loop, [&](int n) {
            nCode = n;
            loop.quit();
        });
        QMetaObject::invokeMethod(run.engine(), "setDealSnapshotSlots", Qt::QueuedConnection, Q_ARG(QString, qStrDir));
        QTimer::singleShot(kResultTimeoutMs, &loop, &QEventLoop::quit);
        loop.exec();
    }
    session.disconnect();

    if (nCode < 0)
        return cliFail(CliExit::kFailed, QStringLiteral("the snapshot did not finish"));
    if (nCode != 0)
        return cliFail(CliExit::kFailed, snapshotFailure(nCode));
    cliPrint(QDir::toNativeSeparators(qStrFile) + QLatin1Char('\n'));
    return CliExit::kOk;
}

const CliRegistrar kSnapshot(QStringLiteral("snapshot"),
                             QStringLiteral("Save one JPEG of the live picture and print its path "
                                            "(-o DIR, --palette, --rotate, --superres)"),
                             runSnapshot);

} // namespace
