// Temperature range adjuster: handle limits, range drag, rescaling, the automatic/manual switch,
// the isotherm values and hover labels it sends, and the colour bar bitmap it shows.
//
// Mouse input goes through the window (as from the window system), so the pressed handle keeps
// the mouse and enter/leave events arise as they would for a user.
#define QTEST_QPA_MOUSE_HANDLING

#include "support/TestSupport.h"

#include "app/ConfigStore.h"
#include "liveview/ColorBar.h"
#include "liveview/QTemperRangeAdjust.h"
#include "video/Palette.h"
#include "video/ThermImageContext.h"
#include "widgets/SwitchButton.h"

#include <QLabel>
#include <QLayout>
#include <QPushButton>
#include <QSignalSpy>
#include <QVBoxLayout>
#include <QWindow>
#include <QtTest>

#include <cmath>

namespace {

uint32_t readU32(const std::vector<uint8_t>& b, int nOffset)
{
    return uint32_t(b[nOffset]) | uint32_t(b[nOffset + 1]) << 8 | uint32_t(b[nOffset + 2]) << 16
           | uint32_t(b[nOffset + 3]) << 24;
}

uint16_t readU16(const std::vector<uint8_t>& b, int nOffset)
{
    return uint16_t(b[nOffset] | b[nOffset + 1] << 8);
}

// Pixel i of a bar as (B, G, R).
QVector<int> barPixel(const std::vector<uint8_t>& b, int i)
{
    const int o = ColorBar::kPixelOffset + 3 * i;
    return {b[o], b[o + 1], b[o + 2]};
}

QVector<int> paletteBgr(int nPalette, int nLevel)
{
    const uint32_t e = Palette::entry(nPalette, nLevel);
    const ColorBar::Bgr px = ColorBar::yuvToBgr(Palette::entryY(e), Palette::entryU(e), Palette::entryV(e));
    return {px.b, px.g, px.r};
}

// The adjuster 60 x nHeight inside a larger window, parts shown and handles at the ends.
class Scale
{
public:
    explicit Scale(int nHeight = 400)
    {
        // Room above and below so that drags past the ends stay inside the window.
        host.resize(240, nHeight + 600);
        adj = new QTemperRangeAdjust(&host);
        adj->setGeometry(20, 300, 60, nHeight);
        host.show();
        exposed = QTest::qWaitForWindowExposed(&host);
        adj->setPartsVisible(true);
        // Texts in the temperature labels first: they decide the labels' height.
        adj->setSceneTemperatures(0.0f, 100.0f);
        settle();
        adj->placeHandles();
    }

    void settle()
    {
        adj->layout()->activate();
        QCoreApplication::processEvents();
    }

    QWindow* win() { return host.windowHandle(); }
    QPoint at(QWidget* w, QPoint p) const { return w->mapTo(const_cast<QWidget*>(&host), p); }

    void setManual()
    {
        if (adj->isAutoRange())
            QTest::mouseClick(adj->autoSwitch(), Qt::LeftButton);
    }
    void setAuto()
    {
        if (!adj->isAutoRange())
            QTest::mouseClick(adj->autoSwitch(), Qt::LeftButton);
    }

    // Press on w at local, move the mouse by dy, release there.
    void drag(QWidget* w, QPoint local, int dy)
    {
        const QPoint p = at(w, local);
        QTest::mousePress(win(), Qt::LeftButton, Qt::NoModifier, p);
        QTest::mouseMove(win(), p + QPoint(0, dy));
        QTest::mouseRelease(win(), Qt::LeftButton, Qt::NoModifier, p + QPoint(0, dy));
    }
    void dragHandle(QPushButton* h, int dy) { drag(h, QPoint(12, 9), dy); }

    QRect slide() const { return adj->slideRect(); }
    int top() const { return adj->topHandle()->y(); }
    int bottom() const { return adj->bottomHandle()->y(); }

