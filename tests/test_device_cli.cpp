// thermava-cli run as a separate process on the simulated camera: the info subcommand's
// output and its exit codes when there is no camera or the camera is refused; the same through
// the V4L2 backend on the emulated camera.

#include "support/CliRunner.h"

#include <QElapsedTimer>
#include <QJsonDocument>
#include <QProcess>
#include <QJsonObject>
#include <QtTest>
#include <csignal>

using Run = TestSupport::CliRun;

class TestDeviceCli : public QObject
{
    Q_OBJECT

    QString m_tool;

    Run run(const QStringList& args, const QString& simConfig = QString())
    {
        return TestSupport::runCli(args, simConfig);
    }

private slots:
    void initTestCase()
    {
        m_tool = TestSupport::cliPath();
        QVERIFY2(QFileInfo::exists(m_tool), "thermava-cli is part of the build: build it before its tests");
    }

    void infoPrintsTheIdentity()
    {
        const Run text = run({"info", "--interval", "0"});
        QCOMPARE(text.nExit, 0);
        QVERIFY2(text.out.contains(QRegularExpression("Part number: +KRM2560101A1RT1\n")), qPrintable(text.out));
        QVERIFY(text.out.contains(QRegularExpression("Resolution: +256x192\n")));
        QVERIFY(text.out.contains(QRegularExpression("Super-resolution mode: +no\n")));
        QVERIFY(text.err.isEmpty());

        const Run json = run({"info", "--json", "--interval", "0"}, "caps=sr;serial=SN-77");
        QCOMPARE(json.nExit, 0);
        const QJsonObject obj = QJsonDocument::fromJson(json.out.toUtf8()).object();
        QCOMPARE(obj.value("partNumber").toString(), QString("KRM2560101A1RT1"));
        QCOMPARE(obj.value("serialNumber").toString(), QString("SN-77"));
        QCOMPARE(obj.value("resolution").toString(), QString("256x192"));
        QVERIFY(!obj.value("softwareVersion").toString().isEmpty());
        QCOMPARE(obj.value("superResolution").toBool(), true);
        QCOMPARE(obj.value("lowTemperatureGears").toBool(false), false);
        QCOMPARE(obj.value("droppedFrames").toInt(-1), 0);
    }

    // A stop signal while the camera holds a reply back for 30 s: the tool gives up the wait,
    // closes the camera and ends within 2 s with 128 + the signal, instead of being killed.
    void aStopSignalEndsTheToolSoon()
    {
        for (int nSignal : {SIGINT, SIGTERM}) {
            QProcess process;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("THERMAVA_SIM", "private;slowms=30000;slow=100%@0x66");
            env.insert("THERMAVA_CAMERA", "sim");
            process.setProcessEnvironment(env);
            process.start(m_tool, {"info", "--interval", "0"});
            QVERIFY(process.waitForStarted());
            QTest::qWait(1500);
            QElapsedTimer timer;
            timer.start();
            ::kill(pid_t(process.processId()), nSignal);
            QVERIFY(process.waitForFinished(10000) && timer.elapsed() < 2000);
            QVERIFY(process.exitStatus() == QProcess::NormalExit && process.exitCode() == 128 + nSignal);
        }
    }

    void infoExplainsAFailedConnect()
    {
        const Run absent = run({"info", "--interval", "0", "--passes", "3"}, "absent");
        QCOMPARE(absent.nExit, 3);
        QVERIFY(absent.out.isEmpty());
        QCOMPARE(absent.err.count('\n'), 1);
        QVERIFY2(absent.err.contains("no camera found"), qPrintable(absent.err));

        const Run refused = run({"info", "--interval", "0", "--passes", "3"}, "part=KRM3840202B2RT2");
        QCOMPARE(refused.nExit, 4);
        QCOMPARE(refused.err.count('\n'), 1);
        QVERIFY2(refused.err.contains("\"KRM3840202B2RT2\" is not a supported model"), qPrintable(refused.err));
    }

    // The same identity through the V4L2 backend on the emulated camera, over each command
    // channel; a camera that cannot be used is explained with its node, not as "no camera".
    void infoThroughTheV4l2Backend()
    {
        if (TestSupport::fakeCamScript().isEmpty())
            QSKIP("the emulated camera is not built in this tree");
        for (const QString transport : {"bulk", "xu"}) {
            const Run r = TestSupport::runCliOnFakeCam({"info", "--json", "--interval", "0"}, "transport=" + transport,
                                                       "serial=SN-9");
            QVERIFY2(r.nExit == 0, qPrintable(r.err));
            const QJsonObject obj = QJsonDocument::fromJson(r.out.toUtf8()).object();
            QCOMPARE(obj.value("backend").toString(), QString("v4l2"));
            QCOMPARE(obj.value("device").toString(), QString("/dev/video90"));
            QCOMPARE(obj.value("transport").toString(), transport);
            QCOMPARE(obj.value("partNumber").toString(), QString("KRM2560101A1RT1"));
            QCOMPARE(obj.value("serialNumber").toString(), QString("SN-9"));
            QCOMPARE(obj.value("resolution").toString(), QString("256x192"));
        }

        const Run list = TestSupport::runCliOnFakeCam({"devices", "--json"}, "transport=xu;node=93");
        QCOMPARE(list.nExit, 0);
        QVERIFY2(list.out.contains("\"/dev/video93\"") && list.out.contains("\"1209\""), qPrintable(list.out));

        const struct
        {
            const char* pszFake;
            const char* pszSim;
            const char* pszSays;
        } troubles[] = {{"noperm", "", "permission denied"},
                        {"busy", "", "in use by another program"},
                        // The camera streams 1024 x 392; asked for what the link assumes without
                        // the format query, it must refuse rather than deliver stripes.
                        {"", "noformat;width=512", "512x200"}};
        for (const auto& t : troubles) {
            const Run r = TestSupport::runCliOnFakeCam({"info", "--interval", "0", "--passes", "2"}, t.pszFake, t.pszSim);
            QVERIFY2(r.nExit != 0 && r.err.contains(t.pszSays) && !r.err.contains("no camera found"),
                     qPrintable(QString("%1 %2: %3").arg(t.pszFake, t.pszSim, r.err)));
        }
    }

    void badCommandLines()
    {
        QCOMPARE(run({}).nExit, 2);
        QCOMPARE(run({"nonsense"}).nExit, 2);
        QCOMPARE(run({"info", "--passes", "0"}).nExit, 2);
        QCOMPARE(run({"info", "surplus"}).nExit, 2);
        const Run help = run({"--help"});
        QCOMPARE(help.nExit, 0);
        QVERIFY(help.out.contains("info"));
    }
};

QTEST_MAIN(TestDeviceCli)
#include "test_device_cli.moc"
