#pragma once
// Connects to the camera the way the client does (the command executor's connect sequence)
// and keeps the connection for the life of the object.

#include "device/QDevCommExec.h"

#include <QString>
#include <memory>

class QCommandLineParser;

struct CliConnectOptions
{
    int nPasses = QDevCommExec::kConnectPasses;
    int nIntervalMs = QDevCommExec::kConnectPassIntervalMs;
    QString camera;   // --camera; null when not given
};

// The camera choice given before the subcommand ("thermava-cli --camera VALUE <command>").
void setCliCameraChoice(const QString& choice);

// --passes, --interval and --camera, shared by every subcommand that talks to the camera.
void addConnectOptions(QCommandLineParser& parser);
// Reads an integer option when it is given; false (with a message) when it is not a whole
// number from nMin to nMax. *pnValue is left alone when the option is absent.
bool readInt(const QCommandLineParser& parser, const QString& name, int nMin, int nMax, int* pnValue, QString* pError);
// False (with a message) when a value is not a number in range.
bool readConnectOptions(const QCommandLineParser& parser, CliConnectOptions* pOptions, QString* pError);

class CliSession
{
public:
    explicit CliSession(const CliConnectOptions& options);
    ~CliSession();   // disconnects

    // Binds the chosen camera (--camera, else THERMAVA_CAMERA, else the "Camera" setting) and
    // runs the connect sequence. Returns CliExit::kOk, kUsage (a bad choice), kNoCamera or
    // kCameraRefused; on failure *pError says why in one line.
    int connect(QString* pError);
    void disconnect();

    QDevCommExec& exec() { return *m_exec; }

private:
    CliConnectOptions m_options;
    std::unique_ptr<QDevCommExec> m_exec;
    bool m_bConnected = false;
};
