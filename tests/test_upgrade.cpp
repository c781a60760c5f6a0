// Firmware upgrade against the simulated camera: file checks and their result codes, chunked
// writing with retries and a pulled cable, the install wait and restart, and the upgrade
// page's guards, lock and status texts.

#include "support/TestSupport.h"

#include "app/AppFlags.h"
#include "app/LangTable.h"
#include "device/QDevCommExec.h"
#include "device/UsbCameraLink.h"
#include "maintenance/FirmwareImage.h"
#include "maintenance/QUpdate.h"
#include "maintenance/UpdateExec.h"
#include "platform/simcam/SimCamera.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QSelLineEdit.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {

UsbCameraLink& link() { return UsbCameraLink::instance(); }
SimCamera& cam() { return SimCamera::instance(); }

using Results = QList<QPair<bool, int>>;

Results results(const QSignalSpy& spy)
{
    Results out;
    for (const QList<QVariant>& args : spy)
        out << qMakePair(args.at(0).toBool(), args.at(1).toInt());
    return out;
}

QList<QPair<int, int>> progress(const QSignalSpy& spy)
{
    QList<QPair<int, int>> out;
    for (const QList<QVariant>& args : spy)
        out << qMakePair(args.at(0).toInt(), args.at(1).toInt());
    return out;
}

uint64_t chunkCount() { return cam().commandCount(0x00, Firmware::kSubChunk); }
uint64_t pollCount() { return cam().commandCount(0x00, Firmware::kSubProgress); }
uint64_t restartCount() { return cam().commandCount(0x02); }

uint32_t be32(const std::vector<uint8_t>& p, size_t at)
{
    return uint32_t(p[at]) << 24 | uint32_t(p[at + 1]) << 16 | uint32_t(p[at + 2]) << 8 | uint32_t(p[at + 3]);
}

// A worker whose pauses are recorded instead of slept.
struct Worker
{
    UpdateExec exec;
    QList<int> sleeps;
    std::function<void(int)> onSleep;
    QSignalSpy done{&exec, &UpdateExec::Send_Upgrade_Ret};
    QSignalSpy steps{&exec, &UpdateExec::Task_SetProgress};

    Worker()
    {
        exec.setSleepFunction([this](int nMs) {
            sleeps << nMs;
            if (onSleep)
                onSleep(nMs);
        });
    }
};

} // namespace

