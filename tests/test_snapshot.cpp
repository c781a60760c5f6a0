// Snapshots through the video engine: the order of the checks and the 5 GiB boundary, the
// picture as shown with the logo in its top-left corner, a frozen picture, and a file that
// cannot be written.
#include "app/AppFlags.h"
#include "platform/render/RenderEngine.h"
#include "support/TestSupport.h"
#include "video/QVideoPlay.h"
#include "video/RecordSupport.h"
#include "video/ThermImageContext.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSignalSpy>
#include <QtTest>

#include <csignal>
#include <opencv2/imgcodecs.hpp>
#include <sys/resource.h>

namespace {

std::vector<uint8_t> greyFrame(uint8_t luma, int w = 256, int h = 192)
{
    std::vector<uint8_t> f(size_t(w) * size_t(h) * 2);
    for (size_t i = 0; i < f.size(); i += 2) {
        f[i] = 128;
        f[i + 1] = luma;
    }
    return f;
}

struct Shooter
{
    TestSupport::ScopedConfigDir cfg;
    QVideoPlay engine;
    QSignalSpy results{&engine, SIGNAL(sendSnapshotResultSignals(int))};
    QSignalSpy files{&engine, SIGNAL(sendSnapshotFileSignal(QString))};

    Shooter()
    {
        QMetaObject::invokeMethod(&engine, "setVideoPlaySlots", Qt::DirectConnection,
                                  Q_ARG(void*, reinterpret_cast<void*>(0x1001)), Q_ARG(bool, true));
    }
    QString dir() const { return cfg.path() + "/shots"; }
    void feed(uint8_t luma)
    {
        std::vector<uint8_t> f = greyFrame(luma);
        QVideoPlay::frameConsumer(f.data(), 256, 192, &engine);
    }
    int shoot()
    {
        results.clear();
        QMetaObject::invokeMethod(&engine, "setDealSnapshotSlots", Qt::DirectConnection, Q_ARG(QString, dir()));
        return results.size() == 1 ? results.first().at(0).toInt() : -1;
    }
    cv::Mat lastPicture() const
    {
        return cv::imread(QFile::encodeName(files.last().at(0).toString()).toStdString());
    }
};

} // namespace

class TestSnapshot : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        setRenderEngine(&nullRenderEngineApi());
    }

    void init()
    {
        g_bFreeze = false;
        g_nDirection = 0;
        ThermImageContext::instance().m_bAutoRange = true;
        RecordSupport::setFreeSpaceQuery({});
    }

    void cleanupTestCase() { RecordSupport::setFreeSpaceQuery({}); }

    void checksInOrderAndTheSpaceBoundary()
    {
        Shooter s;
        quint64 nFree = RecordSupport::kMinFreeBytes - 1;
        QString qStrAsked;
        RecordSupport::setFreeSpaceQuery([&](const QString& qStrDir, quint64* pn) {
            qStrAsked = qStrDir;
            *pn = nFree;
            return true;
        });
        // Folder first, then space, then the picture: with no frame yet and a short disk the
        // answer is the disk.
        QCOMPARE(s.shoot(), 3);
        QVERIFY(QFileInfo(s.dir()).isDir());
        QCOMPARE(qStrAsked, s.dir());
        nFree = RecordSupport::kMinFreeBytes;
        QCOMPARE(s.shoot(), 1);

        s.feed(100);
        nFree = RecordSupport::kMinFreeBytes - 1;
        QCOMPARE(s.shoot(), 3);
        QVERIFY(QDir(s.dir()).entryList(QDir::Files).isEmpty());
        nFree = RecordSupport::kMinFreeBytes;
        QCOMPARE(s.shoot(), 0);
        // A disk that cannot be asked does not stop the snapshot.
        RecordSupport::setFreeSpaceQuery([](const QString&, quint64*) { return false; });
        QCOMPARE(s.shoot(), 0);
        QCOMPARE(s.files.size(), 2);
        QVERIFY(s.files.at(0).at(0).toString() != s.files.at(1).at(0).toString());
        for (const QList<QVariant>& args : s.files) {
            const QFileInfo info(args.at(0).toString());
            QCOMPARE(info.absolutePath(), QDir(s.dir()).absolutePath());
            QVERIFY(QRegularExpression("^\\d{8}_\\d{6}_\\d{3}\\.jpg$").match(info.fileName()).hasMatch());
        }
    }

    // What is saved is the shown picture (palette applied) with the logo at (10, 10).
    void pictureAsShownWithTheLogo()
    {
        Shooter s;
        s.engine.m_matLogoSmall = cv::Mat(25, 25, CV_8UC4, cv::Scalar(0, 0, 255, 255));   // opaque red
        s.engine.setPaletteId(6);
        s.feed(128);
        QCOMPARE(s.shoot(), 0);
        const cv::Mat shot = s.lastPicture();
        QCOMPARE(shot.cols, 256);
        QCOMPARE(shot.rows, 192);
        const cv::Mat shown = QVideoPlay::toBgr(s.engine.m_pWorkBuffer, 256, 192);
        // Away from the logo the picture is the shown one (JPEG blocks of 16 pixels around
        // the logo's sharp edges carry some of its colour).
        const cv::Rect nearLogo(0, 0, 48, 48);
        cv::Mat outside = shot.clone();
        shown(nearLogo).copyTo(outside(nearLogo));
        QVERIFY(cv::norm(outside, shown, cv::NORM_INF) <= 3);   // quality 100
        // The logo covers pixels 10 to 34 in both directions (34 shares its chroma with 35).
        for (const cv::Point& p : {cv::Point(10, 10), cv::Point(22, 22), cv::Point(33, 33), cv::Point(10, 33)}) {
            const cv::Vec3b px = shot.at<cv::Vec3b>(p);
            QVERIFY2(px[2] > 200 && px[1] < 60 && px[0] < 60, qPrintable(QString("%1,%2").arg(p.x).arg(p.y)));
        }
        QVERIFY(shot.at<cv::Vec3b>(22, 40)[2] < 200);
    }

    void frozenPictureIsSaved()
    {
        Shooter s;
        s.feed(60);
        g_bFreeze = true;
        s.feed(200);
        QCOMPARE(s.shoot(), 0);
        g_bFreeze = false;
        const cv::Mat shot = s.lastPicture();
        // WhiteHot keeps the camera's grey (after gamma): dark, as frozen, not bright.
        QVERIFY(shot.at<cv::Vec3b>(100, 150)[1] < 80);
    }

    void unwritableFileReportsFailure()
    {
        Shooter s;
        s.feed(100);
        QVERIFY(QDir().mkpath(s.dir()));
        struct rlimit old = {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        auto* pfnOld = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit lim = old;
        lim.rlim_cur = 0;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &lim), 0);
        const int nCode = s.shoot();
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, pfnOld);
        QCOMPARE(nCode, 1);
        QVERIFY(s.files.isEmpty());
    }
};

QTEST_MAIN(TestSnapshot)
#include "test_snapshot.moc"
