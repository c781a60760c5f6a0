// thermava-cli upgrade and restart run as a separate process against its own simulated
// camera, and the upgrade through the V4L2 backend on the emulated camera: the exit status says
// whether the camera confirmed the install.

#include "maintenance/FirmwareImage.h"
#include "support/CliRunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

class TestUpgradeCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_cli = TestSupport::cliPath();

    TestSupport::CliRun run(const QStringList& args, const QString& sim) { return TestSupport::runCli(args, sim); }

    QString write(const QString& name, const Firmware::BuildOptions& o)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(Firmware::buildFile(o));
        return path;
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(m_cli), "thermava-cli is part of the build: build it before its tests");
        QVERIFY(m_dir.isValid());
    }

    void exitStatus()
    {
        Firmware::BuildOptions o;
        o.image = Firmware::patternImage(70000, 5);
        o.bPlatformCheck = o.bSensorCheck = o.bVariantCheck = true;   // what the simulated camera reports
        o.nPlatform = 4;
        o.nSensorClass = 4;
        o.nVariant = 1;
        const QString good = write("good.bin", o);
        const QStringList fast = {"--interval", "0", "--poll-interval", "20"};

        TestSupport::CliRun r = run(QStringList{"upgrade", good} + fast, "installms=200;restartms=100");
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.out.contains("installing: 100%"), qPrintable(r.out));
        QVERIFY(r.err.contains("100%"));   // the progress bar

        // The install never finishes within the polls: not a success.
        r = run(QStringList{"upgrade", good, "--polls", "3"} + fast, "installms=600000");
        QCOMPARE(r.nExit, 1);
        QVERIFY2(r.err.contains("result -5"), qPrintable(r.err));

        o.nVariant = 2;
        r = run(QStringList{"upgrade", write("variant.bin", o)} + fast, "");
        QCOMPARE(r.nExit, 1);
        QVERIFY2(r.err.contains("result -3"), qPrintable(r.err));

        r = run(QStringList{"upgrade"} + fast, "");
        QCOMPARE(r.nExit, 2);
        r = run(QStringList{"upgrade", good} + fast, "absent");
        QCOMPARE(r.nExit, 3);

        r = run(QStringList{"restart", "--interval", "0", "--wait", "10"}, "restartms=200");
        QCOMPARE(r.nExit, 0);
        QVERIFY(r.out.contains("the camera is back"));

        // Through the V4L2 backend: 30 KB chunks in one bulk transfer each, or in 512-byte
        // extension unit pieces; the camera leaves the bus to install and comes back.
        if (TestSupport::fakeCamScript().isEmpty())
            QSKIP("the emulated camera is not built in this tree");
        for (const char* pszFake : {"transport=bulk", "transport=xu"}) {
            r = TestSupport::runCliOnFakeCam(QStringList{"upgrade", good} + fast, pszFake, "installms=200;restartms=100");
            QVERIFY2(r.nExit == 0 && r.out.contains("installing: 100%"), qPrintable(QString(pszFake) + ": " + r.out + r.err));
        }
    }
};

QTEST_MAIN(TestUpgradeCli)
#include "test_upgrade_cli.moc"
