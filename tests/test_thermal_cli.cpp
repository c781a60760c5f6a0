// thermava-cli temps against the simulated camera: five records a second whose maximum is the
// hot object's temperature, as one JSON object per line.
#include "support/TestSupport.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QtTest>

class TestThermalCli : public QObject
{
    Q_OBJECT

private slots:
    void tempsPrintsOneRecordPer200Ms()
    {
        const QString qStrCli = QCoreApplication::applicationDirPath() + "/../bin/thermava-cli";
        if (!QFileInfo::exists(qStrCli))
            QSKIP("thermava-cli is not built");
        QProcess cli;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("THERMAVA_SIM", "hot=72;seed=3");
        cli.setProcessEnvironment(env);
        cli.start(qStrCli, {"temps", "--seconds", "1", "--json", "--interval", "50"});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 0);
        const QList<QByteArray> lines = cli.readAllStandardOutput().trimmed().split('\n');
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
        QProcess bad;
        bad.start(qStrCli, {"temps", "--seconds", "soon"});
        QVERIFY(bad.waitForFinished(30000));
        QCOMPARE(bad.exitCode(), 2);
    }
};

QTEST_GUILESS_MAIN(TestThermalCli)
#include "test_thermal_cli.moc"
