// The compiled-in look: every image the program asks for loads, the logos blend, the busy
// animation plays, and the stylesheet parses, covers the styled object names and takes effect.

#include "app/Startup.h"
#include "support/TestSupport.h"

#include <QApplication>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QMovie>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QImageReader>
#include <QRandomGenerator>
#include <QtTest>

// The image generator's GIF encoder is a tool, not part of the program; its one source is
// compiled in here so that the encoder behind loading.gif is checked against Qt's decoder.
#include "tools/skingen/GifWriter.cpp"

namespace {

const QString kSkin = QStringLiteral(":/Resource/Skin/");

struct NamedImage
{
    const char* pszName;
    QSize size; // invalid when the program does not depend on it
};

// Every image the program loads by name (window, title bar, navigation, dialogs, live view
// controls, bad pixel tables, folder selectors, logo stamps). Kept here rather than read from
// the resource list so that a file missing from both is still caught.
const QVector<NamedImage>& programImages()
{
    static const QVector<NamedImage> list = {
        {"LOGO.png", {}},
        {"LOGO_CN.png", {50, 50}},
        {"LOGO_CN25.png", {25, 25}},
        {"state_Online.png", {}},
        {"state_Offline.png", {}},
        {"state_Dormancy.png", {}},
        {"video_preview_n.png", {}},
        {"video_preview_p.png", {}},
        {"material_manage_n.png", {}},
        {"material_manage_p.png", {}},
        {"image_analyse_n.png", {}},
        {"image_analyse_p.png", {}},
        {"wnd_divide_line_550.png", {550, 2}},
        {"common_info.png", {}},
        {"common_sucess.png", {}},
        {"common_fail.png", {}},
        {"btn_n.png", {}},
        {"btn_s.png", {}},
        {"color_btn_n.png", {}},
        {"color_btn_s.png", {}},
        {"galleryIcon_Baire.png", {}},
        {"galleryIcon_Heire.png", {}},
        {"galleryIcon_Tiehong.png", {}},
        {"galleryIcon_Rainbow.png", {}},
        {"imagecorrect_n.png", {}},
        {"imagecorrect_s.png", {}},
        {"superres_n.png", {}},
        {"superres_s.png", {}},
        {"imagesharpen_n.png", {}},
        {"imagesharpen_s.png", {}},
        {"imagerotate_n.png", {}},
        {"imagerotate_s.png", {}},
        {"galleryIcon_freeze.png", {}},
        {"Icon-decrease_Normal.png", {}},
        {"Icon-increase_Normal.png", {}},
        {"video_screenshot.png", {}},
        {"video_screenshot_s.png", {}},
        {"video_record.png", {}},
        {"video_recording.png", {}},
        {"connect_n.png", {}},
        {"connect_s.png", {}},
        {"sleep_n.png", {}},
        {"sleep_s.png", {}},
        {"galleryIcon_Delete_n.png", {}},
        {"galleryIcon_Delete_h.png", {}},
        {"sel_path.png", {}},
    };
    return list;
}

// Object names that the stylesheet must style (widgets set them and rely on the sheet).
const QStringList& styledObjectNames()
{
    static const QStringList names = {
        "BtnStyle1", "BtnStyle2", "BtnStyle3", "Label_F5_16", "Label_FF_85", "Line1Label", "Line2Label",
        "DivideLine", "TitleWidget", "CtrlModule", "ResizeBtn", "MinBtn", "CloseBtn", "InfoBtn", "SliderBtn",
        "TemperRuleTableWidget", "SettingCtrlWidget", "VideoCtrlWidget", "moduleWidget", "IconTextHBtn",
        "TimerMessageboxWidget", "ZoomSlider", "MainWindow", "Logo", "LogoTextLabel", "temperUnitComboBox",
        "CNRadioButton", "ENRadioButton", "GraphicsView",
    };
    return names;
}

QString readStyleSheet()
{
    QFile file(kSkin + "tpc.qss");
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

bool sameImage(const QString& a, const QString& b)
{
    return QImage(kSkin + a).convertToFormat(QImage::Format_ARGB32) ==
           QImage(kSkin + b).convertToFormat(QImage::Format_ARGB32);
}

int countAlpha(const QImage& image, int nMin, int nMax)
{
    const QImage argb = image.convertToFormat(QImage::Format_ARGB32);
    int n = 0;
    for (int y = 0; y < argb.height(); ++y)
        for (int x = 0; x < argb.width(); ++x) {
            const int a = qAlpha(argb.pixel(x, y));
            n += (a >= nMin && a <= nMax) ? 1 : 0;
        }
    return n;
}

QVector<QImage> decodeGif(const QByteArray& bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "gif");
    QVector<QImage> frames;
    while (reader.canRead()) {
        const QImage frame = reader.read();
        if (frame.isNull())
            break;
        frames << frame.convertToFormat(QImage::Format_ARGB32);
    }
    return frames;
}

QStringList g_warnings;
void collectWarnings(QtMsgType type, const QMessageLogContext&, const QString& msg)
{
    if (type == QtWarningMsg || type == QtCriticalMsg)
        g_warnings << msg;
}

} // namespace

