// thermava-cli config: read and write the client's settings (group GeneralConfig of Config.ini)
// without a window, for instance to choose the camera on a machine that has no display.

#include "CliCommand.h"

#include "app/ConfigStore.h"

#include <QCommandLineParser>

namespace {

int runConfig(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Read or write the client's settings.\n"
        "  path               print where Config.ini is\n"
        "  get KEY            print one setting (nothing when it is not set)\n"
        "  set KEY VALUE      write one setting"));
    parser.addPositionalArgument(QStringLiteral("action"), QStringLiteral("path, get or set"));
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    const QStringList words = parser.positionalArguments();
    const QString action = words.value(0);
    if (action == QLatin1String("path") && words.size() == 1) {
        cliPrint(ConfigStore::config()->fileName() + QLatin1Char('\n'));
        return CliExit::kOk;
    }
    if (action == QLatin1String("get") && words.size() == 2) {
        const QVariant value = ConfigStore::value(ConfigStore::kGeneralGroup, words[1]);
        if (value.isValid())
            cliPrint(value.toString() + QLatin1Char('\n'));
        return CliExit::kOk;
    }
    if (action == QLatin1String("set") && words.size() == 3) {
        ConfigStore::setValue(ConfigStore::kGeneralGroup, words[1], words[2]);
        QSettings* pStore = ConfigStore::config();
        pStore->sync();
        if (pStore->status() != QSettings::NoError)
            return cliFail(CliExit::kFailed, QStringLiteral("cannot write %1").arg(pStore->fileName()));
        return CliExit::kOk;
    }
    return cliFail(CliExit::kUsage, QStringLiteral("usage: thermava-cli config path | get KEY | set KEY VALUE"));
}

const CliRegistrar kConfig(QStringLiteral("config"),
                           QStringLiteral("Print where Config.ini is, read or write one of its settings"), runConfig);

} // namespace
