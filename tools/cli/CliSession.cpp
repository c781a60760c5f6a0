#include "CliSession.h"

#include "CliCommand.h"
#include "app/ConfigStore.h"
#include "device/UsbCameraLink.h"
#include "platform/camlib/CameraBackend.h"
#include "platform/camlib/CameraChoice.h"

#include <QCommandLineParser>
#include <algorithm>

namespace {

QString g_cameraChoice;   // null: not given before the subcommand

QString chosenCamera(const CliConnectOptions& options)
{
    if (!options.camera.isNull())
        return options.camera;
    if (!g_cameraChoice.isNull())
        return g_cameraChoice;
    if (qEnvironmentVariableIsSet("THERMAVA_CAMERA"))
        return qEnvironmentVariable("THERMAVA_CAMERA");
    return ConfigStore::value(ConfigStore::kGeneralGroup, QStringLiteral("Camera")).toString();
}

// Why the backend could not reach the camera (a missing permission, a camera held by another
// program), or empty.
QString backendError() { return QString::fromStdString(cameraBackendEvents().describe().lastError); }

QString refusalReason()
{
    const UsbCameraLink& link = UsbCameraLink::instance();
    const QString part = QString::fromLatin1(link.lastPartNumber());
    switch (link.lastOpenFailure()) {
    case UsbCameraLink::OpenFailure::NoCamera:
        return QStringLiteral("no camera found");
    case UsbCameraLink::OpenFailure::OpenRefused:
        if (!backendError().isEmpty())
            return backendError();
        return QStringLiteral("a camera was found but could not be opened (is another program using it?)");
    case UsbCameraLink::OpenFailure::PartNumberQuery:
        return part.isEmpty() ? QStringLiteral("camera refused: it did not report its part number")
                              : QStringLiteral("camera refused: its part number \"%1\" is incomplete").arg(part);
    case UsbCameraLink::OpenFailure::PartNumberRefused:
        return QStringLiteral("camera refused: part number \"%1\" is not a supported model").arg(part);
    case UsbCameraLink::OpenFailure::ImageWidth:
        return QStringLiteral("camera refused: it reports an unsupported image width");
    case UsbCameraLink::OpenFailure::StreamGeometry:
        return QStringLiteral("camera refused: its stream format is impossible (%1)").arg(link.lastOpenDetail());
    case UsbCameraLink::OpenFailure::StreamInit:
        if (!backendError().isEmpty())
            return QStringLiteral("camera refused: ") + backendError();
        return QStringLiteral("camera refused: its video stream could not be started");
    case UsbCameraLink::OpenFailure::Capability:
        return QStringLiteral("camera refused: it did not report its capabilities");
    case UsbCameraLink::OpenFailure::OutOfMemory:
        return QStringLiteral("camera refused: out of memory");
    case UsbCameraLink::OpenFailure::None:
        break;
    }
    return QStringLiteral("camera refused");
}

} // namespace

void setCliCameraChoice(const QString& choice) { g_cameraChoice = choice; }

bool readInt(const QCommandLineParser& parser, const QString& name, int nMin, int nMax, int* pnValue, QString* pError)
{
    if (!parser.isSet(name))
        return true;
    bool bOk = false;
    const int nValue = parser.value(name).toInt(&bOk);
    if (!bOk || nValue < nMin || nValue > nMax) {
        *pError = QStringLiteral("--%1 takes a whole number from %2 to %3").arg(name).arg(nMin).arg(nMax);
        return false;
    }
    *pnValue = nValue;
    return true;
}

void addConnectOptions(QCommandLineParser& parser)
{
    parser.addOption({QStringLiteral("passes"),
                      QStringLiteral("Connect passes before giving up (default %1).").arg(QDevCommExec::kConnectPasses),
                      QStringLiteral("n")});
    parser.addOption({QStringLiteral("interval"),
                      QStringLiteral("Pause after each connect pass in ms (default %1).")
                          .arg(QDevCommExec::kConnectPassIntervalMs),
                      QStringLiteral("ms")});
    parser.addOption({QStringLiteral("camera"),
                      QStringLiteral("auto (default), sim, /dev/videoN[,options] or replay:FILE."),
                      QStringLiteral("choice")});
}

bool readConnectOptions(const QCommandLineParser& parser, CliConnectOptions* pOptions, QString* pError)
{
    if (parser.isSet(QStringLiteral("camera")))
        pOptions->camera = parser.value(QStringLiteral("camera"));
    return readInt(parser, QStringLiteral("passes"), 1, 1000, &pOptions->nPasses, pError) &&
           readInt(parser, QStringLiteral("interval"), 0, 60000, &pOptions->nIntervalMs, pError);
}

CliSession::CliSession(const CliConnectOptions& options) : m_options(options), m_exec(new QDevCommExec)
{
    m_exec->setConnectPasses(options.nPasses);
    m_exec->setConnectPassInterval(options.nIntervalMs);
    // Passes asked for explicitly may take longer than the window's 20 s.
    m_exec->setConnectBudgetMs(std::max(QDevCommExec::kConnectBudgetMs, options.nPasses * options.nIntervalMs));
}

CliSession::~CliSession() { disconnect(); }

int CliSession::connect(QString* pError)
{
    std::string bindError;
    if (!bindCameraChoice(chosenCamera(m_options).toStdString(), &bindError)) {
        *pError = QString::fromStdString(bindError);
        return CliExit::kUsage;
    }
    bool bFound = false;
    bool bOpened = false;
    QObject::connect(m_exec.get(), &QDevCommExec::sendDevConnectRetSignal, [&](int nStep, bool bSuccess) {
        if (nStep == QDevCommExec::ConnectFound)
            bFound = true;
        if (bSuccess)
            bOpened = true;
    });
    // Called directly: the tool has no other work while it connects.
    m_exec->setDevConnectSlot();
    QObject::disconnect(m_exec.get(), &QDevCommExec::sendDevConnectRetSignal, nullptr, nullptr);

    if (bOpened && UsbCameraLink::instance().bStreaming) {
        m_bConnected = true;
        return CliExit::kOk;
    }
    // A stop signal ended the waits: the camera did nothing wrong.
    if (UsbCameraLink::instance().waitsCancelled()) {
        *pError = QStringLiteral("stopped while connecting");
        return CliExit::kFailed;
    }
    if (!bFound) {
        if (!backendError().isEmpty()) {
            *pError = backendError();
            return CliExit::kNoCamera;
        }
        *pError = QStringLiteral("no camera found (searched %1 time%2)")
                      .arg(m_options.nPasses)
                      .arg(m_options.nPasses == 1 ? QString() : QStringLiteral("s"));
        return CliExit::kNoCamera;
    }
    *pError = refusalReason();
    return CliExit::kCameraRefused;
}

void CliSession::disconnect()
{
    if (!m_bConnected)
        return;
    m_bConnected = false;
    m_exec->setDevDisconnectSlot();
}
