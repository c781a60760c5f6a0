// thermava-cli dump: the camera's stream exactly as the library delivers it, into a file that
// a bug report can carry and that "--camera replay:FILE" plays back.

#include "CliCommand.h"
#include "CliSession.h"
#include "device/UsbCameraLink.h"
#include "platform/camlib/CameraLibrary.h"
#include "platform/replay/ReplayDump.h"

#include <QCommandLineParser>
#include <QSaveFile>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>

namespace {

constexpr int kFrameTimeoutMs = 5000;   // longest wait for the next frame

struct Intake
{
    std::mutex m;
    std::condition_variable cv;
    std::deque<ReplayDumpFrame> frames;
    std::chrono::steady_clock::time_point start;
    bool bStarted = false;
    bool bOpen = true;   // cleared before the stream stops: late frames are ignored

    // On the library's callback thread: copy and go.
    static int receive(int, int, unsigned char* pData, int nLength, void* pUser)
    {
        auto* pSelf = static_cast<Intake*>(pUser);
        if (!pData || nLength < 1)
            return -1;
        const auto now = std::chrono::steady_clock::now();
        std::lock_guard<std::mutex> lk(pSelf->m);
        if (!pSelf->bOpen)
            return 0;
        if (!pSelf->bStarted) {
            pSelf->start = now;
            pSelf->bStarted = true;
        }
        const auto nUs = std::chrono::duration_cast<std::chrono::microseconds>(now - pSelf->start).count();
        pSelf->frames.push_back({uint64_t(nUs), std::vector<uint8_t>(pData, pData + nLength)});
        pSelf->cv.notify_all();
        return 0;
    }
};

bool writeAll(QSaveFile& file, const std::vector<uint8_t>& bytes)
{
    return file.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size())) == qint64(bytes.size());
}

int runDump(const QStringList& args)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "Record the camera's stream exactly as received, with each frame's time, for a bug report "
        "or for --camera replay:FILE."));
    parser.addOption({QStringLiteral("frames"), QStringLiteral("Frames to record (default 50)."), QStringLiteral("n")});
    parser.addOption({{QStringLiteral("o"), QStringLiteral("output")}, QStringLiteral("The dump file to write."),
                      QStringLiteral("FILE")});
    addConnectOptions(parser);
    int nExit = 0;
    if (!cliParse(parser, args, &nExit))
        return nExit;
    if (!parser.positionalArguments().isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("unexpected argument \"%1\"").arg(parser.positionalArguments().first()));
    int nFrames = 50;
    CliConnectOptions options;
    QString error;
    if (!readInt(parser, QStringLiteral("frames"), 1, 100000, &nFrames, &error) || !readConnectOptions(parser, &options, &error))
        return cliFail(CliExit::kUsage, error);
    if (parser.value(QStringLiteral("output")).isEmpty())
        return cliFail(CliExit::kUsage, QStringLiteral("-o FILE names the dump to write"));
    QSaveFile file(parser.value(QStringLiteral("output")));
    if (!file.open(QIODevice::WriteOnly))
        return cliFail(CliExit::kFailed, QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));

    // Declared before the session: the stream, closed by the session, must not outlive it.
    Intake intake;
    CliSession session(options);
    nExit = session.connect(&error);
    if (nExit != CliExit::kOk)
        return cliFail(nExit, error);

    UsbCameraLink& link = UsbCameraLink::instance();
    ReplayDumpHeader header;
    header.nImageWidth = link.nWidth;
    header.nImageHeight = link.nHeight;
    header.bDoubleWidth = link.bDoubleWidth != 0;
    header.nStreamWidth = link.nWidth * (header.bDoubleWidth ? 2 : 1);
    header.nFrameCount = uint32_t(nFrames);
    header.partNumber = link.lastPartNumber().toStdString();
    // The frame rate and the stream's height are known once the frames are in.
    bool bWritten = writeAll(file, ReplayDump::encodeHeader(header));

    // The library hands its frames to the dump instead of the link.
    if (cameraLibrary().RegisterUSBStreamCallBack(link.nCamID, &Intake::receive, &intake) == -1)
        return cliFail(CliExit::kFailed, QStringLiteral("the camera's stream could not be started"));
    uint64_t nFirstUs = 0;
    uint64_t nLastUs = 0;
    QString failure;
    for (int i = 0; i < nFrames && bWritten && failure.isEmpty(); ++i) {
        ReplayDumpFrame frame;
        {
            std::unique_lock<std::mutex> lk(intake.m);
            if (!intake.cv.wait_for(lk, std::chrono::milliseconds(kFrameTimeoutMs), [&] { return !intake.frames.empty(); })) {
                failure = QStringLiteral("the camera sent %1 of %2 frames, then nothing for %3 s")
                              .arg(i).arg(nFrames).arg(kFrameTimeoutMs / 1000);
                break;
            }
            frame = std::move(intake.frames.front());
            intake.frames.pop_front();
        }
        if (i == 0) {
            nFirstUs = frame.nTimeUs;
            header.nStreamHeight = int(frame.bytes.size() / size_t(header.nStreamWidth * 2));
        }
        nLastUs = frame.nTimeUs;
        bWritten = writeAll(file, ReplayDump::encodeFrameHead(frame.nTimeUs - nFirstUs, uint32_t(frame.bytes.size())))
                   && writeAll(file, frame.bytes);
    }
    {
        std::lock_guard<std::mutex> lk(intake.m);
        intake.bOpen = false;
    }
    session.disconnect();
    if (!failure.isEmpty())
        return cliFail(CliExit::kFailed, failure);

    // Frames per second over the recorded span; one frame alone keeps the camera's usual 25.
    header.nFrameRateMilli = nLastUs > nFirstUs ? uint32_t(uint64_t(nFrames - 1) * 1000000000ull / (nLastUs - nFirstUs))
                                                : 25000u;
    bWritten = bWritten && file.seek(0) && writeAll(file, ReplayDump::encodeHeader(header));
    if (!bWritten || !file.commit())
        return cliFail(CliExit::kFailed, QStringLiteral("cannot write %1: %2").arg(file.fileName(), file.errorString()));
    cliPrint(QStringLiteral("%1 frames of %2x%3 (image %4x%5%6) at %7 fps from %8 into %9\n")
                 .arg(nFrames)
                 .arg(header.nStreamWidth)
                 .arg(header.nStreamHeight)
                 .arg(header.nImageWidth)
                 .arg(header.nImageHeight)
                 .arg(header.bDoubleWidth ? QStringLiteral(", double width") : QString())
                 .arg(header.nFrameRateMilli / 1000.0, 0, 'f', 1)
                 .arg(header.partNumber.empty() ? QStringLiteral("an unidentified camera")
                                                : QString::fromStdString(header.partNumber))
                 .arg(file.fileName()));
    return CliExit::kOk;
}

const CliRegistrar kDump(QStringLiteral("dump"),
                         QStringLiteral("Record the stream exactly as received (--frames N -o FILE)"), runDump);

} // namespace
