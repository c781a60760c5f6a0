// The table rules shared by the editor and thermava-cli, the JSON form of the tables, and
// thermava-cli badpixels run as a separate process against its own simulated camera, directly
// and through the V4L2 backend on the emulated camera.

#include "maintenance/BadPixelTable.h"
#include "support/CliRunner.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using BadPixelTable::Pixel;

class TestBadPixelCli : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString m_cli = TestSupport::cliPath();

    // Every run goes through the badpixels subcommand without pauses between its passes.
    TestSupport::CliRun run(const QStringList& args, const QString& sim = QString())
    {
        return TestSupport::runCli(QStringList{"badpixels"} + args + QStringList{"--interval", "0"}, sim);
    }

    QString file(const QString& name, const QByteArray& content)
    {
        QFile f(m_dir.filePath(name));
        if (!f.open(QIODevice::WriteOnly))
            return QString();
        f.write(content);
        return f.fileName();
    }

private slots:
    void initTestCase()
    {
        QVERIFY(m_dir.isValid());
    }

    void rulesOfATablePair()
    {
        using BadPixelTable::ColumnConflict;
        // The first listed column that conflicts decides, as in the editor.
        QCOMPARE(BadPixelTable::checkColumn({4, 11, 10}, 10), ColumnConflict::Adjacent);
        QCOMPARE(BadPixelTable::checkColumn({10, 11}, 10), ColumnConflict::Same);
        QCOMPARE(BadPixelTable::checkColumn({8, 12}, 10), ColumnConflict::None);

        QVERIFY(BadPixelTable::findProblems({{0, 0}, {255, 191}}, {0, 2, 255}, 256, 192).isEmpty());
        const QStringList problems =
            BadPixelTable::findProblems({{5, 5}, {256, 0}, {5, 5}, {0, -1}}, {7, 7, 9, 8, 256}, 256, 192);
        QCOMPARE(problems.size(), 6);
        QVERIFY(problems[0].contains("bad pixel 2 (256,0) lies outside"));
        QVERIFY(problems[1].contains("bad pixel 3 (5,5) is listed twice"));
        QVERIFY(problems[2].contains("bad pixel 4"));
        QVERIFY(problems[3].contains("bad column 2 (7) is listed twice"));
        QVERIFY(problems[4].contains("bad column 4 (8) lies next to bad column 1 (7)"));
        QVERIFY(problems[5].contains("bad column 5 (256) lies outside"));
        // Many pixels are the writer's business (it keeps the first 256), not a problem.
        QVector<Pixel> many;
        for (int i = 0; i < 300; ++i)
            many << Pixel{i % 200, i / 200};
        QVERIFY(BadPixelTable::findProblems(many, {}, 256, 192).isEmpty());
    }

    void jsonForm()
    {
        const QVector<Pixel> pixels{{12, 40}, {0, 191}};
        const QVector<int> columns{5, 174};
        const QByteArray json = BadPixelTable::toJson(pixels, columns);
        QCOMPARE(json, QByteArray(R"({"pixels":[[12,40],[0,191]],"columns":[5,174]})"));
        QVector<Pixel> p;
        QVector<int> c;
        QString error;
        QVERIFY(BadPixelTable::fromJson(json, &p, &c, &error));
        QCOMPARE(p, pixels);
        QCOMPARE(c, columns);
        QVERIFY(BadPixelTable::fromJson(R"( { "columns": [], "pixels": [] } )", &p, &c, &error));
        QVERIFY(p.isEmpty() && c.isEmpty());

        // Refused, and the output is left alone: a missing table must not read as an empty one.
        p = pixels;
        const QList<QByteArray> bad = {R"({"pixels": [[1, 2]]})", R"({"pixels": [[1.5, 2]], "columns": []})",
                                       R"({"pixels": [[1, 2, 3]], "columns": []})", R"({"pixels": [], "columns": ["3"]})",
                                       R"([[1, 2]])", R"({"pixels": [[1, 2]], "columns": [)"};
        for (const QByteArray& b : bad) {
            error.clear();
            QVERIFY2(!BadPixelTable::fromJson(b, &p, &c, &error), b.constData());
            QVERIFY(!error.isEmpty());
        }
        QCOMPARE(p, pixels);
    }

    void commandLine()
    {
        QVERIFY2(QFile::exists(m_cli), "thermava-cli is part of the build: build it before its tests");

        TestSupport::CliRun r = run({"get", "--json"});
        QCOMPARE(r.nExit, 0);
        QCOMPARE(r.out, QString("{\"pixels\":[],\"columns\":[]}\n"));

        // A valid file is written and read back.
        r = run({"set", file("ok.json", R"({"pixels": [[37, 51], [151, 120]], "columns": [174, 30]})")});
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.out.contains("Wrote 2 bad pixel(s) and 2 bad column(s)"), qPrintable(r.out + r.err));

        // Adjacent or repeated columns: refused with the reason, non-zero exit.
        r = run({"set", file("adjacent.json", R"({"pixels": [], "columns": [174, 175]})")});
        QVERIFY(r.nExit != 0);
        QVERIFY2(r.err.contains("adjacent") && r.err.contains("nothing written"), qPrintable(r.err));
        QVERIFY(!r.out.contains("Wrote"));
        r = run({"set", file("twice.json", R"({"pixels": [], "columns": [9, 9]})")});
        QVERIFY(r.nExit != 0);
        QVERIFY(r.err.contains("listed twice"));

        // More than 256 pixels: a warning, and the first 256 are written.
        QByteArray many = R"({"columns": [], "pixels": [)";
        for (int i = 0; i < 300; ++i)
            many += (i ? "," : "") + QByteArray::number(i % 250).prepend('[') + ',' + QByteArray::number(i / 250) + ']';
        many += "]}";
        r = run({"set", file("many.json", many)});
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.err.contains("300 bad pixels listed") && r.out.contains("Wrote 256 bad pixel(s)"), qPrintable(r.err));

        QCOMPARE(run({"save"}).nExit, 0);

        // Unusable input never reaches the camera; without a camera the exit says so.
        r = run({"set", m_dir.filePath("missing.json")}, "absent");
        QCOMPARE(r.nExit, 2);
        QVERIFY(r.err.contains("cannot read"));
        r = run({"set", file("broken.json", "{")}, "absent");
        QCOMPARE(r.nExit, 2);
        QCOMPARE(run({"get", "--passes", "1"}, "absent").nExit, 3);
        QCOMPARE(run({"frobnicate"}).nExit, 2);
    }

    // Runs that name one state folder share one camera, as processes share a real one: what
    // one sets another reads back, and a power cycle keeps only what was saved.
    void oneCameraForSeveralRuns()
    {
        QVERIFY2(QFile::exists(m_cli), "thermava-cli is part of the build: build it before its tests");
        QTemporaryDir state;
        const QString sim = "statedir=" + state.path() + ";restartms=100";
        const QString table = file("shared.json", R"({"pixels": [[37, 51]], "columns": [174]})");
        const QString tableJson = "{\"pixels\":[[37,51]],\"columns\":[174]}\n";
        auto get = [&] { return run({"get", "--json"}, sim).out; };
        auto power = [&](const char* pszHow) {
            const TestSupport::CliRun r = TestSupport::runCli({"sim", pszHow}, sim);
            QVERIFY2(r.nExit == 0 && r.out.contains("back on the bus"), qPrintable(r.out + r.err));
        };
        QCOMPARE(run({"set", table}, sim).nExit, 0);
        QCOMPARE(get(), tableJson);
        power("reset");
        QCOMPARE(get(), QString("{\"pixels\":[],\"columns\":[]}\n"));
        QCOMPARE(run({"set", table}, sim).nExit, 0);
        QCOMPARE(run({"save"}, sim).nExit, 0);
        power("reset");
        QCOMPARE(get(), tableJson);
        power("factory");
        QCOMPARE(get(), QString("{\"pixels\":[],\"columns\":[]}\n"));
        QCOMPARE(TestSupport::runCli({"sim", "reset"}).nExit, 1);   // a private camera has no plug to pull
    }

    // Tables travel both ways through the V4L2 backend, over the bulk interface and in 64-byte
    // pieces of the extension unit.
    void commandLineThroughTheV4l2Backend()
    {
        QVERIFY2(QFile::exists(m_cli), "thermava-cli is part of the build: build it before its tests");
        if (TestSupport::fakeCamScript().isEmpty())
            QSKIP("the emulated camera is not built in this build tree");
        const QString table = file("fake.json", R"({"pixels": [[37, 51], [151, 120]], "columns": [174, 30]})");
        for (const char* pszFake : {"transport=bulk", "transport=xu;xulen=64"}) {
            TestSupport::CliRun r = TestSupport::runCliOnFakeCam({"badpixels", "set", table, "--interval", "0"}, pszFake);
            QVERIFY2(r.nExit == 0 && r.out.contains("Wrote 2 bad pixel(s) and 2 bad column(s)"), qPrintable(r.out + r.err));
            r = TestSupport::runCliOnFakeCam({"badpixels", "get", "--json", "--interval", "0"}, pszFake);
            QCOMPARE(r.nExit, 0);
            QCOMPARE(r.out, QString("{\"pixels\":[],\"columns\":[]}\n"));
        }
    }
};

QTEST_MAIN(TestBadPixelCli)
#include "test_badpixel_cli.moc"
