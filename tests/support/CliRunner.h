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

// Runs the tool to its end with THERMAVA_SIM set to simConfig (left unset when empty). A run
// that takes longer than nTimeoutMs is killed, so a hung tool fails its test instead of
// outliving it.
CliRun runCli(const QStringList& args, const QString& simConfig = QString(), int nTimeoutMs = 120000);

} // namespace TestSupport
