#pragma once
// The live view's video engine run without a window, for the commands that save pictures:
// frames go through the whole shown-picture pipeline (gamma, palette, rotation and, on
// request, super-resolution) into a renderer that draws nothing, so what is saved is exactly
// what the client would have shown.

#include <QString>
#include <QThread>

class QCommandLineParser;
class QVideoPlay;

struct CliPictureOptions
{
    int nPalette = 0;        // palette id 0..13 (0 WhiteHot)
    int nRotate = 0;         // rotation state 0..3
    bool bSuperRes = false;  // the client's super-resolution stage (512 x 384 from 256 x 192)
};

// --palette, --rotate and --superres.
void addPictureOptions(QCommandLineParser& parser);
// False (with a message) for an unknown palette or a rotation out of range.
bool readPictureOptions(const QCommandLineParser& parser, CliPictureOptions* pOptions, QString* pError);

class CliPictureEngine
{
public:
    // Creates the engine on a thread of its own with the options applied. Call after the
    // camera is connected.
    explicit CliPictureEngine(const CliPictureOptions& options);
    ~CliPictureEngine();   // stops the thread; the engine finishes a running recording

    // Binds the engine to the camera and waits until nFrames frames have been processed
    // with the options in force. False when they do not come within nTimeoutMs.
    bool waitForFrames(int nFrames, int nTimeoutMs);

    QVideoPlay* engine() const { return m_pEngine; }

private:
    QThread m_thread;
    QVideoPlay* m_pEngine = nullptr;
};
