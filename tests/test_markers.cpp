// Bad pixel and bad column markers (sizes under zoom, selection, menu) and the hot point marker
// with its overlay (label placement, drawing).
#include "app/ConfigStore.h"
#include "liveview/QChamferedLabel.h"
#include "liveview/QVideoPreviewModuleWidget.h"
#include "liveview/QVideoWndWidget.h"
#include "maintenance/BadPixelColItem.h"
#include "maintenance/BadPixelItem.h"
#include "maintenance/BadPixelMarkerOwner.h"
#include "maintenance/PtExItem.h"
#include "maintenance/QSceneViewCtrl.h"
#include "platform/render/RenderEngine.h"
#include "support/TestSupport.h"
#include "video/QVideoPlay.h"
#include "video/ThermHotPointParam.h"

#include <QGraphicsScene>
#include <QGraphicsSceneContextMenuEvent>
#include <QGraphicsView>
#include <QGuiApplication>
#include <QImage>
#include <QLabel>
#include <QMutex>
#include <QPainter>
#include <QScreen>
#include <QSignalSpy>
#include <QStyleOptionGraphicsItem>
#include <QtTest>
#include <atomic>

namespace {

struct FakeOwner : BadPixelMarkerOwner
{
    QList<BadPixelItem*> pixels;
    QList<BadPixelColItem*> columns;
    int menus = 0;
    QPoint menuAt;
    void pixelMarkerSelected(BadPixelItem* p) override { pixels << p; }
    void columnMarkerSelected(BadPixelColItem* p) override { columns << p; }
    void runMarkerContextMenu(const QPoint& screenPos, const QPointF&) override
    {
        ++menus;
        menuAt = screenPos;
    }
};

// Paints one item into an image, as a view would.
QImage paintItem(QGraphicsItem& item, const QSize& size = QSize(200, 100), const QPointF& origin = QPointF(100, 50))
{
    QImage image(size, QImage::Format_ARGB32);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.translate(origin);
    QStyleOptionGraphicsItem option;
    item.paint(&painter, &option, nullptr);
    return image;
}

bool hasColour(const QImage& image, const QRect& area, const std::function<bool(QColor)>& match)
{
    for (int y = qMax(0, area.top()); y <= qMin(image.height() - 1, area.bottom()); ++y)
        for (int x = qMax(0, area.left()); x <= qMin(image.width() - 1, area.right()); ++x)
            if (match(image.pixelColor(x, y)))
                return true;
    return false;
}

bool isGreen(QColor c) { return c.alpha() > 200 && c.green() > 150 && c.red() < 120 && c.blue() < 120; }

} // namespace

class TestMarkers : public QObject
{
    Q_OBJECT
private slots:
    void initTestCase() { TestSupport::initCommon(); }
    void init()
    {
        pixelMarkerHalfSize = 3;
        columnMarkerHalfSize = 3;
    }

