#pragma once
// Subcommand registry and shared conventions of thermava-cli. Each subcommand group lives in
// its own CliCmd*.cpp and registers itself with a static CliRegistrar.

#include <QString>
#include <QStringList>
#include <functional>
#include <vector>

class QCommandLineParser;

namespace CliExit {
constexpr int kOk = 0;
constexpr int kFailed = 1;          // the camera did not do what was asked
constexpr int kUsage = 2;           // bad command line
constexpr int kNoCamera = 3;        // no camera on the bus
constexpr int kCameraRefused = 4;   // a camera is there but it was not accepted
} // namespace CliExit

struct CliCommand
{
    QString name;
    QString summary;
    // Arguments after the subcommand name, with the program name in front (parser style).
    std::function<int(const QStringList& args)> run;
    bool bGui = false;   // draws text (fonts need a GUI application)
};

class CliRegistry
{
public:
    static void add(const CliCommand& command);
    static const std::vector<CliCommand>& commands();   // sorted by name
    static const CliCommand* find(const QString& name);
};

struct CliRegistrar
{
    CliRegistrar(const QString& name, const QString& summary, std::function<int(const QStringList&)> run,
                 bool bGui = false)
    {
        CliRegistry::add({name, summary, std::move(run), bGui});
    }
};

// Whether the command named on this command line draws text (see CliCommand::bGui).
bool cliNeedsGui(int argc, char** argv);

// One line on standard error, prefixed with the program name; returns nExit.
int cliFail(int nExit, const QString& message);
// Writes text to standard output as UTF-8.
void cliPrint(const QString& text);

// Parses args with the parser; on a bad command line reports it and returns false.
bool cliParse(QCommandLineParser& parser, const QStringList& args, int* pnExit);