class TestUpgrade : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    std::unique_ptr<QDevCommExec> m_exec;
    QStringList m_notices;

    QString writeFile(const QString& name, const QByteArray& bytes)
    {
        const QString path = m_dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
            return QString();
        return path;
    }

    QString firmware(const QString& name, qint64 nImage, Firmware::BuildOptions o = Firmware::BuildOptions())
    {
        o.image = Firmware::patternImage(nImage, 11);
        return writeFile(name, Firmware::buildFile(o));
    }

    void connectCamera()
    {
        m_exec.reset(new QDevCommExec);
        m_exec->setConnectPassInterval(0);
        m_exec->setDevConnectSlot();
    }

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        loadLanguage(langTable(), 1);
        QVERIFY(m_dir.isValid());
        QMessageboxDlg::setExecHookForTests([this](QMessageboxDlg& dlg) {
            m_notices << dlg.text();
            return int(QDialog::Accepted);
        });
    }

    void init()
    {
        m_exec.reset();
        link().close();
        cam().reset();
        cam().setInstallDurationMs(600000);   // installs finish only when a test says so
        cam().setRestartDurationMs(50);
        g_bStandby = false;
        g_bRecording = false;
        m_notices.clear();
        connectCamera();
        QVERIFY(link().bStreaming);
        cam().clearCommandLog();
    }

    void cleanup()
    {
        m_exec.reset();
        link().close();
        cam().reset();
        g_bStandby = false;
        g_bRecording = false;
    }

    void cleanupTestCase() { QMessageboxDlg::setExecHookForTests({}); }

    // Files refused before anything is written, each with its result code.
    void refusedFiles()
    {
        const uint64_t nBefore = cam().commandCount();
        {   // missing file
            Worker w;
            w.exec.setUpdateSlots(m_dir.filePath("missing.bin"));
            QCOMPARE(results(w.done), Results({{false, -2}}));
            w.exec.setUpdateSlots(QString());
            QCOMPARE(results(w.done).last(), qMakePair(false, -2));
        }
        {   // too short to hold the check fields: refused without asking the camera
            Worker w;
            Firmware::BuildOptions o;
            o.nHeaderBytes = 111;
            w.exec.setUpdateSlots(writeFile("short.bin", Firmware::buildFile(o)));
            QCOMPARE(results(w.done), Results({{false, -3}}));
            QCOMPARE(w.exec.lastVerdict(), UpdateExec::Verdict::TooShort);
        }
        {   // wrong CRC: refused before the camera is asked anything
            Worker w;
            Firmware::BuildOptions o;
            o.bBreakCrc = true;
            w.exec.setUpdateSlots(firmware("crc.bin", 4096, o));
            QCOMPARE(results(w.done), Results({{false, -3}}));
            QCOMPARE(w.exec.lastVerdict(), UpdateExec::Verdict::CrcMismatch);
        }
        {   // above the size limit: refused at once, the file is never read into memory
            Worker w;
            QFile huge(m_dir.filePath("huge.bin"));
            QVERIFY(huge.open(QIODevice::WriteOnly));
            QVERIFY(huge.resize(Firmware::kMaxFileSize + 1));   // sparse, costs no disk
            huge.close();
            w.exec.setUpdateSlots(huge.fileName());
            QCOMPARE(results(w.done), Results({{false, -3}}));
            QCOMPARE(w.exec.lastVerdict(), UpdateExec::Verdict::TooLarge);
            QFile::remove(huge.fileName());
        }
        QCOMPARE(cam().commandCount(), nBefore);

        {   // a valid header without an image: checked, then nothing is sent
            Worker w;
            w.exec.setUpdateSlots(firmware("header-only.bin", 0));
            QCOMPARE(QFileInfo(m_dir.filePath("header-only.bin")).size(), Firmware::kHeaderRegionSize);
            QCOMPARE(w.exec.lastVerdict(), UpdateExec::Verdict::Passed);
            QCOMPARE(results(w.done), Results({{false, -4}}));
            QCOMPARE(chunkCount(), 0u);
            QCOMPARE(pollCount(), 0u);
            QVERIFY(w.steps.isEmpty());
        }
    }

    // The three camera checks: enabled and matching or not, disabled, and the sensor alias.
    void cameraChecks()
    {
        struct Case
        {
            const char* name;
            bool bPlatform; uint32_t nPlatform;
            bool bSensor; uint32_t nSensor;
            bool bVariant; uint32_t nVariant;
            UpdateExec::Verdict expected;
        };
        // The simulated camera reports platform "MS" (4), variant 'C' (1) and, for this test,
        // a 640-wide sensor (class 2).
        const Case cases[] = {
            {"all matching", true, 4, true, 2, true, 1, UpdateExec::Verdict::Passed},
            {"sensor 32 as 2", false, 0, true, 32, false, 0, UpdateExec::Verdict::Passed},
            {"platform differs", true, 2, false, 0, false, 0, UpdateExec::Verdict::PlatformMismatch},
            {"sensor differs", false, 0, true, 4, false, 0, UpdateExec::Verdict::SensorMismatch},
            {"variant differs", false, 0, false, 0, true, 4, UpdateExec::Verdict::VariantMismatch},
            {"mismatches ignored when off", false, 2, false, 4, false, 4, UpdateExec::Verdict::Passed},
        };
        cam().setPartNumber("KRM6400101A1RT1");
        for (const Case& c : cases) {
            Firmware::BuildOptions o;
            o.bPlatformCheck = c.bPlatform;
            o.nPlatform = c.nPlatform;
            o.bSensorCheck = c.bSensor;
            o.nSensorClass = c.nSensor;
            o.bVariantCheck = c.bVariant;
            o.nVariant = c.nVariant;
            Worker w;
            w.exec.setInstallPolls(1);
            cam().clearCommandLog();
            w.exec.setUpdateSlots(firmware("checks.bin", 100, o));
            QVERIFY2(w.exec.lastVerdict() == c.expected, c.name);
            const bool bPassed = c.expected == UpdateExec::Verdict::Passed;
            QVERIFY2(!w.done.isEmpty() && (w.done.first().at(1).toInt() == -3) == !bPassed, c.name);
            QVERIFY2((chunkCount() > 0) == bPassed, c.name);
            // The part number is asked only when the sensor check needs it.
            QVERIFY2((cam().commandCount(0x66) > 0) == c.bSensor, c.name);
        }

        // With every check off only the CRC decides, whatever the camera reports...
        cam().setSoftwareVersion("nothing recognisable here");
        Worker w;
        w.exec.setInstallPolls(1);
        w.exec.setUpdateSlots(firmware("plain.bin", 100));
        QCOMPARE(w.exec.lastVerdict(), UpdateExec::Verdict::Passed);
        // ...but a camera that does not answer the version query fails the check.
        Worker silent;
        cam().failNext(SimFault::Status22, 1, 0x05);
        cam().clearCommandLog();
        silent.exec.setUpdateSlots(firmware("plain.bin", 100));
        QCOMPARE(silent.exec.lastVerdict(), UpdateExec::Verdict::VersionQueryFailed);
        QCOMPARE(results(silent.done), Results({{false, -3}}));
        QCOMPARE(chunkCount(), 0u);
    }

    // 30,721 image bytes: two chunks carrying the whole length, then the install wait with a
    // few unfinished polls, the restart, and success.
    void twoChunksInstallAndRestart()
    {
        Worker w;
        int nPollSleeps = 0;
        w.onSleep = [&nPollSleeps](int nMs) {
            if (nMs == 7 && ++nPollSleeps == 3)
                cam().setInstallDurationMs(0);   // finished by the next poll
        };
        w.exec.setPollIntervalMs(7);
        const QString path = firmware("two.bin", 30721);
        w.exec.setUpdateSlots(path);

        QCOMPARE(progress(w.steps), (QList<QPair<int, int>>{{30720, 30721}, {30721, 30721}}));
        QCOMPARE(results(w.done), Results({{true, -1}, {true, 0}}));
        QCOMPARE(w.sleeps, QList<int>({7, 7, 7}));
        QCOMPARE(pollCount(), 4u);

        std::vector<std::vector<uint8_t>> chunks;
        for (const SimCommandRecord& r : cam().commandLog())
            if (r.nCode == 0 && r.subCommand() == Firmware::kSubChunk)
                chunks.push_back(r.payload);
        QCOMPARE(chunks.size(), size_t(2));
        QCOMPARE(chunks[0].size(), size_t(30729));
        QCOMPARE(chunks[1].size(), size_t(10));
        QCOMPARE(be32(chunks[0], 1), 30721u);
        QCOMPARE(be32(chunks[0], 5), 0u);
        QCOMPARE(be32(chunks[1], 1), 30721u);
        QCOMPARE(be32(chunks[1], 5), 30720u);
        const QByteArray image = Firmware::patternImage(30721, 11);
        const std::vector<uint8_t> received = cam().receivedImage();
        QCOMPARE(QByteArray(reinterpret_cast<const char*>(received.data()), int(received.size())), image);

        // The restart carries one zero byte and comes after the poll that read 100.
        const SimCommandRecord last = cam().lastCommand();
        QCOMPARE(int(last.nCode), 0x02);
        QCOMPARE(last.payload, std::vector<uint8_t>({0x00}));
        QCOMPARE(restartCount(), 1u);
        QTRY_COMPARE_WITH_TIMEOUT(cam().installCount(), 1, 10000);
    }

    // The camera never reaches 100: the run ends as a failure and the camera is not restarted.
    void installNeverConfirmed()
    {
        Worker w;
        w.exec.setInstallPolls(5);
        w.exec.setPollIntervalMs(3);
        w.exec.setUpdateSlots(firmware("slow.bin", 1000));
        QCOMPARE(results(w.done), Results({{true, -1}, {false, -5}}));
        QCOMPARE(pollCount(), 5u);
        QCOMPARE(w.sleeps, QList<int>({3, 3, 3, 3}));
        QCOMPARE(restartCount(), 0u);
    }

    // A refused chunk is sent again after a pause; three refusals end the run.
    void chunkRetries()
    {
        {
            Worker w;
            w.exec.setInstallPolls(1);
            w.exec.setRetryPauseMs(9);
            cam().failNext(SimFault::Status22, 1, 0x00);
            w.exec.setUpdateSlots(firmware("retry.bin", 40000));
            QCOMPARE(w.sleeps, QList<int>({9}));
            QCOMPARE(progress(w.steps), (QList<QPair<int, int>>{{30720, 40000}, {40000, 40000}}));
            QCOMPARE(results(w.done).first(), qMakePair(true, -1));
            QCOMPARE(int(cam().receivedImage().size()), 40000);
        }
        {
            Worker w;
            w.exec.setRetryPauseMs(9);
            cam().clearCommandLog();
            cam().failNext(SimFault::Status22, 3, 0x00);
            w.exec.setUpdateSlots(firmware("refused.bin", 40000));
            QCOMPARE(chunkCount(), 3u);
            QCOMPARE(w.sleeps, QList<int>({9, 9}));
            QVERIFY(w.steps.isEmpty());
            QCOMPARE(results(w.done), Results({{false, -1}}));
            QCOMPARE(pollCount(), 0u);
        }
    }

    // Cable pulled after the first chunk: the next failure ends the loop without pausing.
    void cablePulledDuringWriting()
    {
        Worker w;
        connect(&w.exec, &UpdateExec::Task_SetProgress, this, [](int nOffset, int) {
            if (nOffset == Firmware::kChunkSize) {
                cam().unplug();
                link().bStreaming = false;   // what the client's removal handling leaves behind
            }
        });
        w.exec.setUpdateSlots(firmware("pulled.bin", 3 * Firmware::kChunkSize));
        QCOMPARE(w.steps.size(), 1);
        QVERIFY(w.sleeps.isEmpty());
        QCOMPARE(results(w.done), Results({{false, -1}}));
        cam().replug();
    }

    // The page: guards in order, lock, progress and status texts, through its own thread.
    void pageGuardsAndRun()
    {
        QUpdate page;
        QSignalSpy lock(&page, &QUpdate::SendDisableBtnSignal);
        QSignalSpy start(&page, &QUpdate::sendUpgradeExec);
        QCOMPARE(page.progressBar()->objectName(), QString("UpdateProgressBar"));
        QCOMPARE(page.statusLabel()->objectName(), QString("ProgressStatusLabel"));
        QCOMPARE(page.updateButton()->text(), QString("Upgrade"));

        // Every guard failing at once: the first one speaks; then each is cleared in turn.
        link().bStreaming = false;
        g_bStandby = true;
        g_bRecording = true;
        const QStringList expected = {"Device is not connect.", "Device is sleeping, please turn off sleep mode",
                                      "Device is recording.", "Please select a .bin file to upgrade."};
        page.updateButton()->click();
        link().bStreaming = true;
        page.updateButton()->click();
        g_bStandby = false;
        page.updateButton()->click();
        g_bRecording = false;
        page.updateButton()->click();
        QCOMPARE(m_notices, expected);
        QVERIFY(lock.isEmpty() && start.isEmpty() && !page.isUpgrading());

        // Picking a file: a cancelled dialog keeps the field.
        QString chosen;
        QString startedAt;
        QUpdate::setFileDialogHookForTests([&](QWidget*, const QString& from) {
            startedAt = from;
            return chosen;
        });
        page.fileSelector()->setText("/keep/this.bin");
        page.fileSelector()->selButton()->click();
        QCOMPARE(startedAt, QString("/keep/this.bin"));
        QCOMPARE(page.fileSelector()->text(), QString("/keep/this.bin"));
        chosen = firmware("page.bin", 50000);
        page.fileSelector()->selButton()->click();
        QCOMPARE(page.fileSelector()->text(), chosen);

        // A run: locked at once; a second start and the file picker are refused meanwhile.
        page.worker()->setPollIntervalMs(5);
        m_notices.clear();
        page.updateButton()->click();
        QVERIFY(page.isUpgrading());
        QCOMPARE(lock.size(), 1);
        QCOMPARE(lock.at(0).at(0).toBool(), true);
        QCOMPARE(start.size(), 1);
        QCOMPARE(page.statusLabel()->text(), QString("Upgrading, please wait..."));
        page.updateButton()->click();
        page.fileSelector()->selButton()->click();
        QCOMPARE(m_notices, QStringList({"Device is upgrading.", "Device is upgrading."}));
        QCOMPARE(start.size(), 1);

        QTRY_COMPARE_WITH_TIMEOUT(page.statusLabel()->text(), QString("Writing,please wait...."), 20000);
        QVERIFY(page.isUpgrading());
        QCOMPARE(page.progressBar()->maximum(), 50000);
        QCOMPARE(page.progressBar()->value(), 50000);
        cam().setInstallDurationMs(0);
        QTRY_COMPARE_WITH_TIMEOUT(page.statusLabel()->text(), QString("Upgrade success!"), 20000);
        QVERIFY(!page.isUpgrading());
        QCOMPARE(lock.size(), 2);
        QCOMPARE(lock.at(1).at(0).toBool(), false);
        QCOMPARE(m_notices.last(),
                 QString("The upgrade is complete, the device is disconnected, please reconnect."));
        QUpdate::setFileDialogHookForTests({});
    }

    // Failures unlock the client and name their cause after "Upgrade Fail.".
    void pageFailureTexts()
    {
        QUpdate page;
        QSignalSpy lock(&page, &QUpdate::SendDisableBtnSignal);

        // A broken file through the whole page.
        Firmware::BuildOptions o;
        o.bBreakCrc = true;
        page.fileSelector()->setText(firmware("broken.bin", 100, o));
        page.updateButton()->click();
        QTRY_COMPARE_WITH_TIMEOUT(page.statusLabel()->text(), QString("Upgrade Fail.File verification error."), 20000);
        QVERIFY(!page.isUpgrading());
        QCOMPARE(lock.size(), 2);
        QCOMPARE(lock.last().at(0).toBool(), false);
        QCOMPARE(chunkCount(), 0u);

        const struct { int code; const char* text; } cases[] = {
            {-1, "Upgrade Fail."},
            {-2, "Upgrade Fail.File open error.."},   // no table entry: the key's own words
            {-3, "Upgrade Fail.File verification error."},
            {-4, "Upgrade Fail.File verification error."},
            {-5, "Upgrade Fail."},
        };
        for (const auto& c : cases) {
            lock.clear();
            page.Task_Upgrade_Ret(false, c.code);
            QCOMPARE(page.statusLabel()->text(), QString(c.text));
            QCOMPARE(lock.size(), 1);
        }
        // "Written, installing" keeps the lock.
        lock.clear();
        page.Task_Upgrade_Ret(true, -1);
        QCOMPARE(page.statusLabel()->text(), QString("Writing,please wait...."));
        QVERIFY(lock.isEmpty());
    }
};

QTEST_MAIN(TestUpgrade)
#include "test_upgrade.moc"
