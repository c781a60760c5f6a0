// thermava-cli snapshot: one JPEG of the picture the client would show (palette, rotation,
// super-resolution, logo), written by the video engine's own snapshot code, with the frame's
// temperatures in its comment segments; on request also a 32-bit float TIFF of them.

#include "CliCommand.h"
#include "CliMeasure.h"
#include "CliPictureEngine.h"
#include "CliSession.h"
#include "app/ConfigStore.h"
#include "device/QDevCommExec.h"
#include "device/UsbCameraLink.h"
#include "measure/SnapshotMeta.h"
#include "measure/TiffWriter.h"
#include "video/QVideoPlay.h"

#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
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
    parser.addOption({QStringLiteral("radiometric"),
                      QStringLiteral("Also write FILE.tiff: every pixel's temperature in Celsius as 32-bit floats, "
                                     "same size and orientation as the picture.")});
    addMeasureOptions(parser, false);
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    CliPictureOptions picture;
    CliConnectOptions options;
    QString error;
    CliMeasureOptions measure;
    if (!readPictureOptions(parser, &picture, &error) || !readConnectOptions(parser, &options, &error)
        || !readMeasureOptions(parser, false, &measure, &error))
        return cliFail(CliExit::kUsage, error);
    const bool bRadiometric = parser.isSet(QStringLiteral("radiometric"));
    // The live view saves into a folder per day below the configured one.
    const QString qStrDir = parser.isSet(QStringLiteral("output"))
                                ? QDir::cleanPath(parser.value(QStringLiteral("output")))
                                : ConfigStore::getManualSnapshotPath() + "/" + ConfigStore::getDateName();

    CliSession session(options);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, error);

    SnapshotMeta::Context context;
    {
        DeviceInformation info;
        QObject::connect(&session.exec(), &QDevCommExec::sendGetDeviceInfoRetSignal,
                         [&info](const DeviceInformation& received) { info = received; });
        session.exec().getDeviveInfoSlot();
        context.qStrPart = info.strDevPart.isEmpty() ? QString::fromLatin1(UsbCameraLink::instance().lastPartNumber())
                                                     : info.strDevPart;
        context.qStrSerial = info.strDevSn;
    }
    context.nPalette = picture.nPalette;
    context.nRotation = picture.nRotate;
    context.emissivity = measure.emissivity;
    SnapshotMeta::Annotator annotator;
    annotator.setContext(context);

    int nCode = -1;
    QString qStrFile;
    QString qStrMetaError;
    QVector<float> temperatures;
    QSize pictureSize;
    {
        CliPictureEngine run(picture);
        CliFrameTap tap(run.engine());
        if (!run.waitForFrames(kSettleFrames, kFrameTimeoutMs))
            return cliFail(CliExit::kFailed, QStringLiteral("the camera sent no frames"));
        QEventLoop loop;
        // Runs on the engine's thread right after the file is written, before the next frame:
        // the last sample is the frame in the picture.
        QObject::connect(
            run.engine(), &QVideoPlay::sendSnapshotFileSignal, run.engine(),
            [&](const QString& qStrPath) {
                qStrFile = qStrPath;
                const Measure::SampledFrame frame = tap.latest();
                if (!annotator.annotate(qStrPath, frame, run.engine()->pictureHasItems(), &qStrMetaError) &&
                    qStrMetaError.isEmpty())
                    qStrMetaError = QStringLiteral("the temperatures could not be added");
                if (bRadiometric)
                    temperatures = SnapshotMeta::pictureTemperatures(frame, measure.emissivity, picture.nRotate,
                                                                     &pictureSize);
            },
            Qt::DirectConnection);
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
    if (!qStrMetaError.isEmpty())
        return cliFail(CliExit::kFailed, QStringLiteral("%1: %2").arg(QDir::toNativeSeparators(qStrFile), qStrMetaError));
    cliPrint(QDir::toNativeSeparators(qStrFile) + QLatin1Char('\n'));
    if (bRadiometric) {
        const QFileInfo fi(qStrFile);
        const QString qStrTiff = fi.path() + QLatin1Char('/') + fi.completeBaseName() + QStringLiteral(".tiff");
        if (temperatures.isEmpty()
            || !TiffWriter::writeFloat32(qStrTiff, temperatures, pictureSize.width(), pictureSize.height(),
                                         QString(), &error))
            return cliFail(CliExit::kFailed, QStringLiteral("the temperature file was not written: %1")
                                                 .arg(error.isEmpty() ? QStringLiteral("no frame") : error));
        cliPrint(QDir::toNativeSeparators(qStrTiff) + QLatin1Char('\n'));
    }
    return CliExit::kOk;
}

const CliRegistrar kSnapshot(QStringLiteral("snapshot"),
                             QStringLiteral("Save one JPEG of the live picture and print its path "
                                            "(-o DIR, --palette, --rotate, --superres, --radiometric)"),
                             runSnapshot);

} // namespace
