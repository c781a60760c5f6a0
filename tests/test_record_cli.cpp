// thermava-cli record and snapshot against the simulated camera, as separate processes:
// segments that follow each other, a recording killed outright that still plays, the size a
// snapshot gets from rotation and super-resolution, the logo, the same through the V4L2 backend
// on the emulated camera, a stream dump of the simulated camera played back as a camera and
// dumped again from there, and bad command lines.
#include "platform/replay/ReplayDump.h"
#include "platform/simcam/SimFrameFormat.h"
#include "support/CliRunner.h"
#include "support/MediaProbe.h"
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <opencv2/imgcodecs.hpp>

namespace {

using TestSupport::cliPath;

// Runs the tool to its end; returns stdout lines, fills the exit code.
QStringList runCli(const QStringList& args, int* pnExit, int nTimeoutMs = 120000)
{
    const TestSupport::CliRun r = TestSupport::runCli(args, "seed=5", nTimeoutMs);
    *pnExit = r.nExit;
    if (r.nExit != 0)
        qWarning("%s", qPrintable(r.err));
    return r.out.split('\n', Qt::SkipEmptyParts);
}

std::string readDump(const QString& path, ReplayDumpHeader& header, std::vector<ReplayDumpFrame>& frames)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return "unreadable";
    const QByteArray bytes = file.readAll();
    return ReplayDump::parse(std::vector<uint8_t>(bytes.begin(), bytes.end()), header, frames);
}

} // namespace

class TestRecordCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFileInfo::exists(cliPath()), "thermava-cli is part of the build: build it before its tests");
    }

    void recordCutsSegments()
    {
        QTemporaryDir dir;
        int nExit = 0;
        const QStringList files =
            runCli({"record", "--seconds", "2.5", "--segment-seconds", "1", "-o", dir.path(), "--interval", "50"}, &nExit);
        QCOMPARE(nExit, 0);
        QCOMPARE(files.size(), 3);
        double fTotal = 0;
        for (int i = 0; i < files.size(); ++i) {
            QVERIFY2(files[i].startsWith(dir.path() + "/"), qPrintable(files[i]));
            if (i > 0)
                QVERIFY(QFileInfo(files[i]).fileName() > QFileInfo(files[i - 1]).fileName());
            const TestSupport::MediaInfo info = TestSupport::probeMedia(files[i]);
            QVERIFY2(info.bOpened, qPrintable(info.qStrError));
            QCOMPARE(info.qStrCodec, QString("h264"));
            QCOMPARE(info.nWidth, 256);
            QCOMPARE(info.nHeight, 192);
            QCOMPARE(info.nDecodeErrors, 0);
            fTotal += info.fDurationSec;
        }
        // The segments together cover the time recorded (frames arrive at 25 per second).
        QVERIFY2(std::abs(fTotal - 2.5) < 0.25, qPrintable(QString::number(fTotal)));
    }

    void killedRecordingStillPlays()
    {
        QTemporaryDir dir;
        QProcess cli;
        cli.start(cliPath(), {"record", "--seconds", "60", "-o", dir.path(), "--interval", "50"});
        QVERIFY(cli.waitForStarted());
        QElapsedTimer waited;
        waited.start();
        QString qStrFile;
        while (qStrFile.isEmpty() && waited.elapsed() < 30000) {
            cli.waitForReadyRead(200);
            qStrFile = QString::fromUtf8(cli.readLine()).trimmed();
        }
        QVERIFY(!qStrFile.isEmpty());
        // Killed once a few seconds are in the file.
        while (QFileInfo(qStrFile).size() < 60000 && waited.elapsed() < 60000)
            QTest::qWait(100);
        cli.kill();   // SIGKILL: nothing gets to finish the file
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitStatus(), QProcess::CrashExit);

        const TestSupport::MediaInfo info = TestSupport::probeMedia(qStrFile);
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QCOMPARE(info.qStrCodec, QString("h264"));
        QVERIFY2(info.nFrameCount >= 25, qPrintable(QString::number(info.nFrameCount)));
        QVERIFY(info.nDecodeErrors <= 1);   // at most the picture the kill cut in two
    }

    void recordWithSuperResolution()
    {
        QTemporaryDir dir;
        int nExit = 0;
        const QStringList files =
            runCli({"record", "--seconds", "1", "--superres", "--palette", "rainbow", "-o", dir.path(), "--interval", "50"},
                   &nExit);
        QCOMPARE(nExit, 0);
        QCOMPARE(files.size(), 1);
        const TestSupport::MediaInfo info = TestSupport::probeMedia(files[0]);
        QCOMPARE(QSize(info.nWidth, info.nHeight), QSize(512, 384));
        QVERIFY(info.nFrameCount > 5);
    }

    void snapshotSizesAndLogo()
    {
        QTemporaryDir dir;
        struct Case
        {
            QStringList args;
            QSize size;
        };
        const Case cases[] = {{{}, {256, 192}}, {{"--rotate", "1"}, {192, 256}}, {{"--rotate", "1", "--superres"}, {384, 512}}};
        for (const Case& c : cases) {
            int nExit = 0;
            const QStringList out = runCli(QStringList{"snapshot", "-o", dir.path(), "--interval", "50"} + c.args, &nExit);
            QCOMPARE(nExit, 0);
            QCOMPARE(out.size(), 1);
            const cv::Mat shot = cv::imread(QFile::encodeName(out[0]).toStdString());
            QCOMPARE(QSize(shot.cols, shot.rows), c.size);
            // WhiteHot is grey; only the logo in the top-left corner has colour.
            auto colour = [&](int x, int y) {
                const cv::Vec3b p = shot.at<cv::Vec3b>(y, x);
                return std::max({p[0], p[1], p[2]}) - std::min({p[0], p[1], p[2]});
            };
            int nColouredInLogo = 0, nColouredElsewhere = 0;
            const int nLogo = c.size.width() > 256 || c.size.height() > 256 ? 50 : 25;
            for (int y = 0; y < shot.rows; ++y) {
                for (int x = 0; x < shot.cols; ++x) {
                    const bool bInLogo = x >= 10 && x < 10 + nLogo && y >= 10 && y < 10 + nLogo;
                    const bool bNearLogo = x < 10 + nLogo + 16 && y < 10 + nLogo + 16;
                    if (colour(x, y) > 60) {
                        if (bInLogo)
                            ++nColouredInLogo;
                        else if (!bNearLogo)
                            ++nColouredElsewhere;
                    }
                }
            }
            QVERIFY2(nColouredInLogo > nLogo * nLogo / 10, qPrintable(QString::number(nColouredInLogo)));
            QCOMPARE(nColouredElsewhere, 0);
        }
    }

    // Through the V4L2 backend on the emulated camera: the snapshot is the simulated camera's own
    // picture (pixel order and padding undone, the image cut out of the double-width rows), and
    // a recording plays.
    void snapshotAndRecordThroughTheV4l2Backend()
    {
        if (TestSupport::fakeCamScript().isEmpty())
            QSKIP("the emulated camera is not built in this tree");
        QTemporaryDir dir;
        int nExit = 0;
        const QStringList direct = runCli({"snapshot", "-o", dir.path(), "--interval", "50"}, &nExit);
        QCOMPARE(nExit, 0);
        TestSupport::CliRun r = TestSupport::runCliOnFakeCam({"snapshot", "-o", dir.path(), "--interval", "50"},
                                                             "transport=xu;format=yuyv;pad=40", "seed=5");
        QVERIFY2(r.nExit == 0, qPrintable(r.err));
        const cv::Mat a = cv::imread(QFile::encodeName(direct.value(0)).toStdString(), cv::IMREAD_GRAYSCALE);
        const cv::Mat b = cv::imread(QFile::encodeName(r.out.trimmed()).toStdString(), cv::IMREAD_GRAYSCALE);
        QCOMPARE(QSize(b.cols, b.rows), QSize(256, 192));
        QCOMPARE(QSize(a.cols, a.rows), QSize(256, 192));
        // The scene moves a little between the two runs; a wrong layout differs everywhere.
        const double fDiff = cv::norm(a, b, cv::NORM_L1) / double(a.total());
        QVERIFY2(fDiff < 8.0, qPrintable(QString("mean difference %1 grey levels").arg(fDiff)));

        r = TestSupport::runCliOnFakeCam({"record", "--seconds", "1", "-o", dir.path(), "--interval", "50"}, "transport=bulk",
                                         "seed=5");
        QVERIFY2(r.nExit == 0, qPrintable(r.err));
        const TestSupport::MediaInfo info = TestSupport::probeMedia(r.out.trimmed());
        QVERIFY2(info.bOpened, qPrintable(info.qStrError));
        QCOMPARE(QSize(info.nWidth, info.nHeight), QSize(256, 192));
        QVERIFY(info.nFrameCount > 5 && info.nDecodeErrors == 0);
    }

    // A snapshot carries its temperatures: the picture still reads as before, the float TIFF
    // has the picture's size and orientation, and inspect gives back the same temperatures.
    void snapshotCarriesItsTemperatures()
    {
        QTemporaryDir dir;
        int nExit = 0;
        const QStringList out = runCli({"snapshot", "-o", dir.path(), "--interval", "50", "--rotate", "1", "--palette",
                                        "Ice fire", "--radiometric"},
                                       &nExit);
        QCOMPARE(nExit, 0);
        QCOMPARE(out.size(), 2);
        const cv::Mat shot = cv::imread(QFile::encodeName(out[0]).toStdString());
        const cv::Mat temps = cv::imread(QFile::encodeName(out[1]).toStdString(), cv::IMREAD_UNCHANGED);
        QCOMPARE(QSize(shot.cols, shot.rows), QSize(192, 256));
        QCOMPARE(temps.type(), CV_32FC1);
        QCOMPARE(QSize(temps.cols, temps.rows), QSize(192, 256));
        double fMin = 0, fMax = 0;
        cv::Point ptMax;
        cv::minMaxLoc(temps, &fMin, &fMax, nullptr, &ptMax);

        const QString at = QStringLiteral("%1,%2").arg(ptMax.x).arg(ptMax.y);
        const TestSupport::CliRun r = TestSupport::runCli({"inspect", out[0], "--json", "--at", at, "--at", "5,200"});
        QCOMPARE(r.nExit, 0);
        const QJsonObject meta = QJsonDocument::fromJson(r.out.toUtf8()).object();
        QCOMPARE(meta.value("rotation").toInt(), 1);
        QCOMPARE(meta.value("palette").toObject().value("name").toString(), QString("icefire"));
        QVERIFY(!meta.value("camera").toObject().value("part").toString().isEmpty());
        QVERIFY(std::abs(meta.value("scene").toObject().value("max").toDouble() - fMax) < 0.02);
        QVERIFY(std::abs(meta.value("scene").toObject().value("min").toDouble() - fMin) < 0.02);
        const QJsonArray points = meta.value("points").toArray();
        QVERIFY(std::abs(points.at(0).toObject().value("t").toDouble() - fMax) < 0.01);
        QVERIFY(std::abs(points.at(1).toObject().value("t").toDouble() - temps.at<float>(200, 5)) < 0.01);
        // Outside the picture, and a picture without temperatures, are failures.
        QCOMPARE(TestSupport::runCli({"inspect", out[0], "--at", "192,0"}).nExit, 1);
        const QString plain = dir.filePath("plain.jpg");
        QVERIFY(cv::imwrite(QFile::encodeName(plain).toStdString(), shot));
        QCOMPARE(TestSupport::runCli({"inspect", plain}).nExit, 1);
    }

    void replayPlaysARecordedStream()
    {
        // The shipped dump was taken from the simulated camera as "KRM2560101A1RT1" at 65 degC;
        // the camera configured here differs in both, so what the tool reports comes from the dump.
        const QString dump = TestSupport::sourceDir() + "/tests/data/replay/sim-3frames.thvdump";
        const QString camera = "replay:" + dump;
        const QString sim = "part=KRM2560303C3RT3;hot=150";
        ReplayDumpHeader recorded;
        std::vector<ReplayDumpFrame> frames;
        QCOMPARE(readDump(dump, recorded, frames), std::string());
        QCOMPARE(int(frames.size()), 3);

        const TestSupport::CliRun info = TestSupport::runCli({"--camera", camera, "info", "--json", "--interval", "0"}, sim);
        QCOMPARE(info.nExit, 0);
        const QJsonObject obj = QJsonDocument::fromJson(info.out.toUtf8()).object();
        QCOMPARE(obj.value("partNumber").toString(), QString("KRM2560101A1RT1"));
        QCOMPARE(obj.value("resolution").toString(), QString("256x192"));
        QCOMPARE(obj.value("backend").toString(), QString("replay"));
        QCOMPARE(obj.value("device").toString(), dump);

        // The temperatures are the recorded trailers' (after the double-width image rows).
        const TestSupport::CliRun temps =
            TestSupport::runCli({"temps", "--json", "--seconds", "1", "--camera", camera, "--interval", "0"}, sim);
        QCOMPARE(temps.nExit, 0);
        const double fMax = QJsonDocument::fromJson(temps.out.section('\n', 0, 0).toUtf8()).object().value("max").toDouble();
        const size_t nTrailerAt = size_t(recorded.nStreamWidth) * 2 * size_t(recorded.nImageHeight);
        QVERIFY2(std::any_of(frames.begin(), frames.end(),
                             [&](const ReplayDumpFrame& f) {
                                 return std::abs(SimFrameFormat::readTrailer(f.bytes.data() + nTrailerAt, 256, 192).fMaxTemper - fMax) < 0.01;
                             }),
                 qPrintable(temps.out));

        // Dumped again, the replay gives back the recorded frames in their order, looping.
        QTemporaryDir dir;
        const QString again = dir.filePath("again.thvdump");
        const TestSupport::CliRun dumped =
            TestSupport::runCli({"--camera", camera, "dump", "--frames", "4", "-o", again, "--interval", "0"}, sim);
        QCOMPARE(dumped.nExit, 0);
        ReplayDumpHeader header;
        std::vector<ReplayDumpFrame> replayed;
        QCOMPARE(readDump(again, header, replayed), std::string());
        QCOMPARE(header.partNumber, recorded.partNumber);
        QCOMPARE(header.nStreamHeight, recorded.nStreamHeight);
        QVERIFY(header.bDoubleWidth);
        QCOMPARE(int(replayed.size()), 4);
        const auto first = std::find_if(frames.begin(), frames.end(),
                                        [&](const ReplayDumpFrame& f) { return f.bytes == replayed[0].bytes; });
        QVERIFY(first != frames.end());
        for (size_t i = 1; i < replayed.size(); ++i)
            QVERIFY(replayed[i].bytes == frames[(size_t(first - frames.begin()) + i) % frames.size()].bytes);

        // A dump cut short, a file that is no dump and a missing file are refused in words.
        QFile whole(dump);
        QVERIFY(whole.open(QIODevice::ReadOnly));
        QFile cut(dir.filePath("cut.thvdump"));
        QVERIFY(cut.open(QIODevice::WriteOnly));
        cut.write(whole.read(whole.size() - 1000));
        cut.close();
        const QStringList bad[] = {{cut.fileName(), "cut short inside frame 3 of 3"},
                                   {dump + ".missing", "cannot read the stream dump"},
                                   {QString::fromUtf8(__FILE__), "not a Thermava stream dump"}};
        for (const QStringList& c : bad) {
            const TestSupport::CliRun refused = TestSupport::runCli({"info", "--camera", "replay:" + c[0]});
            QCOMPARE(refused.nExit, 2);
            QVERIFY2(refused.err.contains(c[1]), qPrintable(refused.err));
        }
    }

    void badCommandLines()
    {
        const QStringList bad[] = {{"record"},
                                   {"record", "--seconds", "0"},
                                   {"record", "--seconds", "2", "--segment-seconds", "soon"},
                                   {"snapshot", "--rotate", "4"},
                                   {"snapshot", "--palette", "sepia"},
                                   {"dump", "--frames", "3"},
                                   {"dump", "--frames", "0", "-o", "x.thvdump"},
                                   {"--camera", "usb0", "dump", "-o", "x.thvdump"}};
        for (const QStringList& args : bad) {
            QProcess cli;
            cli.start(cliPath(), args);
            QVERIFY(cli.waitForFinished(30000));
            QCOMPARE(cli.exitCode(), 2);
        }
    }
};

QTEST_GUILESS_MAIN(TestRecordCli)
#include "test_record_cli.moc"
