// thermava-cli sim reset | factory: the simulated camera's power plug, for every program that
// uses it. reset power-cycles it: it leaves the bus for its restart time, and its working
// tables go back to the saved ones. factory also clears what it saved and its installed
// software first.

#include "CliCommand.h"
#include "platform/simcam/SimCamera.h"

#include <QCommandLineParser>
#include <chrono>
#include <thread>

namespace {

int runSim(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Power-cycle the simulated camera (reset), or clear its saved "
                                                    "tables and installed software and power-cycle it (factory)."));
    parser.addPositionalArgument(QStringLiteral("action"), QStringLiteral("reset or factory"));
    const QCommandLineOption noWait(QStringLiteral("no-wait"),
                                    QStringLiteral("Return at once instead of waiting until the camera is back."));
    parser.addOption(noWait);
    int nExit = CliExit::kOk;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    const QStringList actions = parser.positionalArguments();
    if (actions.size() != 1 || (actions[0] != QLatin1String("reset") && actions[0] != QLatin1String("factory")))
        return cliFail(CliExit::kUsage, QStringLiteral("expected 'sim reset' or 'sim factory'"));

    SimCamera& camera = SimCamera::instance();
    if (camera.isPrivate())
        return cliFail(CliExit::kFailed, QStringLiteral("THERMAVA_SIM makes the simulated camera private to each "
                                                        "program: there is no shared camera to power-cycle"));
    if (camera.stateFile().empty())
        return cliFail(CliExit::kFailed, QStringLiteral("the simulated camera's state folder cannot be used"));
    const bool bFactory = actions[0] == QLatin1String("factory");
    camera.cutPower(bFactory);
    cliPrint(bFactory ? QStringLiteral("simulated camera back to its factory state, restarting\n")
                      : QStringLiteral("simulated camera power-cycled, restarting\n"));
    if (parser.isSet(noWait))
        return CliExit::kOk;
    while (!camera.isPresent())
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
    cliPrint(QStringLiteral("simulated camera is back on the bus\n"));
    return CliExit::kOk;
}

const CliRegistrar kSim(QStringLiteral("sim"), QStringLiteral("Power-cycle the simulated camera or clear its saved state"),
                        runSim);

} // namespace