    void markerSizesFollowTheZoom()
    {
        QGraphicsScene scene;
        auto* pPixel = new BadPixelItem;
        pPixel->setPos(0, 7);
        auto* pColumn = new BadPixelColItem;
        pColumn->setRect(-columnMarkerHalfSize, 0, 2 * columnMarkerHalfSize + 1, 192);
        pColumn->setHeight(192);
        pColumn->setPos(0, 0);
        auto* pPlain = new QGraphicsRectItem(0, 0, 10, 10);   // same item type, not a marker
        scene.addItem(pPixel);
        scene.addItem(pColumn);
        scene.addItem(pPlain);
        QCOMPARE(pPixel->rect(), QRectF(-3, -3, 7, 7));
        QCOMPARE(pPixel->zValue(), 1.5);
        QCOMPARE(pColumn->zValue(), 1.0);
        QCOMPARE(pPixel->type(), int(QGraphicsRectItem::Type));
        QCOMPARE(pColumn->type(), int(QGraphicsRectItem::Type));

        // The first zoom step already trims h from 3 to 2; steps that keep h change nothing.
        QVERIFY(updateMarkerHalfSizes(&scene, 1.1));
        QCOMPARE(pixelMarkerHalfSize, 2);
        QCOMPARE(columnMarkerHalfSize, 2);
        QVERIFY(pPixel->isRectDirty());
        QVERIFY(pColumn->isRectDirty());
        QCOMPARE(pPlain->rect(), QRectF(0, 0, 10, 10));
        paintItem(*pPixel);
        paintItem(*pColumn);
        QVERIFY(!pPixel->isRectDirty());
        QVERIFY(!updateMarkerHalfSizes(&scene, 9.5));
        QVERIFY(!pPixel->isRectDirty());

        // From h = 2 to h = 1: side 3 for the pixel, width 3 for the column, at the next paint.
        QVERIFY(updateMarkerHalfSizes(&scene, 12.0));
        QCOMPARE(pPixel->rect(), QRectF(-2, -2, 5, 5));
        paintItem(*pPixel);
        paintItem(*pColumn);
        QCOMPARE(pPixel->rect(), QRectF(-1, -1, 3, 3));
        QCOMPARE(pColumn->rect(), QRectF(-1, 0, 3, 192));
        QVERIFY(!pPixel->isRectDirty());
        QCOMPARE(pPixel->pos(), QPointF(0, 7));
        QCOMPARE(pColumn->pos(), QPointF(0, 0));
        // At column 0 the band reaches left of the picture; nothing clips it.
        QCOMPARE(pColumn->sceneBoundingRect().left(), -1.0);

        // Trunc toward zero: past a factor of 20 the half size is 0 (a one-unit square), also
        // beyond 30 where 3 - f / 10 turns negative.
        QVERIFY(updateMarkerHalfSizes(&scene, 25.0));
        QCOMPARE(pixelMarkerHalfSize, 0);
        QVERIFY(!updateMarkerHalfSizes(&scene, 33.0));
    }

    void selectionColourAndOwner()
    {
        QGraphicsScene scene;
        FakeOwner owner;
        auto* pPixel = new BadPixelItem;
        auto* pColumn = new BadPixelColItem;
        pColumn->setHeight(50);
        pColumn->setRect(-3, 0, 7, 50);
        pPixel->setOwner(&owner);
        pColumn->setOwner(&owner);
        scene.addItem(pPixel);
        scene.addItem(pColumn);

        const QImage idle = paintItem(*pPixel);
        QCOMPARE(pPixel->currentColor(), QColor(0, 0, 255));
        QVERIFY(hasColour(idle, QRect(96, 46, 9, 9), [](QColor c) { return c.blue() > 200 && c.red() < 50; }));
        QVERIFY(owner.pixels.isEmpty());

        pPixel->setSelected(true);
        pColumn->setSelected(true);
        const QImage selected = paintItem(*pPixel);
        paintItem(*pColumn);
        QCOMPARE(pPixel->currentColor(), QColor(255, 0, 0));
        QCOMPARE(pColumn->currentColor(), QColor(255, 0, 0));
        QVERIFY(hasColour(selected, QRect(96, 46, 9, 9), [](QColor c) { return c.red() > 200 && c.blue() < 50; }));
        QCOMPARE(owner.pixels, QList<BadPixelItem*>{pPixel});
        QCOMPARE(owner.columns, QList<BadPixelColItem*>{pColumn});
        // An outline only: the centre pixel stays empty.
        QCOMPARE(selected.pixelColor(100, 50).alpha(), 0);

        // Markers are selectable but cannot be dragged.
        QVERIFY(pPixel->flags() & QGraphicsItem::ItemIsSelectable);
        QVERIFY(!(pPixel->flags() & QGraphicsItem::ItemIsMovable));
    }

    void contextMenuOnlyForSelectedMarkers()
    {
        QGraphicsScene scene;
        FakeOwner owner;
        auto* pPixel = new BadPixelItem;
        pPixel->setOwner(&owner);
        pPixel->setPos(10, 10);
        scene.addItem(pPixel);

        QGraphicsSceneContextMenuEvent event(QEvent::GraphicsSceneContextMenu);
        event.setScenePos(QPointF(10.5, 10.5));
        event.setScreenPos(QPoint(300, 200));
        event.setAccepted(true);
        scene.sendEvent(pPixel, &event);
        QCOMPARE(owner.menus, 0);
        QVERIFY(!event.isAccepted());

        pPixel->setSelected(true);
        event.setAccepted(true);
        scene.sendEvent(pPixel, &event);
        QCOMPARE(owner.menus, 1);
        QCOMPARE(owner.menuAt, QPoint(300, 200));
    }

