// Configuration store: defaults, unit conversion, names, folder and combo helpers.
#include "app/ConfigStore.h"
#include "support/TestSupport.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSettings>
#include <QtTest>

using namespace ConfigStore;

class TestConfig : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initCommon(); }

    void missingFileReadsAsEmpty()
    {
        TestSupport::ScopedConfigDir dir;
        QCOMPARE(getLanguage(), 0);
        QCOMPARE(getTemperUnit(), 0);
        QVERIFY(!value(kGeneralGroup, "Maximization").isValid());
        QCOMPARE(value(kGeneralGroup, "Colorization").toInt(), 0);
    }

    void defaultFolders()
    {
        TestSupport::ScopedConfigDir dir;
        const QString snap = getManualSnapshotPath();
        QCOMPARE(snap, dir.path() + "/Snapshot");
        QVERIFY(QDir(snap).exists());
        const QString rec = getManualRecordPath();
        QCOMPARE(rec, dir.path() + "/Records");
        QVERIFY(QDir(rec).exists());
        const QString alarm = getAlarmRecordPath();
        QCOMPARE(alarm, dir.path() + "/AlarmRecords");
        QVERIFY(!QDir(alarm).exists());
        // Defaults are not written back.
        QVERIFY(!value(kGeneralGroup, "ManualSnapshotPath").isValid());
    }

    void storedPathsReturnedUnchanged()
    {
        TestSupport::ScopedConfigDir dir;
        setValue(kGeneralGroup, "ManualRecordPath", "");
        QCOMPARE(getManualRecordPath(), dir.path() + "/Records");
        const QString custom = dir.path() + "/not/created/yet";
        setValue(kGeneralGroup, "ManualSnapshotPath", custom);
        QCOMPARE(getManualSnapshotPath(), custom);
        QVERIFY(!QDir(custom).exists());
    }

    void emptyGroupOrKeyWritesNothing()
    {
        TestSupport::ScopedConfigDir dir;
        setValue("", "Language", 1);
        setValue(kGeneralGroup, "", 1);
        config()->sync();
        QCOMPARE(config()->allKeys().size(), 0);
        setLanguage(1);
        config()->sync();
        QSettings raw(dir.iniPath(), QSettings::IniFormat);
        QCOMPARE(raw.value("GeneralConfig/Language").toInt(), 1);
    }

    void unitsAndConversion_data()
    {
        QTest::addColumn<int>("unit");
        QTest::addColumn<float>("expected");
        QTest::addColumn<QString>("suffix");
        QTest::newRow("celsius") << 0 << 100.0f << QString::fromUtf8("℃");
        QTest::newRow("fahrenheit") << 1 << 212.0f << QString::fromUtf8("℉");
        QTest::newRow("kelvin") << 2 << 373.15f << QString("K");
        QTest::newRow("unknown") << 3 << 100.0f << QString();
    }
    void unitsAndConversion()
    {
        QFETCH(int, unit);
        QFETCH(float, expected);
        QFETCH(QString, suffix);
        TestSupport::ScopedConfigDir dir;
        setValue(kGeneralGroup, "TemperUnit", unit);
        QCOMPARE(convertTemper(100.0f), expected);
        QCOMPARE(getTemperUnitText(), suffix);
    }

    void nonsenseUnitIsCelsius()
    {
        TestSupport::ScopedConfigDir dir;
        setValue(kGeneralGroup, "TemperUnit", "abc");
        QCOMPARE(getTemperUnit(), 0);
        QCOMPARE(convertTemper(-40.0f), -40.0f);
    }

    void dateTimeNames()
    {
        QVERIFY(QRegularExpression("^\\d{8}_\\d{6}_\\d{3}$").match(getDateTimeName()).hasMatch());
        QVERIFY(QRegularExpression("^\\d{8}$").match(getDateName()).hasMatch());
    }

    void ensureDirCreatesParents()
    {
        QTemporaryDir tmp;
        const QString deep = tmp.path() + "/a/b/c";
        QVERIFY(ensureDir(deep));
        QVERIFY(QDir(deep).exists());
        QVERIFY(ensureDir(deep));
        // A path below a regular file cannot be created.
        QFile f(tmp.path() + "/file");
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.close();
        QVERIFY(!ensureDir(tmp.path() + "/file/sub"));
    }

    void selectComboByDataPicksFirstMatch()
    {
        QComboBox combo;
        combo.addItem("a", 5);
        combo.addItem("b", 7);
        combo.addItem("c", 7);
        selectComboByData(&combo, 7);
        QCOMPARE(combo.currentIndex(), 1);
        selectComboByData(&combo, 99);
        QCOMPARE(combo.currentIndex(), 1);
        selectComboByData(nullptr, 7);
    }

    void scalePointsTruncates()
    {
        QList<QPoint> pts{QPoint(255, 191), QPoint(10, 3)};
        scalePoints(pts, 256, 192, 100, 50);
        QCOMPARE(pts[0], QPoint(99, 49));
        QCOMPARE(pts[1], QPoint(3, 0));
        QList<QPoint> same{QPoint(8, 8)};
        scalePoints(same, 0, 192, 100, 50);
        QCOMPARE(same[0], QPoint(8, 8));
        scalePoints(same, 256, 192, 100, -1);
        QCOMPARE(same[0], QPoint(8, 8));
    }
};

QTEST_MAIN(TestConfig)
#include "test_config.moc"
