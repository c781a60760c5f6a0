#include "CliCommand.h"

#include <QCommandLineParser>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>
#include <cstring>

namespace {

std::vector<CliCommand>& registry()
{
    static std::vector<CliCommand> commands;
    return commands;
}

} // namespace

void CliRegistry::add(const CliCommand& command)
{
    auto& commands = registry();
    const auto pos = std::lower_bound(commands.begin(), commands.end(), command,
                                      [](const CliCommand& a, const CliCommand& b) { return a.name < b.name; });
    commands.insert(pos, command);
}

const std::vector<CliCommand>& CliRegistry::commands() { return registry(); }

const CliCommand* CliRegistry::find(const QString& name)
{
    for (const CliCommand& command : registry()) {
        if (command.name == name)
            return &command;
    }
    return nullptr;
}

bool cliNeedsGui(int argc, char** argv)
{
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--camera") == 0) {
            ++i;   // its value
            continue;
        }
        if (argv[i][0] == '-')
            continue;
        const CliCommand* pCommand = CliRegistry::find(QString::fromLocal8Bit(argv[i]));
        return pCommand && pCommand->bGui;
    }
    return false;
}

int cliFail(int nExit, const QString& message)
{
    std::fprintf(stderr, "thermava-cli: %s\n", message.toLocal8Bit().constData());
    std::fflush(stderr);
    return nExit;
}

void cliPrint(const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    std::fwrite(bytes.constData(), 1, static_cast<size_t>(bytes.size()), stdout);
    std::fflush(stdout);
}

bool cliParse(QCommandLineParser& parser, const QStringList& args, int* pnExit)
{
    parser.addHelpOption();
    if (!parser.parse(args)) {
        *pnExit = cliFail(CliExit::kUsage, parser.errorText());
        return false;
    }
    if (parser.isSet(QStringLiteral("help"))) {
        // The parser names the executable; name the subcommand instead.
        QString text = parser.helpText();
        text.replace(QRegularExpression(QStringLiteral("^Usage: \\S+")), QStringLiteral("Usage: ") + args.value(0));
        cliPrint(text);
        *pnExit = CliExit::kOk;
        return false;
    }
    return true;
}
