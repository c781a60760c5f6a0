#include "support/CliRunner.h"

#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QProcess>

namespace TestSupport {

QString cliPath() { return QCoreApplication::applicationDirPath() + QStringLiteral("/../bin/thermava-cli"); }

namespace {

CliRun run(const QString& program, const QStringList& args, const QString& simConfig, int nTimeoutMs,
           const QString& fakeConfig = QString())
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"THERMAVA_SIM", "THERMAVA_FAKECAM", "THERMAVA_CAMERA", "THERMAVA_SYSFS_ROOT", "LD_PRELOAD"})
        env.remove(QString::fromLatin1(name));
    // Tests run side by side: each run gets a camera of its own unless it names the state
    // folder of a camera it shares with other runs.
    env.insert(QStringLiteral("THERMAVA_SIM"), simConfig.contains(QLatin1String("statedir="))
                                                   ? simConfig
                                                   : QStringLiteral("private;") + simConfig);
    if (!fakeConfig.isNull()) {
        env.insert(QStringLiteral("THERMAVA_FAKECAM"), fakeConfig);
        env.insert(QStringLiteral("THERMAVA_BUILD_DIR"), QCoreApplication::applicationDirPath() + QStringLiteral("/.."));
    }
    process.setProcessEnvironment(env);
    process.start(program, args);
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

} // namespace

CliRun runCli(const QStringList& args, const QString& simConfig, int nTimeoutMs)
{
    return run(cliPath(), args, simConfig, nTimeoutMs);
}

QString fakeCamScript()
{
    const QString lib = QCoreApplication::applicationDirPath() + QStringLiteral("/libthermava-fakecam.so");
    const QString script = sourceDir() + QStringLiteral("/scripts/fakecam.sh");
    return QFileInfo::exists(lib) && QFileInfo::exists(script) ? script : QString();
}

CliRun runOnFakeCam(const QString& program, const QStringList& args, const QString& fakeConfig, const QString& simConfig,
                    int nTimeoutMs)
{
    return run(fakeCamScript(), QStringList{program} + args, simConfig, nTimeoutMs, fakeConfig.isNull() ? "" : fakeConfig);
}

} // namespace TestSupport
