#include "support/CliRunner.h"

#include <QCoreApplication>
#include <QProcess>

namespace TestSupport {

QString cliPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/thermava-cli"); }

CliRun runCli(const QStringList& args, const QString& simConfig, int nTimeoutMs)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("THERMAVA_SIM"));
    if (!simConfig.isEmpty())
        env.insert(QStringLiteral("THERMAVA_SIM"), simConfig);
    process.setProcessEnvironment(env);
    process.start(cliPath(), args);
    CliRun r;
    if (!process.waitForFinished(nTimeoutMs)) {
        process.kill();
        process.waitForFinished();
        r.err = QString::fromUtf8(process.readAllStandardError());
        return r;
    }
    r.nExit = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    r.out = QString::fromUtf8(process.readAllStandardOutput());
    r.err = QString::fromUtf8(process.readAllStandardError());
    return r;
}

} // namespace TestSupport
