// thermava-cli info: the camera's identity and the two capability flags.

#include "CliCommand.h"
#include "CliSession.h"
#include "device/DeviceCommands.h"
#include "device/UsbCameraLink.h"
#include "platform/camlib/CameraBackend.h"

#include <QCommandLineParser>
#include <QJsonDocument>
#include <QJsonObject>

namespace {

int runInfo(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Print the connected camera's identity and capabilities."));
    parser.addOption({QStringLiteral("json"), QStringLiteral("Print one JSON object instead of text.")});
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    CliConnectOptions options;
    QString error;
    if (!readConnectOptions(parser, &options, &error))
        return cliFail(CliExit::kUsage, error);

    CliSession session(options);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, error);

    DeviceInformation info;
    QObject::connect(&session.exec(), &QDevCommExec::sendGetDeviceInfoRetSignal,
                     [&info](const DeviceInformation& received) { info = received; });
    session.exec().getDeviveInfoSlot();
    const UsbCameraLink& link = UsbCameraLink::instance();
    const bool bSuperRes = link.szCapability[DeviceCmd::kCapSuperRes] != 0;
    const bool bLowTemp = link.szCapability[DeviceCmd::kCapLowTempGear] != 0;
    const QString version = softwareVersionForDisplay(info.strSwVer);
    const CameraBackendDescription backend = cameraBackendEvents().describe();
    session.disconnect();

    if (parser.isSet(QStringLiteral("json"))) {
        QJsonObject obj;
        obj.insert(QStringLiteral("partNumber"), info.strDevPart);
        obj.insert(QStringLiteral("serialNumber"), info.strDevSn);
        obj.insert(QStringLiteral("resolution"), info.strDevRes);
        obj.insert(QStringLiteral("softwareVersion"), version);
        obj.insert(QStringLiteral("superResolution"), bSuperRes);
        obj.insert(QStringLiteral("lowTemperatureGears"), bLowTemp);
        obj.insert(QStringLiteral("backend"), QString::fromStdString(backend.backend));
        obj.insert(QStringLiteral("device"), QString::fromStdString(backend.device));
        obj.insert(QStringLiteral("transport"), QString::fromStdString(backend.transport));
        // Stream frames that did not fit the geometry set up at connect.
        obj.insert(QStringLiteral("droppedFrames"), qint64(link.droppedFrameCount()));
        cliPrint(QString::fromUtf8(QJsonDocument(obj).toJson(QJsonDocument::Compact)) + QLatin1Char('\n'));
    } else {
        const auto yesNo = [](bool b) { return b ? QStringLiteral("yes") : QStringLiteral("no"); };
        cliPrint(QStringLiteral("Part number:           %1\n"
                                "Serial number:         %2\n"
                                "Resolution:            %3\n"
                                "Software version:      %4\n"
                                "Super-resolution mode: %5\n"
                                "Low-temperature gears: %6\n")
                     .arg(info.strDevPart, info.strDevSn, info.strDevRes, version, yesNo(bSuperRes), yesNo(bLowTemp)));
    }

    if (backend.bStreamOnly)
        return cliFail(CliExit::kFailed, QStringLiteral("stream only: camera commands unavailable, so the camera "
                                                        "cannot report its identity (picture and temperatures work)"));
    QStringList missing;
    if (info.strDevPart.isEmpty())
        missing << QStringLiteral("part number");
    if (info.strDevSn.isEmpty())
        missing << QStringLiteral("serial number");
    if (info.strDevRes.isEmpty())
        missing << QStringLiteral("resolution");
    if (info.strSwVer.isEmpty())
        missing << QStringLiteral("software version");
    if (!missing.isEmpty())
        return cliFail(CliExit::kFailed, QStringLiteral("the camera did not report its %1").arg(missing.join(QStringLiteral(", "))));
    return CliExit::kOk;
}

const CliRegistrar kInfo(QStringLiteral("info"), QStringLiteral("Print part number, serial number, resolution, "
                                                                "software version and capabilities"),
                         runInfo);

} // namespace
