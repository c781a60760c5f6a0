#pragma once
// Runs thermava-cli as a separate process against its own simulated camera, for the tests of
// the command-line tool.

#include <QString>
#include <QStringList>

namespace TestSupport {

struct CliRun
{
    int nExit = -1;   // -1 when the tool crashed, was killed or ran past the time-out
    QString out;
    QString err;
};

// Where the build puts the tool, seen from a test executable.
QString cliPath();

// Runs the tool to its end with THERMAVA_SIM set to simConfig, on a camera private to the run
// unless simConfig holds statedir=FOLDER (a camera shared by the runs that name it). A run
// that takes longer than nTimeoutMs is killed, so a hung tool fails its test instead of
// outliving it.
CliRun runCli(const QStringList& args, const QString& simConfig = QString(), int nTimeoutMs = 120000);

// The emulated camera (scripts/fakecam.sh with the preload library of this build tree), for
// runs through the V4L2 backend. Empty when the library is not built.
QString fakeCamScript();
// Runs program with args under the emulated camera: THERMAVA_FAKECAM set to fakeConfig,
// THERMAVA_SIM to simConfig (the simulated camera behind it), THERMAVA_CAMERA to its node.
CliRun runOnFakeCam(const QString& program, const QStringList& args, const QString& fakeConfig,
                    const QString& simConfig = QString(), int nTimeoutMs = 120000);
inline CliRun runCliOnFakeCam(const QStringList& args, const QString& fakeConfig, const QString& simConfig = QString(),
                              int nTimeoutMs = 120000)
{
    return runOnFakeCam(cliPath(), args, fakeConfig, simConfig, nTimeoutMs);
}

} // namespace TestSupport
