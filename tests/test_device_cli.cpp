// thermava-cli run as a separate process on the simulated camera: the info subcommand's
// output and its exit codes when there is no camera or the camera is refused.

#include "support/CliRunner.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

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
        if (!QFileInfo::exists(m_tool))
            QSKIP("thermava-cli is not built in this tree");
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