    void columnMarkerDoesNotRepaintForever()
    {
        QGraphicsScene scene;
        auto* pColumn = new BadPixelColItem;
        pColumn->setHeight(40);
        pColumn->setRect(-3, 0, 7, 40);
        scene.addItem(pColumn);
        QCoreApplication::processEvents();
        QSignalSpy changed(&scene, SIGNAL(changed(QList<QRectF>)));

        // A paint that changes nothing schedules nothing.
        paintItem(*pColumn);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 0);

        // A size change refreshes the scene, and then it settles.
        updateMarkerHalfSizes(&scene, 15.0);
        QCoreApplication::processEvents();
        changed.clear();
        paintItem(*pColumn);
        QCoreApplication::processEvents();
        QCoreApplication::processEvents();
        QVERIFY(changed.count() >= 1);
        changed.clear();
        paintItem(*pColumn);
        QCoreApplication::processEvents();
        QCOMPARE(changed.count(), 0);
    }

    void markerPointLabelPlacement()
    {
        QSceneViewCtrl ctrl;
        ctrl.resize(200, 100);
        ctrl.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ctrl));
        // The view and the scene cover the whole control.
        QCOMPARE(ctrl.view()->geometry(), QRect(0, 0, 200, 100));
        QCOMPARE(ctrl.scene()->sceneRect(), QRectF(0, 0, 200, 100));

        PtExItem* pMarker = ctrl.marker();
        QVERIFY(pMarker);
        QCOMPARE(pMarker->type(), 0x1000E);
        QVERIFY(!(pMarker->flags() & QGraphicsItem::ItemIsSelectable));

        ctrl.setLabelText("36.6℃");
        QCOMPARE(ctrl.setMarkerPoint(50, 50), 0);
        QVERIFY(pMarker->showFlag());
        QCOMPARE(pMarker->pos(), QPointF(50, 50));
        QCOMPARE(pMarker->labelText(), QString("36.6℃"));
        QCOMPARE(pMarker->computeLabelPos(), QPointF(14.0, 5.5));

        // The right tenth (x >= 180) puts the label left of the cross.
        ctrl.setMarkerPoint(179, 50);
        QVERIFY(pMarker->isLabelOnRight());
        ctrl.setMarkerPoint(180, 50);
        QVERIFY(!pMarker->isLabelOnRight());
        QCOMPARE(pMarker->computeLabelPos(), QPointF(-58.0, 5.5));

        // Bottom 5 % (y >= 95) raises the label, top 5 % (y <= 5) lowers it.
        ctrl.setMarkerPoint(50, 95);
        QCOMPARE(pMarker->labelVerticalMode(), int(PtExItem::LabelRaised));
        QCOMPARE(pMarker->computeLabelPos().y(), -4.5);
        ctrl.setMarkerPoint(50, 94);
        QCOMPARE(pMarker->labelVerticalMode(), int(PtExItem::LabelLevel));
        ctrl.setMarkerPoint(50, 5);
        QCOMPARE(pMarker->labelVerticalMode(), int(PtExItem::LabelLowered));
        QCOMPARE(pMarker->computeLabelPos().y(), 15.5);

        // A negative coordinate hides cross and label but still moves the item.
        ctrl.setMarkerPoint(-1, 5);
        QVERIFY(!pMarker->showFlag());
        QCOMPARE(pMarker->pos(), QPointF(-1, 5));
        QCOMPARE(pMarker->pointX(), -1);
    }

    void hotPointMarkerDrawing()
    {
        PtExItem marker;
        marker.setLabelText("88.8");
        // Label right of the cross: green text to the right, none to the left.
        QImage image = paintItem(marker);
        QCOMPARE(image.pixelColor(100, 50), QColor(255, 255, 255));
        QVERIFY(hasColour(image, QRect(114, 40, 60, 20), isGreen));
        QVERIFY(!hasColour(image, QRect(30, 30, 60, 40), isGreen));

        marker.setLabelOnRight(false);
        image = paintItem(marker);
        QVERIFY(hasColour(image, QRect(42, 40, 55, 20), isGreen));
        QVERIFY(!hasColour(image, QRect(110, 30, 80, 40), isGreen));

        marker.setShowFlag(false);
        image = paintItem(marker);
        QVERIFY(!hasColour(image, image.rect(), [](QColor c) { return c.alpha() > 0; }));
    }

    // The marker moves with the picture: the renderer lays it over the picture it draws, so its
    // old place can never stay on screen beside the new one (as it would on the overlay window,
    // whose given-up pixels stay until the picture below is drawn again).
    void hotPointMarkerLaidOverThePicture()
    {
        TestSupport::ScopedConfigDir config;
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "HotPoint", 1);
        ConfigStore::setValue(ConfigStore::kGeneralGroup, "TemperUnit", 0);
        QVideoPreviewModuleWidget page;
        page.resize(1500, 900);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.videoWnd()->videoLabel()->resize(1000, 600);
        page.videoPlay()->m_nFrameWidth = 256;
        page.videoPlay()->m_nFrameHeight = 192;
        page.placeOverlay();
        QSceneViewCtrl* pOverlay = page.overlay();
        QCOMPARE(pOverlay->size(), QSize(800, 600));
        pOverlay->show();
        QVERIFY(QTest::qWaitForWindowExposed(pOverlay));

        // A renderer that keeps what it is given to lay over the picture.
        static QMutex s_mutex;
        static QImage s_overlay;
        static std::atomic<int> s_nPresents{0};
        static const RenderEngineApi kKeeping = {[](const RenderCreateInfo*) -> RenderHandle { return nullptr; },
            [](RenderHandle, int, int) {}, [](RenderHandle, const RenderFrameDesc*, const RenderRect*, int) {},
            [](RenderHandle) { ++s_nPresents; }, [](RenderHandle, const uint8_t*) {}, [](RenderHandle) {},
            [](RenderHandle, const uint8_t* p, int w, int h, int stride) {
                QMutexLocker lock(&s_mutex);
                s_overlay = p ? QImage(p, w, h, stride, QImage::Format_ARGB32).copy() : QImage();
            }};
        setRenderEngine(&kKeeping);
        page.videoPlay()->m_hRender = &s_nPresents;
        page.videoPlay()->m_bHaveRendered = true;
        const auto overlay = [] {
            QMutexLocker lock(&s_mutex);
            return s_overlay;
        };

        ThermHotPointParam param;
        param.fMinTemper = 20.0f;
        param.fMaxTemper = 65.2f;
        const QPoint crosses[2] = {QPoint(200, 150), QPoint(500, 375)};
        for (int k = 0; k < 2; ++k) {
            param.nPosX = k == 0 ? 64 : 160;
            param.nPosY = k == 0 ? 48 : 120;
            const int nPresents = s_nPresents.load();
            page.setHotPointSlot(param);
            // Laid over the last picture at once, not with the next frame.
            QTRY_VERIFY(s_nPresents.load() > nPresents);
            QTRY_VERIFY(!overlay().isNull() && overlay().pixelColor(crosses[k]) == QColor(255, 255, 255));
            const QImage laid = overlay();
            QCOMPARE(laid.size(), pOverlay->size());
            QVERIFY(hasColour(laid, QRect(crosses[k], QSize(100, 30)).translated(0, -20), isGreen));
            // One marker only, and the overlay window itself shows none.
            QVERIFY(laid.pixelColor(crosses[1 - k]).alpha() == 0);
            QVERIFY(!pOverlay->mask().contains(crosses[k]));
        }

        // Without the live overlay (another page shown), nothing is laid over the picture.
        pOverlay->hide();
        page.setHotPointSlot(param);
        QTRY_VERIFY(overlay().isNull());
        page.videoPlay()->stopPreview();
        setRenderEngine(nullptr);
    }
};

QTEST_MAIN(TestMarkers)
#include "test_markers.moc"
