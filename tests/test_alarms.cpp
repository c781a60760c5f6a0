// Alarms: rule evaluation with hold and hysteresis, the alarm log and trend CSV files, the
// temperatures of a frame region and their distribution, and thermava-cli watch/report.
#include "alarms/AlarmEngine.h"
#include "alarms/AlarmLog.h"
#include "alarms/AlarmMonitor.h"
#include "alarms/AlarmRuleStore.h"
#include "alarms/QAlarmRulesPage.h"
#include "app/ConfigStore.h"
#include "alarms/AlarmTrend.h"
#include "alarms/FrameStats.h"
#include "support/CliRunner.h"
#include "support/TestSupport.h"
#include "test_liveview_support.h"
#include "alarms/QTrendPanel.h"
#include "maintenance/PtExItem.h"
#include "platform/desktop/DesktopNotify.h"
#include "maintenance/QSceneViewCtrl.h"
#include "video/QVideoPlay.h"
#include "widgets/QIconTextVBtn.h"

#include <QJsonArray>
#include <QPainter>
#include <cmath>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStandardPaths>

#include <QTemporaryDir>
#include <QDoubleSpinBox>
#include <QListWidget>
#include <QTableWidget>
#include <QtTest>
#include <algorithm>
#ifdef THERMAVA_HAVE_DBUS
#include <QDBusConnection>
#endif

using namespace Alarm;

namespace {

Sample sceneSample(qint64 nMs, float fMax, float fMin = 20.0f, float fAvg = 25.0f)
{
    Sample s;
    s.nTimeMs = nMs;
    s.scene = {fMax, fMin, fAvg};
    return s;
}

// A WAV file of a square wave at nRate Hz, two equal channels, 16 bits.
bool writeSquareWav(const QString& qStrPath, int nRate, int nFrames, int nPeriod, int16_t nAmplitude)
{
    QByteArray data;
    for (int i = 0; i < nFrames; ++i) {
        const int16_t v = (i % nPeriod) < nPeriod / 2 ? nAmplitude : int16_t(-nAmplitude);
        data.append(reinterpret_cast<const char*>(&v), 2).append(reinterpret_cast<const char*>(&v), 2);
    }
    QByteArray wav;
    QDataStream out(&wav, QIODevice::WriteOnly);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + data.size());
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(2) << quint32(nRate) << quint32(nRate * 4) << quint16(4) << quint16(16);
    out.writeRawData("data", 4);
    out << quint32(data.size());
    out.writeRawData(data.constData(), data.size());
    QFile file(qStrPath);
    return file.open(QIODevice::WriteOnly) && file.write(wav) == wav.size();
}

#ifdef THERMAVA_HAVE_DBUS
// Stands in for the desktop's notification service.
class NotificationRecorder : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList received;   // "summary: body" of each notification
public slots:
    uint Notify(const QString&, uint, const QString&, const QString& summary, const QString& body, const QStringList&,
                const QVariantMap&, int)
    {
        received << summary + ": " + body;
        return uint(received.size());
    }
};
#endif

} // namespace