    // Temperature the adjuster must report for a handle at y.
    float temperFor(int y, float fMin, float fMax) const
    {
        return fMax - float(y - slide().y() + 9) * (fMax - fMin) / float(slide().height());
    }

    QWidget host;
    QTemperRangeAdjust* adj = nullptr;
    bool exposed = false;
};

} // namespace

class TestRangeAdjust : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { TestSupport::initCommon(); }

    void init()
    {
        ThermImageContext& ctx = ThermImageContext::instance();
        ctx.m_bAutoRange = true;
        ctx.m_fSceneMin = 0.0f;
        ctx.m_fSceneMax = 0.0f;
    }

    void colorBarBitmap()
    {
        const std::vector<uint8_t> bar = ColorBar::build(Palette::kIronRed);
        QCOMPARE(int(bar.size()), 822);
        QCOMPARE(bar[0], uint8_t('B'));
        QCOMPARE(bar[1], uint8_t('M'));
        QCOMPARE(readU32(bar, 2), 822u);
        QCOMPARE(readU32(bar, 6), 0u);
        QCOMPARE(readU32(bar, 10), 54u);
        QCOMPARE(readU32(bar, 14), 40u);
        QCOMPARE(readU32(bar, 18), 256u);
        QCOMPARE(int32_t(readU32(bar, 22)), -1);
        QCOMPARE(readU16(bar, 26), uint16_t(1));
        QCOMPARE(readU16(bar, 28), uint16_t(24));
        QCOMPARE(readU32(bar, 30), 0u);
        QCOMPARE(readU32(bar, 34), 768u);
        for (int i = 38; i < 54; ++i)
            QCOMPARE(bar[i], uint8_t(0));

        // Worked by hand from the IronRed entries 0x07947D, 0x3794C1 and 0xF15788.
        QCOMPARE(barPixel(bar, 0), (QVector<int>{29, 0, 0}));
        QCOMPARE(barPixel(bar, 128), (QVector<int>{85, 0, 149}));
        QCOMPARE(barPixel(bar, 255), (QVector<int>{179, 255, 255}));
        // WhiteHot runs from Y 17 to Y 234: grey 1 to grey 253.
        const std::vector<uint8_t> white = ColorBar::build(Palette::kWhiteHot);
        QCOMPARE(barPixel(white, 0), (QVector<int>{1, 1, 1}));
        QCOMPARE(barPixel(white, 255), (QVector<int>{253, 253, 253}));

        // Readable as a top-down bitmap, pixel 0 on the left.
        QImage img;
        QVERIFY(img.loadFromData(bar.data(), int(bar.size()), "BMP"));
        QCOMPARE(img.size(), QSize(256, 1));
        QCOMPARE(img.pixelColor(0, 0), QColor(0, 0, 29));
        QCOMPARE(img.pixelColor(255, 0), QColor(255, 255, 179));
    }

    void colorBarFollowsFrameExtent()
    {
        // Levels outside the frame's grey extent take the colour of its nearest end.
        const std::vector<uint8_t> bar = ColorBar::build(Palette::kRainbow, 100, 150);
        QCOMPARE(int(bar.size()), 822);
        QCOMPARE(barPixel(bar, 0), paletteBgr(Palette::kRainbow, 100));
        QCOMPARE(barPixel(bar, 99), paletteBgr(Palette::kRainbow, 100));
        QCOMPARE(barPixel(bar, 128), paletteBgr(Palette::kRainbow, 128));
        QCOMPARE(barPixel(bar, 200), paletteBgr(Palette::kRainbow, 150));

        // A flat frame (lo = hi) still gives a bar, all of one colour.
        const std::vector<uint8_t> flat = ColorBar::build(Palette::kIronRed, 120, 120);
        QCOMPARE(int(flat.size()), 822);
        for (int i : {0, 119, 120, 121, 255})
            QCOMPARE(barPixel(flat, i), paletteBgr(Palette::kIronRed, 120));
        QCOMPARE(ColorBar::levelFor(255, 255, 255), 255);
        QCOMPARE(ColorBar::levelFor(0, 0, 0), 0);

        // An empty frame's inverted extent and grey levels beyond a byte stay in the table.
        const std::vector<uint8_t> inverted = ColorBar::build(Palette::kIronRed, 2147483647u, 0u);
        QCOMPARE(int(inverted.size()), 822);
        QCOMPARE(ColorBar::levelFor(77, 2147483647u, 0u), 77);
        QCOMPARE(ColorBar::levelFor(10, 300, 300), 255);

        // The grey ramp decides which level each pixel shows.
        uint8_t reversed[256];
        for (int i = 0; i < 256; ++i)
            reversed[i] = uint8_t(255 - i);
        const std::vector<uint8_t> down = ColorBar::build(Palette::kIronRed, 0, 255, reversed);
        QCOMPARE(barPixel(down, 0), paletteBgr(Palette::kIronRed, 255));
        QCOMPARE(barPixel(down, 255), paletteBgr(Palette::kIronRed, 0));

        // An unknown palette gives nothing and leaves the context's bar alone.
        QCOMPARE(int(ColorBar::build(14).size()), 0);
        QCOMPARE(int(ColorBar::build(-1).size()), 0);
        const std::vector<uint8_t> stored = ColorBar::updateContextBar(Palette::kBlackHot, 0, 255);
        QCOMPARE(ThermImageContext::instance().m_ColorBar, stored);
        QVERIFY(ColorBar::updateContextBar(20, 0, 255).empty());
        QCOMPARE(ThermImageContext::instance().m_ColorBar, stored);
    }

    void constructionAndPlacement()
    {
        QTemperRangeAdjust bare;
        QCOMPARE(bare.objectName(), QString("QTemperRangeAdjust"));
        QVERIFY(bare.hasMouseTracking());
        QCOMPARE(bare.width(), 60);
        QVERIFY(bare.isAutoRange());
        QVERIFY(!bare.isShown());
        QVERIFY(bare.topHandle()->isHidden());
        QVERIFY(bare.bottomHandle()->isHidden());
        QCOMPARE(bare.topHandle()->objectName(), QString("SliderBtn"));
        QCOMPARE(bare.topHandle()->size(), QSize(25, 18));
        QVERIFY(bare.findChild<QWidget*>("slideWidget")->isHidden());

        Scale s;
        QVERIFY(s.exposed);
        QVERIFY(s.adj->isShown());
        for (const char* name : {"temperRangeAjLabel", "maxTemperLabel", "slideWidget", "minTemperLabel"})
            QVERIFY2(s.adj->findChild<QWidget*>(name)->isVisible(), name);
        QVERIFY(s.adj->autoSwitch()->isVisible());
        // Showing the parts leaves the handles as they were.
        QVERIFY(s.adj->topHandle()->isHidden());

        // The bar is 25 wide with 9 pixels to its right; handles straddle its ends.
        const QRect bar = s.slide();
        QCOMPARE(bar.width(), 25);
        QCOMPARE(bar.x(), 60 - 9 - 25);
        QVERIFY(bar.height() > 200);
        QCOMPARE(s.adj->topHandle()->pos(), QPoint(bar.x(), bar.y() - 9));
        QCOMPARE(s.adj->bottomHandle()->pos(), QPoint(bar.x(), bar.y() + bar.height() - 9));
        QCOMPARE(s.adj->rangeRect(), bar);

        s.adj->setPartsVisible(false);
        QVERIFY(!s.adj->isShown());
        QVERIFY(!s.adj->findChild<QWidget*>("maxTemperLabel")->isVisible());
        QVERIFY(!s.adj->autoSwitch()->isVisible());
    }

    void centredInColumnKeepsTallBar()
    {
        // The live view centres the scale in its column; the bar must not collapse there.
        QWidget column;
        column.resize(80, 700);
        auto* pLayout = new QVBoxLayout(&column);
        pLayout->setContentsMargins(0, 0, 0, 0);
        auto* pAdj = new QTemperRangeAdjust(&column);
        pLayout->addWidget(pAdj, 0, Qt::AlignHCenter | Qt::AlignVCenter);
        column.show();
        QVERIFY(QTest::qWaitForWindowExposed(&column));
        pAdj->setPartsVisible(true);
        pLayout->activate();
        pAdj->layout()->activate();
        QCOMPARE(pAdj->width(), 60);
        QCOMPARE(pAdj->slideRect().height(), int(QTemperRangeAdjust::kPreferredBarHeight));
        QVERIFY(pAdj->y() > 0);

        // A short column gives the bar what is left.
        column.resize(80, 300);
        pLayout->activate();
        pAdj->layout()->activate();
        QCOMPARE(pAdj->height(), 300);
        QVERIFY(pAdj->slideRect().height() > 150);
    }

    void sceneTemperaturesAndIsotherm()
    {
        TestSupport::ScopedConfigDir dir;
        Scale s;
        QSignalSpy iso(s.adj, &QTemperRangeAdjust::sendIsoTemperSignal);

        // Handles at the ends stand for exactly the scene's ends, in either mode.
        s.adj->setSceneTemperatures(20.0f, 40.0f);
        QCOMPARE(iso.count(), 1);
        QCOMPARE(iso.at(0).at(0).toFloat(), 20.0f);
        QCOMPARE(iso.at(0).at(1).toFloat(), 40.0f);
        QCOMPARE(s.adj->findChild<QLabel*>("maxTemperLabel")->text(), QString::fromUtf8("40.0\u2103"));
        QCOMPARE(s.adj->findChild<QLabel*>("minTemperLabel")->text(), QString::fromUtf8("20.0\u2103"));

        ConfigStore::setValue(ConfigStore::kGeneralGroup, "TemperUnit", 1);
        s.adj->setSceneTemperatures(-12.5f, 36.6f);
        QCOMPARE(s.adj->findChild<QLabel*>("maxTemperLabel")->text(), QString::fromUtf8("97.9\u2109"));
        QCOMPARE(s.adj->findChild<QLabel*>("minTemperLabel")->text(), QString::fromUtf8("9.5\u2109"));
        // The isotherm range stays in Celsius whatever the display unit.
        QCOMPARE(iso.last().at(0).toFloat(), -12.5f);
        QCOMPARE(iso.last().at(1).toFloat(), 36.6f);

        // A flat scene gives both handles its one temperature.
        s.setManual();
        s.dragHandle(s.adj->topHandle(), 60);
        s.adj->setSceneTemperatures(25.0f, 25.0f);
        QCOMPARE(iso.last().at(0).toFloat(), 25.0f);
        QCOMPARE(iso.last().at(1).toFloat(), 25.0f);
    }

    void barWithoutHeightSendsFiniteRange()
    {
        // Squeezed below the height of its labels, the bar has no height: the handles must not
        // turn into NaN for the video engine.
        Scale s(40);
        QVERIFY(s.slide().height() <= 0);
        QSignalSpy iso(s.adj, &QTemperRangeAdjust::sendIsoTemperSignal);
        s.adj->setSceneTemperatures(10.0f, 30.0f);
        QCOMPARE(iso.count(), 1);
        QCOMPARE(iso.at(0).at(0).toFloat(), 10.0f);
        QCOMPARE(iso.at(0).at(1).toFloat(), 30.0f);
    }

    void autoManualSwitch()
    {
        Scale s;
        ThermImageContext& ctx = ThermImageContext::instance();
        // The camera's own extremes, and the scene as shown (emissivity applied): the window
        // starts at what is shown, as every later handle move is.
        ctx.m_fSceneMin = 12.5f;
        ctx.m_fSceneMax = 37.5f;
        s.adj->setSceneTemperatures(14.0f, 41.0f);
        QSignalSpy iso(s.adj, &QTemperRangeAdjust::sendIsoTemperSignal);

        s.setManual();
        QVERIFY(!s.adj->isAutoRange());
        QVERIFY(!ctx.m_bAutoRange);
        QVERIFY(s.adj->topHandle()->isVisible());
        QVERIFY(s.adj->bottomHandle()->isVisible());
        QCOMPARE(iso.count(), 1);
        QCOMPARE(iso.at(0).at(0).toFloat(), 14.0f);
        QCOMPARE(iso.at(0).at(1).toFloat(), 41.0f);

        // Narrow the window, then go back to automatic: whole bar, fixed wide isotherm.
        s.adj->setSceneTemperatures(12.5f, 37.5f);
        s.dragHandle(s.adj->topHandle(), 80);
        s.dragHandle(s.adj->bottomHandle(), -80);
        QVERIFY(s.adj->rangeRect() != s.slide());
        iso.clear();
        QSignalSpy topLabel(s.adj, &QTemperRangeAdjust::sendTopTemperHoverLabelVisibleSignal);
        QSignalSpy bottomLabel(s.adj, &QTemperRangeAdjust::sendBottomTemperHoverLabelVisibleSignal);
        s.setAuto();
        QVERIFY(!topLabel.isEmpty() && !topLabel.last().at(0).toBool());
        QVERIFY(!bottomLabel.isEmpty() && !bottomLabel.last().at(0).toBool());
        QVERIFY(ctx.m_bAutoRange);
        QVERIFY(s.adj->topHandle()->isHidden());
        QVERIFY(s.adj->bottomHandle()->isHidden());
        QCOMPARE(s.adj->rangeRect(), s.slide());
        QCOMPARE(s.top(), s.slide().y() - 9);
        QCOMPARE(s.bottom(), s.slide().y() + s.slide().height() - 9);
        QCOMPARE(iso.count(), 1);
        QCOMPARE(iso.at(0).at(0).toFloat(), -30.0f);
        QCOMPARE(iso.at(0).at(1).toFloat(), 200.0f);

        // In manual mode the handles keep their places while the scene changes.
        s.setManual();
        s.dragHandle(s.adj->topHandle(), 100);
        s.adj->setSceneTemperatures(0.0f, 100.0f);
        QCOMPARE(iso.last().at(1).toFloat(), s.temperFor(s.top(), 0.0f, 100.0f));
        QVERIFY(iso.last().at(1).toFloat() < 100.0f);
        QCOMPARE(iso.last().at(0).toFloat(), 0.0f);
    }

    void handleLimits()
    {
        Scale s;
        s.adj->setSceneTemperatures(0.0f, 100.0f);
        s.setManual();
        const QRect bar = s.slide();
        const int nTopEnd = bar.y() - 9;
        const int nBottomEnd = bar.y() + bar.height() - 9;
        QSignalSpy iso(s.adj, &QTemperRangeAdjust::sendIsoTemperSignal);
        QSignalSpy topPos(s.adj, &QTemperRangeAdjust::sendTopTemperHoverLabelPosSignal);

        // One pixel short of the gap is one pixel too close: each handle stops 18 pixels away.
        s.dragHandle(s.adj->topHandle(), nBottomEnd - 17 - nTopEnd);
        QCOMPARE(s.top(), nBottomEnd - 18);
        s.dragHandle(s.adj->topHandle(), -100);
        s.dragHandle(s.adj->bottomHandle(), (s.top() + 17) - nBottomEnd);
        QCOMPARE(s.bottom(), s.top() + 18);
        s.adj->placeHandles();

        // Upper handle dragged far down stops 18 pixels above the lower one.
        s.dragHandle(s.adj->topHandle(), bar.height() + 20);
        QCOMPARE(s.top(), nBottomEnd - 18);
        QCOMPARE(s.adj->topHandle()->x(), bar.x());
        QVERIFY(!topPos.isEmpty());
        QCOMPARE(topPos.last().at(0).toPoint(), s.adj->topHandle()->pos());
        QCOMPARE(s.adj->rangeRect(), QRect(QPoint(bar.x(), s.top() + 9), QPoint(bar.right(), nBottomEnd + 8)));
        QVERIFY(!iso.isEmpty());
        QCOMPARE(iso.last().at(0).toFloat(), 0.0f);
        QCOMPARE(iso.last().at(1).toFloat(), s.temperFor(s.top(), 0.0f, 100.0f));

        // Lower handle dragged far up stops 18 pixels below the upper one.
        s.dragHandle(s.adj->bottomHandle(), -(bar.height() + 50));
        QCOMPARE(s.bottom(), s.top() + 18);

        // Neither leaves the bar.
        s.dragHandle(s.adj->topHandle(), nTopEnd - s.top() - 40);
        QCOMPARE(s.top(), nTopEnd);
        QCOMPARE(iso.last().at(1).toFloat(), 100.0f);
        s.dragHandle(s.adj->bottomHandle(), nBottomEnd - s.bottom() + 40);
        QCOMPARE(s.bottom(), nBottomEnd);
        QCOMPARE(iso.last().at(0).toFloat(), 0.0f);
        QCOMPARE(s.adj->rangeRect(), bar);

        // A free move follows the mouse exactly; after the release the handle stays put.
        s.dragHandle(s.adj->topHandle(), 37);
        QCOMPARE(s.top(), nTopEnd + 37);
        QCOMPARE(iso.last().at(1).toFloat(), s.temperFor(nTopEnd + 37, 0.0f, 100.0f));
        QTest::mouseMove(s.win(), s.at(s.adj->topHandle(), QPoint(12, 60)));
        QCOMPARE(s.top(), nTopEnd + 37);
    }

    void rangeDrag()
    {
        Scale s;
        s.adj->setSceneTemperatures(0.0f, 100.0f);
        s.setManual();
        const QRect bar = s.slide();
        const int nTopEnd = bar.y() - 9;
        const int nBottomEnd = bar.y() + bar.height() - 9;
        s.dragHandle(s.adj->topHandle(), 60);
        s.dragHandle(s.adj->bottomHandle(), -60);
        QCOMPARE(s.top(), nTopEnd + 60);
        QCOMPARE(s.bottom(), nBottomEnd - 60);
        QSignalSpy iso(s.adj, &QTemperRangeAdjust::sendIsoTemperSignal);

        const QPoint mid(bar.center().x(), (s.top() + s.bottom()) / 2 + 9);
        // Within the limits both handles move together.
        s.drag(s.adj, mid, 25);
        QCOMPARE(s.top(), nTopEnd + 85);
        QCOMPARE(s.bottom(), nBottomEnd - 35);
        QCOMPARE(iso.last().at(0).toFloat(), s.temperFor(s.bottom(), 0.0f, 100.0f));
        QCOMPARE(iso.last().at(1).toFloat(), s.temperFor(s.top(), 0.0f, 100.0f));

        // Into the top limit: the upper handle clamps, the lower one stays.
        const int nBottomBefore = s.bottom();
        s.drag(s.adj, QPoint(bar.center().x(), s.top() + 20), -200);
        QCOMPARE(s.top(), nTopEnd);
        QCOMPARE(s.bottom(), nBottomBefore);

        // Into the bottom limit: the lower handle clamps, the upper one stays.
        s.drag(s.adj, QPoint(bar.center().x(), s.top() + 20), bar.height());
        QCOMPARE(s.top(), nTopEnd);
        QCOMPARE(s.bottom(), nBottomEnd);
        QCOMPARE(s.adj->rangeRect(), bar);

        // A press outside the selected part drags nothing.
        s.dragHandle(s.adj->topHandle(), 100);
        const int nTop = s.top();
        s.drag(s.adj, QPoint(bar.center().x(), bar.y() + 20), 50);
        QCOMPARE(s.top(), nTop);
        QCOMPARE(s.bottom(), nBottomEnd);
    }

    void resizeKeepsShareOfBar()
    {
        Scale s(400);
        s.setManual();
        s.dragHandle(s.adj->topHandle(), 50);
        s.dragHandle(s.adj->bottomHandle(), -100);
        const QRect oldBar = s.slide();
        const QRect oldRange = s.adj->rangeRect();

        s.adj->resize(60, 600);
        s.settle();
        const QRect bar = s.slide();
        QCOMPARE(bar.y(), oldBar.y());
        QCOMPARE(bar.height(), oldBar.height() + 200);
        const int nTop = bar.y() - 9 + (oldRange.top() - oldBar.y()) * bar.height() / oldBar.height();
        const int nBottom = bar.y() - 9 + (oldRange.bottom() + 1 - oldBar.y()) * bar.height() / oldBar.height();
        QCOMPARE(s.top(), nTop);
        QCOMPARE(s.bottom(), nBottom);
        QCOMPARE(s.adj->rangeRect(), QRect(QPoint(bar.x(), nTop + 9), QPoint(bar.right(), nBottom + 8)));

        // Ends stay at the ends.
        s.adj->placeHandles();
        s.adj->resize(60, 300);
        s.settle();
        QCOMPARE(s.adj->rangeRect(), s.slide());
        QCOMPARE(s.top(), s.slide().y() - 9);
        QCOMPARE(s.bottom(), s.slide().y() + s.slide().height() - 9);
    }

    void barMovingDownKeepsShare()
    {
        // When the bar moves as well as shrinks, the handles keep their share of it.
        Scale s(400);
        s.setManual();
        const QRect oldBar = s.slide();
        s.dragHandle(s.adj->topHandle(), oldBar.height() / 2 - 30);
        const int nShare = s.top() + 9 - oldBar.y();

        QLabel* pMax = s.adj->findChild<QLabel*>("maxTemperLabel");
        pMax->setFixedHeight(pMax->height() + 40);
        s.settle();
        const QRect bar = s.slide();
        QCOMPARE(bar.y(), oldBar.y() + 40);
        QCOMPARE(s.top() + 9 - bar.y(), nShare * bar.height() / oldBar.height());
        QCOMPARE(s.bottom(), bar.y() + bar.height() - 9);
    }

    void scaleImageAndPaint()
    {
        Scale s;
        s.setManual();
        const std::vector<uint8_t> white = ColorBar::build(Palette::kWhiteHot);
        s.adj->setScaleImage(white);
        const QImage pix = s.adj->scalePixmap().toImage();
        QCOMPARE(pix.size(), s.adj->size());
        // Lowest grey level at the bottom, highest at the top.
        QCOMPARE(pix.pixelColor(30, pix.height() - 1), QColor(1, 1, 1));
        QCOMPARE(pix.pixelColor(30, 0), QColor(253, 253, 253));

        // Null, empty or unreadable data keeps the old bar.
        s.adj->setScaleImage(nullptr, 822);
        s.adj->setScaleImage(white.data(), 0);
        std::vector<uint8_t> broken(white);
        broken[0] = 'X';
        s.adj->setScaleImage(broken);
        QCOMPARE(s.adj->scalePixmap().toImage(), pix);

        // The bar is drawn into the selected part; the rest of the slide area is dark.
        s.dragHandle(s.adj->topHandle(), 100);
        const QImage shot = s.adj->grab().toImage();
        const QRect bar = s.slide();
        const QRect range = s.adj->rangeRect();
        QCOMPARE(shot.pixelColor(bar.center().x(), bar.y() + 50), QColor("#2B2B2B"));
        // (The handles cover 9 pixels on either side of the range's ends.)
        QVERIFY(shot.pixelColor(bar.center().x(), range.top() + 10).red() > 220);
        QVERIFY(shot.pixelColor(bar.center().x(), range.bottom() - 10).red() < 30);

        // Nothing is painted while the parts are hidden.
        s.adj->setPartsVisible(false);
        const QImage hidden = s.adj->grab().toImage();
        QVERIFY(hidden.pixelColor(bar.center().x(), bar.y() + 50) != QColor("#2B2B2B"));
    }

    void hoverLabels()
    {
        Scale s;
        s.adj->setSceneTemperatures(0.0f, 100.0f);
        QSignalSpy topVis(s.adj, &QTemperRangeAdjust::sendTopTemperHoverLabelVisibleSignal);
        QSignalSpy bottomVis(s.adj, &QTemperRangeAdjust::sendBottomTemperHoverLabelVisibleSignal);
        QSignalSpy topPos(s.adj, &QTemperRangeAdjust::sendTopTemperHoverLabelPosSignal);
        QSignalSpy bottomPos(s.adj, &QTemperRangeAdjust::sendBottomTemperHoverLabelPosSignal);
        const QRect bar = s.slide();
        const QPoint outside(5, bar.center().y());

        // Automatic: the bar does not offer the labels.
        QTest::mouseMove(s.win(), s.at(s.adj, bar.center()));
        QVERIFY(!topVis.isEmpty());
        QCOMPARE(topVis.last().at(0).toBool(), false);
        QVERIFY(topPos.isEmpty());

        // Manual: hovering the selected part shows both at the handles.
        s.setManual();
        topVis.clear();
        bottomVis.clear();
        QTest::mouseMove(s.win(), s.at(s.adj, bar.center()));
        QCOMPARE(topVis.last().at(0).toBool(), true);
        QCOMPARE(bottomVis.last().at(0).toBool(), true);
        QCOMPARE(topPos.last().at(0).toPoint(), s.adj->topHandle()->pos());
        QCOMPARE(bottomPos.last().at(0).toPoint(), s.adj->bottomHandle()->pos());
        QTest::mouseMove(s.win(), s.at(s.adj, outside));
        QCOMPARE(topVis.last().at(0).toBool(), false);
        QCOMPARE(bottomVis.last().at(0).toBool(), false);

        // Entering a handle shows its own label; leaving it hides it again.
        topVis.clear();
        bottomVis.clear();
        topPos.clear();
        QTest::mouseMove(s.win(), s.at(s.adj->topHandle(), QPoint(12, 9)));
        QVERIFY(topVis.contains(QVariantList{true}));
        QCOMPARE(topPos.last().at(0).toPoint(), s.adj->topHandle()->pos());
        QVERIFY(!bottomVis.contains(QVariantList{true}));
        QTest::mouseMove(s.win(), s.at(s.adj, outside));
        QCOMPARE(topVis.last().at(0).toBool(), false);

        // Dragging a handle moves its label along.
        topPos.clear();
        s.dragHandle(s.adj->topHandle(), 40);
        QCOMPARE(topPos.last().at(0).toPoint(), QPoint(bar.x(), bar.y() - 9 + 40));

        // Leaving the whole scale from the bar takes the labels away.
        QTest::mouseMove(s.win(), s.at(s.adj, QPoint(bar.center().x(), s.top() + 30)));
        QCOMPARE(topVis.last().at(0).toBool(), true);
        topVis.clear();
        bottomVis.clear();
        QTest::mouseMove(s.win(), s.at(s.adj, QPoint(bar.center().x(), s.top() + 30)) + QPoint(120, 0));
        QCOMPARE(topVis, (QList<QVariantList>{{false}}));
        QCOMPARE(bottomVis, (QList<QVariantList>{{false}}));

        // Automatic again: entering a handle still moves its label but does not show it.
        s.setAuto();
        topVis.clear();
        topPos.clear();
        QEvent enter(QEvent::Enter);
        QApplication::sendEvent(s.adj->topHandle(), &enter);
        QCOMPARE(topPos.count(), 1);
        QCOMPARE(topPos.at(0).at(0).toPoint(), s.adj->topHandle()->pos());
        QVERIFY(topVis.isEmpty());
    }
};

QTEST_MAIN(TestRangeAdjust)
#include "test_range_adjust.moc"
