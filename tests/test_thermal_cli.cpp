// thermava-cli temps against the simulated camera, directly and through the V4L2 backend on the
// emulated camera: five records a second whose maximum is the hot object's temperature, as one
// JSON object per line.
#include "platform/simcam/SimScene.h"
#include "support/CliRunner.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

class TestThermalCli : public QObject
{
    Q_OBJECT

private slots:
    void tempsPrintsOneRecordPer200Ms()
    {
        QVERIFY2(QFileInfo::exists(TestSupport::cliPath()), "thermava-cli is part of the build: build it before its tests");
        const TestSupport::CliRun run =
            TestSupport::runCli({"temps", "--seconds", "1", "--json", "--interval", "50"}, "hot=72;seed=3", 60000);
        QCOMPARE(run.nExit, 0);
        const QList<QByteArray> lines = run.out.toUtf8().trimmed().split('\n');
        QCOMPARE(lines.size(), 5);
        for (const QByteArray& line : lines) {
            const QJsonObject obj = QJsonDocument::fromJson(line).object();
            QVERIFY2(!obj.isEmpty(), line.constData());
            QCOMPARE(obj.value("unit").toString(), QString("C"));
            QVERIFY(std::abs(obj.value("max").toDouble() - 72.0) < 1.0);
            QVERIFY(obj.value("min").toDouble() < 30.0);
            QVERIFY(obj.value("x").toInt() > 0 && obj.value("x").toInt() <= 256);
            QVERIFY(obj.value("y").toInt() > 0 && obj.value("y").toInt() <= 192);
        }

        // A bad duration is refused before anything is connected.
        QCOMPARE(TestSupport::runCli({"temps", "--seconds", "soon"}, QString(), 30000).nExit, 2);
    }

    // Through the V4L2 backend the trailer must survive the node's pixel order, row padding and
    // damaged buffers (which are dropped, never measured); without a command channel the node,
    // named explicitly, still gives the temperatures.
    void tempsThroughTheV4l2Backend()
    {
        QVERIFY2(QFileInfo::exists(TestSupport::cliPath()), "thermava-cli is part of the build: build it before its tests");
        if (TestSupport::fakeCamScript().isEmpty())
            QSKIP("the emulated camera is not built in this tree");
        for (const char* pszFake : {"format=uyvy;pad=24;errors=3", "transport=none"}) {
            const TestSupport::CliRun run = TestSupport::runCliOnFakeCam(
                {"temps", "--seconds", "1", "--json", "--interval", "50"}, pszFake, "hot=72;seed=3", 60000);
            QVERIFY2(run.nExit == 0, qPrintable(QString(pszFake) + ": " + run.err));
            const QList<QByteArray> lines = run.out.toUtf8().trimmed().split('\n');
            QVERIFY(lines.size() >= 4);
            for (const QByteArray& line : lines) {
                const QJsonObject obj = QJsonDocument::fromJson(line).object();
                QVERIFY2(std::abs(obj.value("max").toDouble() - 72.0) < 1.0 && obj.value("min").toDouble() < 30.0,
                         line.constData());
            }
        }
    }

    void measurementReadingsMatchTheSimulatedScene()
    {
        QVERIFY2(QFileInfo::exists(TestSupport::cliPath()), "thermava-cli is part of the build: build it before its tests");
        // The middle of the person's face and a rectangle around the hot object's whole path.
        std::vector<float> truth(256 * 192);
        SimScene().renderIdeal(0.0, truth.data());
        const double fFace = truth[57 * 256 + 69];
        TestSupport::CliRun run = TestSupport::runCli(
            {"temps", "--seconds", "0.6", "--json", "--at", "69,57", "--rect", "110,30,100,110"}, "hot=65;seed=3", 60000);
        QCOMPARE(run.nExit, 0);
        for (const QByteArray& line : run.out.toUtf8().trimmed().split('\n')) {
            const QJsonObject obj = QJsonDocument::fromJson(line).object();
            const double fAt = obj.value("points").toArray().at(0).toObject().value("t").toDouble(-999.0);
            QVERIFY2(std::abs(fAt - fFace) < 1.5, line.constData());
            const double fRectMax = obj.value("rects").toArray().at(0).toObject().value("max").toDouble(-999.0);
            QVERIFY2(std::abs(fRectMax - obj.value("max").toDouble()) < 1.0, line.constData());
            QCOMPARE(obj.value("emissivity").toDouble(), 1.0);
        }

        // Emissivity 0.5 against 20 degrees: the grey-body formula applied to what was measured.
        run = TestSupport::runCli({"temps", "--seconds", "0.4", "--json", "--emissivity", "0.5", "--reflected", "20"},
                                  "hot=65;seed=3", 60000);
        QCOMPARE(run.nExit, 0);
        for (const QByteArray& line : run.out.toUtf8().trimmed().split('\n')) {
            const QJsonObject obj = QJsonDocument::fromJson(line).object();
            const double tm = obj.value("measuredMax").toDouble() + 273.15, tr = 20.0 + 273.15;
            QVERIFY2(std::abs(obj.value("measuredMax").toDouble() - 65.0) < 0.5, line.constData());
            const double fExpected = std::pow((tm * tm * tm * tm - 0.5 * tr * tr * tr * tr) / 0.5, 0.25) - 273.15;
            QVERIFY2(std::abs(obj.value("max").toDouble() - fExpected) < 0.05, line.constData());
        }
        for (const char* bad : {"--at=1", "--rect=1,2,0,4", "--emissivity=0.05", "--reflected=hot"})
            QCOMPARE(TestSupport::runCli({"temps", bad}, QString(), 30000).nExit, 2);
    }
};

QTEST_GUILESS_MAIN(TestThermalCli)
#include "test_thermal_cli.moc"