class TestAlarms : public QObject
{
    Q_OBJECT

private slots:
    void ruleFiresOncePerCrossingWithHoldAndHysteresis()
    {
        Rule above;
        above.fThresholdC = 60.0f;
        above.fHoldSec = 1.0;
        Rule below;
        below.nType = BelowMin;
        below.fThresholdC = 10.0f;
        Engine engine;
        QVERIFY(engine.setRules({above, below}, 0).empty());
        // Over the line for less than the hold time: nothing; the dip restarts the hold.
        QVERIFY(engine.feed(sceneSample(0, 61)).empty());
        QVERIFY(engine.feed(sceneSample(800, 59)).empty());
        QVERIFY(engine.feed(sceneSample(1000, 61)).empty());
        QVERIFY(engine.feed(sceneSample(1800, 62)).empty());
        std::vector<Event> ev = engine.feed(sceneSample(2000, 62));
        QCOMPARE(int(ev.size()), 1);
        QVERIFY(ev[0].bStart);
        QCOMPARE(ev[0].nRule, 0);
        QCOMPARE(ev[0].fValueC, 62.0f);
        // Staying above, or falling within the hysteresis, neither repeats nor ends it.
        QVERIFY(engine.feed(sceneSample(2200, 65)).empty());
        QVERIFY(engine.feed(sceneSample(2400, 59.5f)).empty());
        QVERIFY(engine.isActive(0));
        ev = engine.feed(sceneSample(2600, 58.9f));
        QCOMPARE(int(ev.size()), 1);
        QVERIFY(!ev[0].bStart);
        QVERIFY(engine.feed(sceneSample(2800, 58)).empty());
        // The below-minimum rule reads the minimum.
        ev = engine.feed(sceneSample(3000, 30, 9.0f));
        QCOMPARE(int(ev.size()), 1);
        QCOMPARE(ev[0].nRule, 1);
        // Changing the rule's threshold ends its alarm; changing only an action keeps it.
        below.bSnapshot = true;
        QVERIFY(engine.setRules({above, below}, 3100).empty());
        below.fThresholdC = 5.0f;
        ev = engine.setRules({above, below}, 3200);
        QCOMPARE(int(ev.size()), 1);
        QVERIFY(!ev[0].bStart && ev[0].nRule == 1);
    }

    void itemRuleEndsWhenItsItemGoes()
    {
        Rule rule;
        rule.nSource = 3;
        rule.nType = AboveAvg;
        rule.fThresholdC = 40.0f;
        Engine engine;
        engine.setRules({rule}, 0);
        Sample s = sceneSample(0, 90, 20, 90);   // the scene alone does not trip an item rule
        QVERIFY(engine.feed(s).empty());
        s.items.insert(3, {50, 30, 41});
        QCOMPARE(int(engine.feed(s).size()), 1);
        s.items.clear();
        const std::vector<Event> ev = engine.feed(s);
        QCOMPARE(int(ev.size()), 1);
        QVERIFY(!ev[0].bStart);
    }

    void logAndTrendCsvParse()
    {
        QTemporaryDir dir;
        const AlarmLog log(dir.path() + "/sub/AlarmLog.csv");
        LogEntry e;
        e.time = QDateTime::currentDateTime();
        e.qStrRule = "Above(Max Temper) 60.0 \"scene\", hold 1 s";
        e.fValueC = 61.25f;
        e.files = QStringList{dir.path() + "/a,b.jpg", dir.path() + "/c.mp4"};
        QVERIFY(log.append(e));
        e.bStart = false;
        e.files.clear();
        QVERIFY(log.append(e));
        const QList<LogEntry> back = log.read();
        QCOMPARE(back.size(), 2);
        QCOMPARE(back[0].qStrRule, e.qStrRule);
        QCOMPARE(back[0].files.size(), 2);
        QCOMPARE(back[0].fValueC, 61.25f);
        QVERIFY(back[0].bStart && !back[1].bStart);
        QCOMPARE(back[0].time.toMSecsSinceEpoch(), e.time.toMSecsSinceEpoch());
        // An unwritable place is reported, not ignored.
        QVERIFY(!AlarmLog("/proc/no/AlarmLog.csv").append(e));

        TrendBuffer trend(1000);
        for (int i = 0; i < 10; ++i) {
            Sample s = sceneSample(i * 200, 60 + i);
            if (i >= 8)
                s.items.insert(2, {40, 30, 35});
            trend.add(s);
        }
        QCOMPARE(int(trend.samples().size()), 6);   // 800 .. 1800 ms
        const QList<QStringList> rows = parseCsv(trend.toCsv());
        QCOMPARE(rows.size(), 7);
        QCOMPARE(rows[0].size(), 7);
        QCOMPARE(rows[1][1], QString("64.00"));
        QCOMPARE(rows[1][4], QString());
        QCOMPARE(rows[6][6], QString("35.00"));
    }