class TestResources : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initCommon(); }

    void programImagesLoad()
    {
        for (const NamedImage& item : programImages()) {
            const QString name = QString::fromLatin1(item.pszName);
            const QImage image(kSkin + name);
            QVERIFY2(!image.isNull(), qPrintable(name));
            if (item.size.isValid())
                QCOMPARE(image.size(), item.size);
        }
        // Both zoom buttons take the size of the increase image; a mismatched pair would
        // squash the decrease icon.
        QCOMPARE(QImage(kSkin + "Icon-decrease_Normal.png").size(), QImage(kSkin + "Icon-increase_Normal.png").size());
    }

    // The video engine alpha-blends the logos onto snapshots and recordings: they must load as
    // 32-bit images with a real alpha channel, clear outside the emblem and solid inside.
    void logosBlendOntoPictures()
    {
        for (const QString& name : QStringList{"LOGO_CN.png", "LOGO_CN25.png"}) {
            const QImage logo(kSkin + name);
            QVERIFY2(logo.hasAlphaChannel(), qPrintable(name));
            QVERIFY2(logo.format() == QImage::Format_ARGB32 || logo.format() == QImage::Format_RGBA8888,
                     qPrintable(name));
            QCOMPARE(qAlpha(logo.pixel(0, 0)), 0);
            QCOMPARE(qAlpha(logo.pixel(logo.width() - 1, logo.height() - 1)), 0);
            QVERIFY2(countAlpha(logo, 255, 255) > 0, qPrintable(name));
            QVERIFY2(countAlpha(logo, 1, 254) > 0, qPrintable(name)); // translucent inside
        }
    }

    void busyAnimationPlays()
    {
        QMovie movie(kSkin + "loading.gif");
        QVERIFY(movie.isValid());
        QVERIFY(movie.frameCount() > 1);
        QVERIFY(movie.loopCount() != 0); // 0 would play once and stop
        QVector<QImage> frames;
        for (int i = 0; i < movie.frameCount(); ++i) {
            QVERIFY(movie.jumpToFrame(i));
            frames << movie.currentImage().convertToFormat(QImage::Format_ARGB32);
            QVERIFY(!frames.last().isNull());
            QCOMPARE(qAlpha(frames.last().pixel(frames.last().rect().center())), 0); // see-through centre
            QVERIFY(countAlpha(frames.last(), 255, 255) > 0);
        }
        QVERIFY(frames.first() != frames.at(1));
        QVERIFY(movie.nextFrameDelay() > 0);
    }

    // Icons sit on transparent backgrounds, and each state variant is really different, or a
    // selected or pressed button would look unchanged.
    void iconsAndTheirStates()
    {
        const QStringList pairs = {
            "video_preview_n.png|video_preview_p.png", "material_manage_n.png|material_manage_p.png",
            "image_analyse_n.png|image_analyse_p.png", "imagecorrect_n.png|imagecorrect_s.png",
            "superres_n.png|superres_s.png",           "imagesharpen_n.png|imagesharpen_s.png",
            "imagerotate_n.png|imagerotate_s.png",     "video_screenshot.png|video_screenshot_s.png",
            "video_record.png|video_recording.png",     "connect_n.png|connect_s.png",
            "sleep_n.png|sleep_s.png",                 "galleryIcon_Delete_n.png|galleryIcon_Delete_h.png",
            "btn_n.png|btn_s.png",                     "color_btn_n.png|color_btn_s.png",
            "state_Online.png|state_Offline.png",      "state_Online.png|state_Dormancy.png",
            "state_Offline.png|state_Dormancy.png",    "common_sucess.png|common_fail.png",
            "title_max.png|title_restore.png",         "radio_n.png|radio_s.png",
            "range_handle.png|range_handle_s.png",
        };
        for (const QString& pair : pairs) {
            const QStringList two = pair.split('|');
            QVERIFY2(!sameImage(two[0], two[1]), qPrintable(pair));
            for (const QString& name : two) {
                if (name.startsWith("btn_") || name.startsWith("color_btn_"))
                    continue; // plates are opaque by design
                const QImage image(kSkin + name);
                QVERIFY2(qAlpha(image.pixel(0, 0)) == 0, qPrintable(name));
            }
        }
        // The four palette swatches must tell the palettes apart.
        const QStringList swatches = {"galleryIcon_Baire.png", "galleryIcon_Heire.png", "galleryIcon_Tiehong.png",
                                      "galleryIcon_Rainbow.png"};
        for (int i = 0; i < swatches.size(); ++i)
            for (int j = i + 1; j < swatches.size(); ++j)
                QVERIFY2(!sameImage(swatches[i], swatches[j]), qPrintable(swatches[i] + " " + swatches[j]));
    }

    // Noisy frames fill the LZW table many times over, so the table restarts are exercised;
    // with no more colours than the table holds every pixel must come back exactly.
    void gifEncoderRoundTrips()
    {
        QRandomGenerator rng(7);
        QVector<QRgb> colours;
        for (int i = 0; i < 200; ++i)
            colours << qRgb(rng.bounded(256), rng.bounded(256), rng.bounded(256));
        QVector<QImage> frames;
        for (int f = 0; f < 3; ++f) {
            QImage frame(211, 157, QImage::Format_ARGB32);
            for (int y = 0; y < frame.height(); ++y)
                for (int x = 0; x < frame.width(); ++x)
                    frame.setPixel(x, y, rng.bounded(10) == 0 ? qRgba(0, 0, 0, 0) : colours[rng.bounded(200)]);
            frames << frame;
        }
        const QVector<QImage> decoded = decodeGif(GifWriter::encode(frames, 80));
        QCOMPARE(decoded.size(), frames.size());
        for (int f = 0; f < frames.size(); ++f)
            for (int y = 0; y < frames[f].height(); ++y)
                for (int x = 0; x < frames[f].width(); ++x) {
                    const QRgb want = frames[f].pixel(x, y);
                    const QRgb got = decoded[f].pixel(x, y);
                    if (qAlpha(want) == 0)
                        QCOMPARE(qAlpha(got), 0);
                    else if (got != want)
                        QFAIL(qPrintable(QString("frame %1 pixel %2,%3").arg(f).arg(x).arg(y)));
                }

        // Too many colours: reduced, but still a valid picture of the same size.
        QImage ramp(256, 64, QImage::Format_ARGB32);
        for (int y = 0; y < ramp.height(); ++y)
            for (int x = 0; x < ramp.width(); ++x)
                ramp.setPixel(x, y, qRgb(x, y * 4, 255 - x));
        const QVector<QImage> reduced = decodeGif(GifWriter::encode({ramp, ramp}, 50));
        QCOMPARE(reduced.size(), 2);
        QCOMPARE(reduced[0].size(), ramp.size());
        const QRgb sample = reduced[0].pixel(200, 10);
        QVERIFY(qAbs(qRed(sample) - 200) <= 16 && qAbs(qGreen(sample) - 40) <= 16 && qAbs(qBlue(sample) - 55) <= 16);

        // Nothing to write, or frames of different sizes, give no file.
        QVERIFY(GifWriter::encode({}, 80).isEmpty());
        QVERIFY(GifWriter::encode({QImage(4, 4, QImage::Format_ARGB32), QImage(5, 4, QImage::Format_ARGB32)}, 80).isEmpty());
    }

    // A generated image that is not listed in resources.qrc would be missing from the program.
    void everySkinFileIsCompiledIn()
    {
        const QDir dir(TestSupport::sourceDir() + "/resources/Skin");
        QVERIFY2(dir.exists(), qPrintable(dir.path()));
        const QStringList files = dir.entryList(QDir::Files);
        QVERIFY(files.size() > programImages().size());
        for (const QString& name : files)
            QVERIFY2(QFile::exists(kSkin + name), qPrintable(name));
    }

    void stylesheetCoversStyledObjects()
    {
        const QString qss = readStyleSheet();
        QVERIFY(!qss.trimmed().isEmpty());
        for (const QString& name : styledObjectNames()) {
            const QRegularExpression selector("#" + QRegularExpression::escape(name) + "(?![A-Za-z0-9_])");
            QVERIFY2(qss.contains(selector), qPrintable(name));
        }
        QVERIFY(qss.contains(QStringLiteral("#ResizeBtn[max=\"true\"]")));
        QVERIFY(qss.contains(QStringLiteral("#ResizeBtn[max=\"false\"]")));
        QVERIFY(qss.contains(QRegularExpression("QComboBox\\s+QListView")));

        // Every image the sheet refers to must exist, or Qt silently draws nothing.
        const QRegularExpression url("url\\(([^)]+)\\)");
        int nUrls = 0;
        for (auto it = url.globalMatch(qss); it.hasNext();) {
            const QString path = it.next().captured(1).trimmed();
            QVERIFY2(path.startsWith(kSkin), qPrintable(path));
            QVERIFY2(!QImage(path).isNull(), qPrintable(path));
            ++nUrls;
        }
        QVERIFY(nUrls > 10);
    }

    void stylesheetParsesAndApplies()
    {
        g_warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(collectWarnings);
        const bool bInstalled = installThermavaStyleSheet();

        QWidget window;
        window.setObjectName("MainWindow");
        window.resize(300, 120);
        auto* primary = new QPushButton(&window);
        primary->setObjectName("BtnStyle1");
        primary->setGeometry(10, 10, 100, 32);
        auto* resize = new QPushButton(&window);
        resize->setObjectName("ResizeBtn");
        resize->setGeometry(120, 10, 20, 20);
        auto* combo = new QComboBox(&window);
        combo->addItems({"A", "B"});
        combo->setGeometry(10, 60, 150, 32);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));

        auto renderResize = [resize](bool bMax) {
            resize->setProperty("max", bMax);
            resize->style()->unpolish(resize);
            resize->style()->polish(resize);
            return resize->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        };
        const QImage maximise = renderResize(false);
        const QImage restore = renderResize(true);
        const QImage primaryLook = primary->grab().toImage().convertToFormat(QImage::Format_ARGB32);
        qInstallMessageHandler(previous);

        QVERIFY(bInstalled);
        QVERIFY(!qApp->styleSheet().isEmpty());
        for (const QString& warning : g_warnings)
            QVERIFY2(!warning.contains("parse", Qt::CaseInsensitive), qPrintable(warning));

        // The dynamic property picks the maximise or the restore picture.
        QVERIFY(maximise != restore);
        // The primary button is the orange accent.
        const QColor centre = QColor(primaryLook.pixel(primaryLook.rect().center()));
        QVERIFY2(qAbs(centre.red() - 0xE6) <= 2 && qAbs(centre.green() - 0x7E) <= 2 && qAbs(centre.blue() - 0x22) <= 2,
                 qPrintable(centre.name()));
        qApp->setStyleSheet(QString());
    }
};

QTEST_MAIN(TestResources)
#include "test_resources.moc"
