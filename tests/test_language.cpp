// Language tables: the loader's handling of odd files, the language choice, and the two
// tables shipped in the resources (file form, counts, key order, texts the UI relies on).
#include "app/LangTable.h"
#include "support/TestSupport.h"

#include <QFile>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>
#include <QXmlStreamReader>
#include <QtTest>

namespace {

using Item = QPair<QString, QString>;

// Every key of the English table in file order (first occurrences).
const char* const kEnglishKeys[] = {
    "About", "Above(Avg Temper)", "Above(Max Temper)", "Above(Min Temper)", "Add", "Add to workset",
    "Adding the selected materials to the work set succeeded", "AlarmAudio", "AlarmDuration", "AlarmRecord",
    "AlarmSnapshot", "Alarm Threshold", "Alarm Type", "Alarm has occurred, manual recording stop",
    "Alarm recording in progress, unable to manually record", "AllLabel", "AllMaterial", "AllRemark",
    "Alumina (0.55)", "Amber", "Analyse", "Are you sure to clear recycle bin?",
    "Are you sure to delete complete this material?", "Are you sure to delete this material?",
    "Are you sure to delete this material set?", "Are you sure to remove from workset?", "AudioFile", "Author",
    "Avg", "AVG Temp", "BasicInfo", "BasicTemperParam", "Below(Avg Temper)", "Below(Max Temper)",
    "Below(Min Temper)", "Beton (0.92)", "Black Hot", "Blue", "Brass (0.22)", "Brass-OX (0.61)", "Cancel",
    "Can not add more material", "Cannot be empty", "CaptureTime", "Carbon1 (0.95)", "Carbon2 (0.95)",
    "Carbon3 (0.98)", "Centigrade", "Ceram1 (0.90)", "Ceram2 (0.93)", "Clear", "Complete", "Copper (0.78)",
    "CoverPage", "Date", "Day", "Delete", "Delete Complete", "Delete Rule", "Device:",
    "Device connect fail prompt1", "Device connect fail prompt2", "Device connect fail prompt3",
    "Device connect fail prompt4", "Reconnection success", "Reconnection failed", "Disabled",
    "DiskFreeSpace Not Enough", "DisplayData", "Distance", "DistanceUnit", "Edge Enhancement", "Emerald",
    "Emissivity", "Enable", "EnvironmentTemper", "Export failed", "ExportReport", "Export successful",
    "Fahrenheit", "Feet", "Fifth-day", "FileName", "Format", "Fusion", "Global Param", "Golden-fall", "Help",
    "Humidity", "Ice fire", "ImageAnaly", "Image Fusion", "Imperial", "Import", "Iron-Cast (0.21)",
    "Iron-Cast-OX (0.64)", "Iron-OX (0.74)", "Iron Red", "Iron-Rust (0.65)", "Jade", "Kelvin", "Kickel (0.37)",
    "Label", "Language", "LanguageCn", "LanguageEn",
    "Language switch succeeded.Client will restart automatically.", "LeftTop", "LogoNote", "Loops",
    "Manual Connect", "Manual Record Path", "Manual Snapshot Path", "Material %1 has been added",
    "Material Already Exists", "MaterialManage", "MaterialSet", "MaterialSet Already Exists",
    "MaterialSet Too Many", "Max", "Max Temp", "Meter", "Metric", "Min", "Min Temp", "Month", "Move To", "Name",
    "NextStep", "Non-alumina (0.20)", "None", "NoRemark", "NotShow", "Oil-Paint", "OK", "Open Folder",
    "Opening user manual failed.", "Open Source License", "Open The Folder", "Optical", "OpticalImageRes",
    "Paint (0.94)", "Paint-Black (0.97)", "Paint-White (0.92)", "Paper (0.93)", "ParamSettings",
    "Path open failed", "PathSet", "PictureAdd", "Picture in Picture", "Picture size should be smaller than 1M.",
    "PleaseInput", "Pomegranate", "PrevStep", "Reclaim", "Record", "Recording Failed", "Recording Finished",
    "Recording Start", "Record Path Not Exit", "Red", "ReflexTemper", "Rename", "ReportContents", "ReportTime",
    "ReportTitle", "Restore To", "Rule Enable", "Rule Param", "Rule Property", "Sand (0.90)", "Save failed",
    "SavePath", "Save succeed", "SelectAll", "Select material to upload", "Setting Changed!", "Settings",
    "Show with rules", "Skin (0.80)", "Snapshot", "Snapshot Failed", "SnapshotNum", "Snapshot Path Not Exit",
    "Snapshot Succeed", "Steel (0.79)", "Steel-OX (0.85)", "Sunset",
    "Temperature distribution is displayed in pixels.", "TemperDistribute", "TemperInfo", "TemperRange",
    "TemperRangeAdjust", "TemperRule", "TemperShow", "TemperUnit", "TestReport", "TextNote",
    "The file already exist,Replace it", "ThermalImage", "ThermalImageRes",
    "The selected material exceeds the recycle bin limit", "TimeAsc", "TimeDesc", "UnitSet", "Unknown Error",
    "UploadFile", "UserManual", "Version", "VideoPreview", "Water (0.96)", "White Hot", "WithRemark",
    "Workset material limit is 16,please check again.", "Year", "Yellow", "Update", "UpdateFilePath",
    "UpdateFileInfo", "UpdateProgress", "DeviceInfo", "DevicePart", "DeviceResolution", "DeviceSN",
    "SoftwareVersion", "Restart Device", "Restart", "Repower the device?",
    "Device has rebooted, reconnecting the device, please wait.", "Device is not connect.", "PseudoColor",
    "WhiteHot", "BlackHot", "IronRed", "Rainbow", "ImageRectification", "Sharpening", "SuperRes",
    "ImageRotation", "HotPoint", "BadPixelChoose", "Standby", "Start Device", "Current Status", "Disconnect",
    "Connect Device", "Number", "BadPixelCoordinate", "BadPixelColCoordinate", "AddBP", "DeleteBP",
    "DeleteAllBP", "AddBPCol", "DeleteBPCol", "DeleteAllBPCol", "The bad pixel is set", "The bad column is set",
    "There are adjacent bad columns", "Failed to get Bad Pixels", "Failed to get Bad Columns",
    "Upgrading, please wait...", "Writing,please wait....", "Upgrade success!", "Upgrade Fail.", "Save",
    "Device is sleeping, please turn off sleep mode", "AutoResize", "Operate succeed", "Operate failed",
    "Default", "Close", "Zoom", "ImageFreeze", "Snapshot Path Too Long", "Record Path Too Long", "OpenFolder",
    "Please select a .bin file to upgrade.", "Fail to start sleep mode.", "Connecting Device, please wait.",
    "Please operate with the accompaniment of a professional.", "Device is upgrading.", "Device is recording.",
    "Failed to get.", "Video is freezing.", "Best clarity", "Current clarity",
    "Upgrading, unable to switch interface.", "Upgrading, unable to shut down client.",
    "The upgrade is complete, the device is disconnected, please reconnect", "File verification error.",
    "File open error.", "Please confirm whether to disconnect device?", "Temperature mode", "Auto",
    "High temperature", "Low temperature", "Please Wait", "Low temperature First Gear",
    "Low temperature Second Gear", "Failed to get low temp gear",
};

QStringList englishKeys()
{
    QStringList keys;
    for (const char* key : kEnglishKeys)
        keys << QString::fromUtf8(key);
    return keys;
}

QByteArray readBytes(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// A shipped table as it stands in the file: items in order, and anything unexpected.
struct RawTable
{
    QByteArray bytes;
    QVector<Item> items;
    QStringList problems;
};

RawTable readRawTable(const QString& path)
{
    RawTable raw;
    raw.bytes = readBytes(path);
    QXmlStreamReader reader(raw.bytes);
    while (!reader.atEnd()) {
        reader.readNext();
        if (!reader.isStartElement())
            continue;
        const QString element = reader.name().toString();
        if (element == "Strings" && reader.attributes().isEmpty())
            continue;
        const QXmlStreamAttributes attrs = reader.attributes();
        if (element != "item" || attrs.size() != 2 || !attrs.hasAttribute("name") || !attrs.hasAttribute("value")) {
            raw.problems << QString("unexpected element at line %1").arg(reader.lineNumber());
            continue;
        }
        raw.items.append({attrs.value("name").toString(), attrs.value("value").toString()});
    }
    if (reader.hasError())
        raw.problems << reader.errorString();
    return raw;
}

QMap<QString, int> keyCounts(const QVector<Item>& items)
{
    QMap<QString, int> counts;
    for (const Item& item : items)
        ++counts[item.first];
    return counts;
}

QString resourcePath(const char* lang) { return QString(":/Resource/Lang_%1.xml").arg(lang); }

// Items each shipped table held before the client appended texts of its own after them.
int originalItems(const char* lang) { return QByteArray(lang) == "EN" ? 302 : 300; }

// The texts appended after the original items (empty while none are).
QVector<Item> addedItems(const char* lang)
{
    return readRawTable(resourcePath(lang)).items.mid(originalItems(lang));
}

} // namespace

class TestLanguage : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initCommon(); }

    // --- loader -------------------------------------------------------------------------------

    void missingFileLeavesTableAlone()
    {
        LangTable table{{"Keep", "me"}};
        loadLanguageFile(table, m_dir.path() + "/absent.xml");
        QCOMPARE(table, (LangTable{{"Keep", "me"}}));
    }

    void loaderTakesOnlyCompleteItems()
    {
        const QString path = writeFile("items.xml",
            "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n<Strings>\r\n"
            "<item name=\"NoValue\"/>\r\n"
            "<item name=\"EmptyValue\" value=\"\"/>\r\n"
            "<item value=\"no name\"/>\r\n"
            "<item name=\"\" value=\"empty name\"/>\r\n"
            "<other name=\"Other\" value=\"skipped\"/>\r\n"
            "<item name=\"Twice\" value=\"first\"/>\r\n"
            "<item name=\"Kept\" value=\"&lt;a &amp; b&gt; \xE8\xAE\xBE\xE5\xA4\x87\"/>\r\n"
            "<item name=\"Twice\" value=\"second\"/>\r\n"
            "</Strings>\r\n");
        LangTable table{{"Stale", "from an earlier load"}};
        loadLanguageFile(table, path);
        QCOMPARE(table, (LangTable{{"Kept", QString::fromUtf8("<a & b> 设备")}, {"Twice", "second"}}));
        QVERIFY(getLangText(table, "NoValue").isEmpty());
        QVERIFY(getLangText(table, "Other").isEmpty());
    }

    void malformedFileKeepsItemsReadBeforeTheError()
    {
        const QString path = writeFile("broken.xml",
            "<Strings>\r\n"
            "<item name=\"A\" value=\"1\"/>\r\n"
            "<item name=\"B\" value=\"2\"/>\r\n"
            "<item name=\"C\" value=3/>\r\n"
            "<item name=\"D\" value=\"4\"/>\r\n"
            "</Strings>\r\n");
        LangTable table;
        loadLanguageFile(table, path);
        QCOMPARE(table, (LangTable{{"A", "1"}, {"B", "2"}}));
    }

    void languageValueChoosesTable_data()
    {
        QTest::addColumn<int>("language");
        QTest::addColumn<bool>("english");
        QTest::newRow("1 English") << 1 << true;
        QTest::newRow("0 Chinese") << 0 << false;
        QTest::newRow("2 Chinese") << 2 << false;
        QTest::newRow("-1 Chinese") << -1 << false;
    }

    void languageValueChoosesTable()
    {
        QFETCH(int, language);
        QFETCH(bool, english);
        // Start from the other table so that a load which forgets to empty it shows up.
        LangTable table;
        loadLanguage(table, english ? 0 : 1);
        loadLanguage(table, language);
        QCOMPARE(getLangText(table, "Avg"), english ? QString("Avg") : QString());
        QCOMPARE(getLangText(table, "Device is not connect."),
                 english ? QString("Device is not connect.") : QString::fromUtf8("设备未连接"));
        QCOMPARE(table.size(), (english ? 300 : 299) + addedItems(english ? "EN" : "CN").size());
        QVERIFY(getLangText(table, "No such key").isEmpty());
    }

    // --- shipped tables -----------------------------------------------------------------------

    void shippedFileForm_data()
    {
        QTest::addColumn<QString>("path");
        QTest::addColumn<int>("items");
        QTest::addColumn<int>("keys");
        QTest::newRow("EN") << resourcePath("EN") << 302 << 300;
        QTest::newRow("CN") << resourcePath("CN") << 300 << 299;
    }

    void shippedFileForm()
    {
        QFETCH(QString, path);
        QFETCH(int, items);
        QFETCH(int, keys);
        const RawTable raw = readRawTable(path);
        QVERIFY2(raw.problems.isEmpty(), qPrintable(raw.problems.join("; ")));
        QVERIFY(raw.bytes.startsWith("\xEF\xBB\xBF"));
        QVERIFY(raw.bytes.endsWith("\r\n"));

        // CRLF only, one empty item element per line.
        const QList<QByteArray> lines = raw.bytes.mid(3).split('\n');
        QCOMPARE(lines.last(), QByteArray());
        int itemLines = 0;
        for (int i = 0; i + 1 < lines.size(); ++i) {
            const QByteArray& line = lines[i];
            QVERIFY2(line.endsWith('\r') && line.count('\r') == 1, qPrintable(QString("line %1").arg(i + 1)));
            if (line.trimmed().startsWith("<item")) {
                ++itemLines;
                QVERIFY2(line.trimmed().endsWith("/>") && line.count("<item") == 1, line.constData());
            }
        }
        const int added = raw.items.size() - items;
        QVERIFY(added >= 0);
        QCOMPARE(itemLines, raw.items.size());
        QCOMPARE(keyCounts(raw.items).size(), keys + added);

        for (const Item& item : raw.items)
            QVERIFY2(!item.first.isEmpty() && !item.second.isEmpty(), qPrintable(item.first));

        // What the loader makes of the file agrees with the file itself.
        LangTable table;
        loadLanguageFile(table, path);
        QCOMPARE(table.size(), keys + added);
        for (const Item& item : raw.items)
            QCOMPARE(getLangText(table, item.first), item.second);
    }

    // Texts the client added sit after every original item, in the same order in both tables,
    // with keys the original items never used.
    void appendedTexts()
    {
        const QVector<Item> en = addedItems("EN");
        const QVector<Item> cn = addedItems("CN");
        QCOMPARE(en.size(), cn.size());
        const QMap<QString, int> originalEn = keyCounts(readRawTable(resourcePath("EN")).items.mid(0, originalItems("EN")));
        const QMap<QString, int> originalCn = keyCounts(readRawTable(resourcePath("CN")).items.mid(0, originalItems("CN")));
        for (int i = 0; i < en.size(); ++i) {
            QCOMPARE(cn[i].first, en[i].first);
            QVERIFY2(!originalEn.contains(en[i].first) && !originalCn.contains(en[i].first), qPrintable(en[i].first));
        }
        QCOMPARE(keyCounts(en).size(), en.size());
    }

    void shippedKeysAndRepeats()
    {
        RawTable en = readRawTable(resourcePath("EN"));
        RawTable cn = readRawTable(resourcePath("CN"));
        en.items = en.items.mid(0, originalItems("EN"));
        cn.items = cn.items.mid(0, originalItems("CN"));

        QStringList firstOrder;
        for (const Item& item : en.items)
            if (!firstOrder.contains(item.first))
                firstOrder << item.first;
        QCOMPARE(firstOrder, englishKeys());

        // Chinese carries every English key except "Avg".
        const QStringList allKeys = englishKeys();
        QSet<QString> expectedCn(allKeys.begin(), allKeys.end());
        expectedCn.remove("Avg");
        const QStringList cnKeys = keyCounts(cn.items).keys();
        QCOMPARE(QSet<QString>(cnKeys.begin(), cnKeys.end()), expectedCn);

        const auto repeatedKeys = [](const RawTable& raw) {
            QStringList repeated;
            const QMap<QString, int> counts = keyCounts(raw.items);
            for (auto it = counts.begin(); it != counts.end(); ++it) {
                if (it.value() > 1)
                    repeated << QString("%1 x%2").arg(it.key()).arg(it.value());
            }
            return repeated;
        };
        QCOMPARE(repeatedKeys(en), (QStringList{"Max x2", "Min x2"}));
        QCOMPARE(repeatedKeys(cn), (QStringList{"There are adjacent bad columns x2"}));

        // A repeated key carries the same text each time, so the load order cannot change it.
        for (const RawTable* raw : {&en, &cn}) {
            QMap<QString, QString> seen;
            for (const Item& item : raw->items) {
                if (seen.contains(item.first))
                    QCOMPARE(item.second, seen.value(item.first));
                seen.insert(item.first, item.second);
            }
        }

        // Texts the code shows in the key's own words are kept out of both tables.
        for (const char* absent : {"File open error..", "The movement can only set and save 256 bad points at most",
                                   "Bad column numbers exceed resolution size"}) {
            QVERIFY2(!keyCounts(en.items).contains(absent), absent);
            QVERIFY2(!keyCounts(cn.items).contains(absent), absent);
        }
    }

    void englishTexts_data()
    {
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        const QList<QPair<const char*, const char*>> texts = {
            {"Repower the device?", "Are you sure to reboot?"},
            {"DevicePart", "Device Type"},
            {"DeviceSN", "S/N"},
            {"DeviceResolution", "Device Resolution"},
            {"SoftwareVersion", "System Version"},
            {"DeviceInfo", "Version"},
            {"Restart Device", "Manual Reboot"},
            {"Restart", "Reboot"},
            {"Fail to start sleep mode.", "Fail to open sleep mode."},
            {"Device connect fail prompt1", "Connection lost, please check:"},
            {"Device connect fail prompt2", "1.Whether the data cable is properly connected."},
            {"Device connect fail prompt3", "2.After connection, it takes about 7 seconds for the device "
                                            "communication preparation. Please try again later."},
            {"Snapshot Succeed", "Captured image successfully."},
            {"Snapshot Failed", "Snapshot failed."},
            {"Snapshot Path Not Exit", "The snapshot path does not exist."},
            {"DiskFreeSpace Not Enough", "Low disk space."},
            {"Recording Start", "Start Recording"},
            {"Recording Failed", "Failed to record."},
            {"Record Path Not Exit", "The record path does not exist."},
            {"Alarm has occurred, manual recording stop", "An alarm is triggered, and manual recording stops."},
            {"Unknown Error", "Unknown error."},
            {"Recording Finished", "Recording completed."},
            {"Alarm recording in progress, unable to manually record",
             "Alarm recording is in progress, and you cannot record video manually."},
            {"AddBP", "Add bad pixel"},
            {"DeleteAllBPCol", "Delete all bad column"},
            {"AutoResize", "Auto Resize"},
            {"BadPixelCoordinate", "Bad pixel"},
            {"BadPixelColCoordinate", "Bad column"},
            {"Please operate with the accompaniment of a professional.", "Please be accompanied by a professional."},
            {"Failed to get Bad Columns", "Failed to get Bad Columns."},
            {"Failed to get Bad Pixels", "Failed to get Bad Pixels."},
            {"Update", "Upgrade"},
            {"UpdateFilePath", "Select Firmware File"},
            {"UpdateProgress", "Upgrade Progress"},
            {"The upgrade is complete, the device is disconnected, please reconnect",
             "The upgrade is complete, the device is disconnected, please reconnect."},
            {"Centigrade", "℃"},
            {"Fahrenheit", "℉"},
            {"LanguageCn", "Chinese"},
            {"LanguageEn", "English"},
            {"BadPixelChoose", "Bad pixel correct"},
            {"Upgrading, unable to switch interface.", "The interface cannot be switched during the upgrade"},
            {"UnitSet", "Unit"},
            {"TemperUnit", "Temperature Unit"},
            {"PathSet", "Path"},
            {"OpenFolder", "Open folder"},
            {"Snapshot Path Too Long", "Snapshot path too long"},
            {"Record Path Too Long", "Record path too long"},
            {"Path open failed", "Failed to open the path."},
            {"Language switch succeeded.Client will restart automatically.",
             "Language switch succeeded. Client will restart automatically."},
            {"Device is not connect.", "Device is not connect."},
            {"Device is sleeping, please turn off sleep mode", "Device is sleeping, please turn off sleep mode"},
            {"There are adjacent bad columns", "There are adjacent bad columns"},
            {"Operate succeed", "Operate succeed"},
            {"Writing,please wait....", "Writing,please wait...."},
        };
        for (const auto& t : texts)
            QTest::newRow(t.first) << QString::fromUtf8(t.first) << QString::fromUtf8(t.second);
    }

    void englishTexts()
    {
        QFETCH(QString, key);
        QFETCH(QString, text);
        LangTable table;
        loadLanguage(table, 1);
        QCOMPARE(getLangText(table, key), text);
    }

    void chineseTexts()
    {
        LangTable cn;
        loadLanguage(cn, 0);
        LangTable en;
        loadLanguage(en, 1);
        QCOMPARE(getLangText(cn, "Max"), QString::fromUtf8("最大化"));
        QCOMPARE(getLangText(cn, "Min"), QString::fromUtf8("最小化"));

        // Every Chinese text is translated, not an English text carried over.
        const QRegularExpression han("[\\x{4E00}-\\x{9FFF}]");
        for (auto it = cn.cbegin(); it != cn.cend(); ++it)
            QVERIFY2(it.value().contains(han), qPrintable(it.key() + " = " + it.value()));

        // Placeholders filled in by the code exist in both languages.
        const QRegularExpression placeholder("%\\d");
        for (auto it = en.cbegin(); it != en.cend(); ++it) {
            QStringList enMarks, cnMarks;
            for (auto m = placeholder.globalMatch(it.value()); m.hasNext();)
                enMarks << m.next().captured();
            for (auto m = placeholder.globalMatch(cn.value(it.key())); m.hasNext();)
                cnMarks << m.next().captured();
            if (it.key() != "Avg")
                QCOMPARE(cnMarks, enMarks);
        }

        // The unplug notice drops the first two characters of prompt 2 as its numbering.
        for (const LangTable* table : {&en, &cn}) {
            QVERIFY(getLangText(*table, "Device connect fail prompt2").startsWith("1."));
            QVERIFY(getLangText(*table, "Device connect fail prompt3").startsWith("2."));
            QVERIFY(getLangText(*table, "Device connect fail prompt4").startsWith("3."));
        }
    }

private:
    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.path() + "/" + name;
        QFile file(path);
        if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
            return QString();
        return path;
    }

    QTemporaryDir m_dir;
};

QTEST_MAIN(TestLanguage)
#include "test_language.moc"