    void histogramFollowsTheTemperatureModel()
    {
        // Luminance 10 in six pixels and 110 in two, between 20 and 70 degrees.
        const std::vector<uint8_t> luma = {10, 10, 10, 10, 10, 10, 110, 110};
        const Measure::LumaPlane plane{luma.data(), 4, 2, 1};
        const Measure::LumaModel model = Measure::modelOf(luma.data(), luma.size(), 20.0f, 70.0f);
        Histogram hist = frameHistogram(plane, model, Measure::Emissivity(), 5);
        QCOMPARE(hist.nTotal, 8);
        QCOMPARE(hist.fLowC, 20.0f);
        QCOMPARE(hist.fHighC, 70.0f);
        QCOMPARE(hist.counts, (std::vector<int>{6, 0, 0, 0, 2}));
        // Emissivity moves the range with the readings.
        Measure::Emissivity e;
        e.fEmissivity = 0.5;
        hist = frameHistogram(plane, model, e, 5);
        QCOMPARE(hist.fHighC, e.correct(70.0f));
    }

    // Rules entered in Fahrenheit on the page are kept in Celsius, reach a running monitor at
    // once, and its alarms land in the log the page shows.
    void pageRulesDriveTheMonitor()
    {
        TestSupport::initCommon();
        TestSupport::ScopedConfigDir config;
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "TemperUnit", 1);
        AlarmMonitor monitor;
        QAlarmRulesPage page;
        page.addRuleSlot();
        qobject_cast<QDoubleSpinBox*>(page.rulesTable()->cellWidget(0, 3))->setValue(140.0);   // 60 C
        page.saveSlot();
        QCOMPARE(int(loadRules().size()), 1);
        QVERIFY(qAbs(loadRules()[0].fThresholdC - 60.0f) < 0.01f);
        QCOMPARE(int(monitor.rules().size()), 1);
        QSignalSpy state(&monitor, &AlarmMonitor::sendAlarmStateSignal);
        Measure::SceneReading scene;
        scene.bValid = true;
        scene.fMax = 65.0f;
        monitor.setSceneReadingSlot(scene);
        scene.fMax = 50.0f;
        monitor.setSceneReadingSlot(scene);
        QCOMPARE(state.size(), 2);
        QCOMPARE(monitor.log().read().size(), 2);
        page.refreshLogSlot();
        QCOMPARE(page.logList()->count(), 2);
        QCOMPARE(int(monitor.trend().samples().size()), 2);
        // Unparsable stored rules are dropped, not turned into alarms on nonsense.
        QCOMPARE(int(rulesFromJson("[{\"type\":9,\"threshold\":1},{\"type\":0},7]").size()), 0);
    }

    // In the window, against the simulated camera: the hot object crossing 60 degrees during
    // a manual recording stops it with the alarm notice, keeps a snapshot and an alarm
    // recording, logs start and end, and turns the hot point marker red until it clears; the
    // scene average reaches the monitor, and the trend panel opens from the live view.
    void windowRaisesAndClearsAlarm()
    {
        LiveViewTest::initLiveViewTests();
        TestSupport::ScopedConfigDir config;
        const QString qStrDir = config.path();
        for (const char* key : {"ManualSnapshotPath", "ManualRecordPath", "AlarmRecordPath"})
            ConfigStore::setValue(ConfigStore::kGeneralGroup, key, qStrDir + "/" + key);
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "HotPoint", 1);
        Rule rule;
        rule.bSnapshot = rule.bRecord = true;
        saveRules({rule});
        saveAlarmDuration(1);
        SimCamera::instance().reset();
        SimCamera::instance().setHotTemperature(50.0f);
        auto pWindow = LiveViewTest::makeMainWindow();
        QVideoPreviewModuleWidget* p = pWindow->liveView();
        auto* pMonitor = p->findChild<AlarmMonitor*>("alarmMonitor");
        QTest::mouseClick(p->connectButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->videoPlay()->isStreamAlive(), 20000);
        QTest::mouseClick(p->recordButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bRecording, 5000);
        PtExItem* pMarker = p->overlay()->marker();
        const auto redPixels = [pMarker] {
            QImage image(240, 80, QImage::Format_ARGB32);
            image.fill(Qt::black);
            QPainter painter(&image);
            painter.translate(120, 40);
            pMarker->paint(&painter, nullptr, nullptr);
            int n = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    n += image.pixelColor(x, y) == QColor(230, 30, 30);
            return n;
        };
        QCOMPARE(redPixels(), 0);

        SimCamera::instance().setHotTemperature(70.0f);
        QTRY_VERIFY_WITH_TIMEOUT(pMarker->isAlarm(), 5000);
        QVERIFY(redPixels() > 20);
        QTRY_VERIFY_WITH_TIMEOUT(!p->m_bRecording, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(LiveViewTest::noticeText(), langText("Alarm has occurred, manual recording stop"), 3000);
        SimCamera::instance().setHotTemperature(50.0f);
        QTRY_VERIFY_WITH_TIMEOUT(!pMarker->isAlarm(), 5000);
        QCOMPARE(redPixels(), 0);
        QTRY_COMPARE_WITH_TIMEOUT(pMonitor->log().read().size(), 2, 5000);
        const QList<LogEntry> log = pMonitor->log().read();
        QVERIFY(log[0].bStart && !log[1].bStart);
        QCOMPARE(log[0].qStrRule, ruleText(rule));
        QStringList files = log[0].files.filter(".jpg");
        QVERIFY2(files.size() == 1 && files[0].startsWith(qStrDir + "/ManualSnapshotPath/"), qPrintable(log[0].files.join(' ')));
        QVERIFY(QImage(files[0]).width() > 0);
        QTRY_VERIFY_WITH_TIMEOUT(!p->videoPlay()->isRecording(), 5000);
        files = log[0].files.filter(".mp4");
        QVERIFY2(files.size() == 1 && files[0].startsWith(qStrDir + "/AlarmRecordPath/"), qPrintable(log[0].files.join(' ')));
        QVERIFY(QFileInfo(files[0]).size() > 0);
        QVERIFY(std::isfinite(pMonitor->trend().samples().back().scene.fAvg));

        // On the settings page the rules still watch; without a manual recording the notice
        // names the rule.
        QTest::mouseClick(p->navButton(1), Qt::LeftButton);
        SimCamera::instance().setHotTemperature(70.0f);
        QTRY_VERIFY_WITH_TIMEOUT(pMonitor->isAlarmActive(), 5000);
        QTest::qWait(500);
        QVERIFY2(LiveViewTest::noticeText().endsWith(ruleText(rule)), qPrintable(LiveViewTest::noticeText()));
        for (QPushButton* pBtn : p->findChildren<QPushButton*>()) {
            if (pBtn->text() == langText("TemperDistribute"))
                pBtn->click();
        }
        QTRY_VERIFY(p->findChild<QTrendPanel*>() && p->findChild<QTrendPanel*>()->isVisible());

        // Standby takes no readings: an alarm running then ends with it, not when it wakes.
        QTest::mouseClick(p->navButton(0), Qt::LeftButton);
        QTest::mouseClick(p->standbyButton(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(p->m_bStandby, 5000);
        QTRY_VERIFY_WITH_TIMEOUT(!pMonitor->isAlarmActive(), 3000);
        QVERIFY(!pMonitor->log().read().last().bStart);
    }

    // The hot object (about 65 degrees) trips a 60 degree rule with a snapshot; at 50 it does
    // not. The report of that snapshot is a PDF whose text holds the alarm's temperature.
    void watchReportsAlarmsAndReportHoldsThem()
    {
        QVERIFY2(QFileInfo::exists(TestSupport::cliPath()), "thermava-cli is part of the build: build it before its tests");
        QTemporaryDir dir;
        const QStringList args = {"watch", "--above", "60", "--seconds", "4", "--json", "--snapshot", "-o", dir.path()};
        TestSupport::CliRun r = TestSupport::runCli(args, "seed=5");
        QVERIFY2(r.nExit == 0, qPrintable(r.err));
        const QStringList lines = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(!lines.isEmpty(), qPrintable(r.err));
        const QJsonObject start = QJsonDocument::fromJson(lines[0].toUtf8()).object();
        QCOMPARE(start.value("event").toString(), QString("start"));
        QVERIFY(start.value("value").toDouble() > 60.0);
        const QString qStrJpeg = start.value("files").toArray().at(0).toString();
        QVERIFY2(QImage(qStrJpeg).width() > 0, qPrintable(qStrJpeg));
        QCOMPARE(AlarmLog(dir.path() + "/AlarmLog.csv").read().size(), lines.size());

        // A hot object moving from 50 to 70 degrees and back every 4 s: each crossing starts an
        // alarm (here with its recording) and each return below 59 ends it, in turn.
        QTemporaryDir moving;
        r = TestSupport::runCli({"watch", "--above", "60", "--hold", "0.4", "--seconds", "7", "--json", "--record", "1",
                                 "-o", moving.path()},
                                "seed=5;hot=50..70/4");
        QVERIFY2(r.nExit == 0, qPrintable(r.err));
        const QStringList moves = r.out.split('\n', Qt::SkipEmptyParts);
        QVERIFY2(moves.size() >= 2, qPrintable(r.out));
        for (int i = 0; i < moves.size(); ++i) {
            const QJsonObject ev = QJsonDocument::fromJson(moves[i].toUtf8()).object();
            QCOMPARE(ev.value("event").toString(), QString(i % 2 ? "end" : "start"));
            if (i == 0)
                QVERIFY(QFileInfo(ev.value("files").toArray().at(0).toString()).size() > 0);
            if (i == 1)
                QVERIFY2(ev.value("value").toDouble() < 59.0, qPrintable(moves[i]));
        }

        r = TestSupport::runCli(args, "seed=5;hot=50");
        QCOMPARE(r.nExit, 0);
        QVERIFY2(r.out.isEmpty(), qPrintable(r.out));
        QCOMPARE(TestSupport::runCli(args + QStringList{"--passes", "1"}, "absent").nExit, 3);

        const QString qStrPdf = dir.path() + "/r.pdf";
        r = TestSupport::runCli({"report", qStrJpeg, "-o", qStrPdf, "--title", "Cabinet", "--log", dir.path() + "/AlarmLog.csv"});
        QVERIFY2(r.nExit == 0, qPrintable(r.err));
        if (QStandardPaths::findExecutable("pdftotext").isEmpty())
            QSKIP("pdftotext is not installed");
        QProcess text;
        text.start("pdftotext", {qStrPdf, "-"});
        QVERIFY(text.waitForFinished(30000));
        const QString qStrText = QString::fromUtf8(text.readAllStandardOutput());
        QVERIFY2(qStrText.contains("Cabinet"), qPrintable(qStrText));
        QVERIFY2(qStrText.contains(QString::number(start.value("value").toDouble(), 'f', 1)), qPrintable(qStrText));
        QCOMPARE(qStrText.count('\f'), 3);   // cover, snapshot, alarms with trend and notes
    }

    // An alarm's desktop actions, through the monitor as the window runs them: a notification
    // naming the rule and the temperature reaches the notification service, and a sound file
    // plays in full. Runs this executable again on a private session bus, with SDL's audio
    // written to a file, so both are seen from the outside.
    void alarmReachesTheDesktop()
    {
#ifndef THERMAVA_HAVE_DBUS
        QSKIP("built without D-Bus");
#else
        const QString qStrDir = qEnvironmentVariable("THERMAVA_TEST_DESKTOP_DIR");
        if (qStrDir.isEmpty()) {
            const QString qStrRunSession = QStandardPaths::findExecutable("dbus-run-session");
            if (qStrRunSession.isEmpty())
                QSKIP("dbus-run-session is not installed");
            QTemporaryDir dir;
            QProcess child;
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("THERMAVA_TEST_DESKTOP_DIR", dir.path());
            env.insert("SDL_AUDIODRIVER", "disk");
            env.insert("SDL_DISKAUDIOFILE", dir.path() + "/out.raw");
            child.setProcessEnvironment(env);
            child.setProcessChannelMode(QProcess::MergedChannels);
            child.start(qStrRunSession, {"--", QCoreApplication::applicationFilePath(), "alarmReachesTheDesktop"});
            if (!child.waitForFinished(60000))
                child.kill();
            QVERIFY2(child.exitStatus() == QProcess::NormalExit && child.exitCode() == 0, child.readAll().constData());
            return;
        }
        TestSupport::initCommon();
        TestSupport::ScopedConfigDir config;
        // On a bus where no notification service runs, nothing is sent and that is said.
        QVERIFY(QDBusConnection::sessionBus().isConnected());
        QVERIFY(!DesktopNotify::isAvailable());
        QVERIFY(!DesktopNotify::notify("Thermava", "nobody listens"));
        NotificationRecorder recorder;
        QDBusConnection service = QDBusConnection::connectToBus(QDBusConnection::SessionBus, "notifications");
        QVERIFY(service.registerObject("/org/freedesktop/Notifications", &recorder, QDBusConnection::ExportAllSlots));
        QVERIFY(service.registerService("org.freedesktop.Notifications"));

        // 0.3 s of a 200 Hz square wave at 48 kHz stereo; the output is 44.1 kHz mono.
        QVERIFY(writeSquareWav(qStrDir + "/tone.wav", 48000, 14400, 240, 12000));
        QFile bad(qStrDir + "/bad.wav");   // its format chunk claims more than the file holds
        QVERIFY(bad.open(QIODevice::WriteOnly) && bad.write(QByteArray("RIFF\x24\0\0\0WAVEfmt \xff\xff\0\0", 20)) == 20);
        bad.close();
        Rule hot;
        hot.bSound = hot.bNotify = true;
        hot.qStrAudioFile = qStrDir + "/tone.wav";
        Rule cold;
        cold.nType = BelowMin;
        cold.fThresholdC = 10.0f;
        cold.bSound = true;
        cold.qStrAudioFile = bad.fileName();
        saveRules({hot, cold});
        AlarmMonitor monitor;
        monitor.setLogPath(qStrDir + "/AlarmLog.csv");
        monitor.feed(sceneSample(0, 65.5f));
        QTRY_COMPARE_WITH_TIMEOUT(recorder.received.size(), 1, 5000);
        QCOMPARE(recorder.received[0], "Thermava: " + ruleText(hot) + ": 65.5 \u2103");

        const auto output = [&qStrDir] {
            QFile file(qStrDir + "/out.raw");
            file.open(QIODevice::ReadOnly);
            const QByteArray bytes = file.readAll();
            return std::vector<int16_t>(reinterpret_cast<const int16_t*>(bytes.constData()),
                                        reinterpret_cast<const int16_t*>(bytes.constData()) + bytes.size() / 2);
        };
        const auto loud = [](int16_t v) { return std::abs(int(v)) > 1000; };
        // Wait until the sound and a good stretch of silence after it are in the file.
        QTRY_VERIFY_WITH_TIMEOUT(([&] {
                                     const std::vector<int16_t> out = output();
                                     const auto first = std::find_if(out.begin(), out.end(), loud);
                                     return first != out.end() && out.end() - first > 13230 + 8192;
                                 }()),
                                 10000);
        const std::vector<int16_t> out = output();
        const auto first = std::find_if(out.begin(), out.end(), loud);
        const auto last = std::find_if(out.rbegin(), out.rend(), loud).base();
        QVERIFY2(std::abs(int(last - first) - 13230) < 200, qPrintable(QString::number(last - first)));
        const long nFull = std::count_if(first, last, [](int16_t v) { return std::abs(std::abs(int(v)) - 12000) < 1500; });
        QVERIFY2(nFull > (last - first) * 8 / 10, qPrintable(QString::number(nFull)));

        // A damaged sound file is reported; the alarm still goes into the log.
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression("^Alarm sound: cannot play .*/bad.wav: .+"));
        monitor.feed(sceneSample(200, 65.5f, 5.0f));
        QCOMPARE(monitor.log().read().size(), 2);
        QCOMPARE(recorder.received.size(), 1);
#endif
    }

    // The camera vanishing under `watch` (another program power-cycles the shared simulated
    // camera): without --reconnect watch ends with code 1; with it, watch says so, waits, says
    // when the camera is back, and raises the alarm again. Both run side by side, each on a
    // camera of its own.
    void watchWaitsForALostCamera()
    {
        QTemporaryDir states[2];
        QProcess watches[2];
        QString out[2], err[2];
        const auto sim = [&states](int i) { return "statedir=" + states[i].path() + ";seed=5"; };
        for (int i = 0; i < 2; ++i) {
            QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
            env.insert("THERMAVA_SIM", sim(i));
            watches[i].setProcessEnvironment(env);
            QStringList args{"watch", "--above", "60", "--json", "--seconds", "30", "-o", states[i].path()};
            if (i)
                args << "--reconnect";
            watches[i].start(TestSupport::cliPath(), args);
            QVERIFY(watches[i].waitForStarted());
        }
        // The power goes at the first alarm; the waiting watch is stopped after the next one, as
        // systemd would stop it.
        for (int i = 0; i < 2; ++i) {
            while (watches[i].state() == QProcess::Running && !watches[i].canReadLine())
                watches[i].waitForReadyRead(10000);
            const TestSupport::CliRun cut = TestSupport::runCli({"sim", "reset", "--no-wait"}, sim(i) + ";restartms=500");
            QVERIFY2(cut.nExit == 0, qPrintable(cut.err));
        }
        QStringList events[2];
        for (int i = 0; i < 2; ++i) {
            do
                out[i] += QString::fromUtf8(watches[i].readAll());
            while (out[i].count('\n') < 2 + i && watches[i].waitForReadyRead(10000));
            if (i)
                watches[i].terminate();
            if (!watches[i].waitForFinished(10000))
                watches[i].kill();
            out[i] += QString::fromUtf8(watches[i].readAll());
            err[i] = QString::fromUtf8(watches[i].readAllStandardError());
            for (const QString& line : out[i].split('\n', Qt::SkipEmptyParts))
                events[i] << QJsonDocument::fromJson(line.toUtf8()).object().value("event").toString();
        }
        QVERIFY2(watches[0].exitStatus() == QProcess::NormalExit && watches[0].exitCode() == 1, qPrintable(out[0] + err[0]));
        QCOMPARE(events[0], (QStringList{"start", "end"}));
        QVERIFY2(err[0].endsWith("thermava-cli: the camera was lost\n"), qPrintable(err[0]));
        QVERIFY2(watches[1].exitStatus() == QProcess::NormalExit && watches[1].exitCode() == 0, qPrintable(out[1] + err[1]));
        QCOMPARE(events[1], (QStringList{"start", "end", "start", "end"}));
        QVERIFY2(err[1].contains("the camera was lost; waiting for it\nthermava-cli: the camera is back\n"), qPrintable(err[1]));
    }
};

QTEST_MAIN(TestAlarms)
#include "test_alarms.moc"
