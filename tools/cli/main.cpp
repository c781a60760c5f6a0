// thermava-cli: headless access to the camera through the client's own device code.

#include "CliCommand.h"
#include "CliSession.h"

#include "app/Version.h"
#include "device/UsbCameraLink.h"

#include <QCoreApplication>
#include <QGuiApplication>
#include <memory>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <thread>

namespace {

bool g_bVerbose = false;

// SIGINT and SIGTERM: every wait on the camera gives up, so the command ends on its own
// within a receive slice; should it not have ended within kStopGraceMs (it was not waiting
// on the camera), the process ends there.
constexpr int kStopGraceMs = 1500;
std::atomic<int> g_nStopSignal{0};

extern "C" void onCliStopSignal(int nSignal) { g_nStopSignal = nSignal; }

void watchStopSignals()
{
    std::signal(SIGINT, onCliStopSignal);
    std::signal(SIGTERM, onCliStopSignal);
    std::thread([] {
        while (g_nStopSignal.load() == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        UsbCameraLink::instance().cancelWaits(true);
        std::this_thread::sleep_for(std::chrono::milliseconds(kStopGraceMs));
        std::fprintf(stderr, "thermava-cli: stopped by signal %d\n", g_nStopSignal.load());
        std::fflush(nullptr);
        std::_Exit(128 + g_nStopSignal.load());
    }).detach();
}

// The device code logs its steps as debug lines; a tool prints them only on request.
void messageHandler(QtMsgType type, const QMessageLogContext&, const QString& message)
{
    if (type == QtDebugMsg && !g_bVerbose)
        return;
    std::fprintf(stderr, "%s\n", message.toLocal8Bit().constData());
}

QString usage()
{
    QString text = QStringLiteral("Usage: thermava-cli [--verbose] [--version] [--camera CHOICE] <command> [options]\n\n"
                                  "CHOICE: auto (default), sim, /dev/videoN[,options] or replay:FILE\n\nCommands:\n");
    for (const CliCommand& command : CliRegistry::commands())
        text += QStringLiteral("  %1  %2\n").arg(command.name, -10).arg(command.summary);
    text += QStringLiteral("\nRun 'thermava-cli <command> --help' for the options of a command.\n");
    return text;
}

} // namespace

int main(int argc, char** argv)
{
    qInstallMessageHandler(messageHandler);
    // The report draws text, and fonts need a GUI application; offscreen, as nothing is shown.
    std::unique_ptr<QCoreApplication> pApp;
    if (cliNeedsGui(argc, argv)) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        pApp.reset(new QGuiApplication(argc, argv));
    } else {
        pApp.reset(new QCoreApplication(argc, argv));
    }
    QCoreApplication::setApplicationName(QStringLiteral("thermava-cli"));

    QStringList args = QCoreApplication::arguments();
    args.removeFirst();
    while (!args.isEmpty() && args.first().startsWith(QLatin1Char('-'))) {
        const QString option = args.takeFirst();
        if (option == QLatin1String("-v") || option == QLatin1String("--verbose")) {
            g_bVerbose = true;
        } else if (option == QLatin1String("--camera") && !args.isEmpty()) {
            setCliCameraChoice(args.takeFirst());
        } else if (option.startsWith(QLatin1String("--camera="))) {
            setCliCameraChoice(option.mid(9));
        } else if (option == QLatin1String("-h") || option == QLatin1String("--help")) {
            cliPrint(usage());
            return CliExit::kOk;
        } else if (option == QLatin1String("--version")) {
            cliPrint(QStringLiteral("thermava-cli %1\n").arg(QString::fromLatin1(thermavaVersion())));
            return CliExit::kOk;
        } else {
            cliPrint(usage());
            return cliFail(CliExit::kUsage, QStringLiteral("unknown option \"%1\"").arg(option));
        }
    }
    if (args.isEmpty()) {
        std::fputs(usage().toLocal8Bit().constData(), stderr);
        return CliExit::kUsage;
    }
    const QString name = args.takeFirst();
    const CliCommand* pCommand = CliRegistry::find(name);
    if (!pCommand)
        return cliFail(CliExit::kUsage, QStringLiteral("unknown command \"%1\" (try --help)").arg(name));
    args.prepend(QStringLiteral("thermava-cli %1").arg(name));
    watchStopSignals();
    const int nExit = pCommand->run(args);
    return g_nStopSignal.load() != 0 ? 128 + g_nStopSignal.load() : nExit;
}
