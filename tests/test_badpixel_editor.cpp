// The bad pixel editor against the simulated camera, with the command executor on its own
// thread: reading and writing the tables, the editor's rules and limits, deleting and
// numbering, marker and table selection, zoom, the live raw picture, and the lent arrays
// surviving a page that is cleared or destroyed while requests are under way.

#include "support/TestSupport.h"

#include "app/AppFlags.h"
#include "app/LangTable.h"
#include "device/DeviceCommands.h"
#include "device/QDevCommExec.h"
#include "device/UsbCameraLink.h"
#include "maintenance/BadPixelColItem.h"
#include "maintenance/BadPixelItem.h"
#include "maintenance/BadPixelTable.h"
#include "maintenance/BadPixelTransfer.h"
#include "maintenance/QBadPixelChoose.h"
#include "maintenance/QSettingCtrl.h"
#include "platform/simcam/SimCamera.h"
#include "video/VideoGlobals.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QAction>
#include <QContextMenuEvent>
#include <QGraphicsScene>
#include <QGraphicsView>
#include <QMenu>
#include <QPushButton>
#include <QTableWidget>
#include <QtTest>
#include <memory>

namespace {

UsbCameraLink& link() { return UsbCameraLink::instance(); }
SimCamera& sim() { return SimCamera::instance(); }

std::vector<SimBadPixel> simPixels(std::initializer_list<std::pair<int, int>> xy)
{
    std::vector<SimBadPixel> out;
    for (const auto& p : xy)
        out.push_back({p.first, p.second});
    return out;
}

// A flat grey UYVY frame with one brighter pixel.
std::vector<unsigned char> greyFrame(int w, int h, int nSpotX = -1, int nSpotY = -1)
{
    std::vector<unsigned char> f(size_t(w) * size_t(h) * 2);
    for (size_t i = 0; i < f.size(); i += 2) {
        f[i] = 128;
        f[i + 1] = 60;
    }
    if (nSpotX >= 0)
        f[(size_t(nSpotY) * size_t(w) + size_t(nSpotX)) * 2 + 1] = 240;
    return f;
}

} // namespace

class TestBadPixelEditor : public QObject
{
    Q_OBJECT

private:
    QStringList m_boxes;   // texts of the modal message boxes, in order
    int m_nConfirmAnswer = QDialog::Accepted;
    QThread m_execThread;
    QDevCommExec* m_pExec = nullptr;
    std::unique_ptr<QBadPixelChoose> m_page;
    QString m_menuAction;   // the action the context menu hook triggers
    int m_nMenus = 0;

    QBadPixelChoose& page() { return *m_page; }

    void connectCamera()
    {
        QMetaObject::invokeMethod(m_pExec, "setDevConnectSlot", Qt::BlockingQueuedConnection);
        QVERIFY(link().bStreaming);
    }

    std::unique_ptr<QBadPixelChoose> makePage()
    {
        auto p = std::make_unique<QBadPixelChoose>();
        QBadPixelChoose* pPage = p.get();
        connect(pPage, &QBadPixelChoose::sendGetALLBadColsSignal, m_pExec, &QDevCommExec::getAllBadColsSlot);
        connect(pPage, &QBadPixelChoose::sendGetALLBadPixelsSignal, m_pExec, &QDevCommExec::getAllBadPixelsSlot);
        connect(pPage, &QBadPixelChoose::sendSetAllBadPixelsSignal, m_pExec, &QDevCommExec::setAllBadPixelsSlot);
        connect(pPage, &QBadPixelChoose::sendSetAllBadColsSignal, m_pExec, &QDevCommExec::setAllBadColsSlot);
        connect(pPage, &QBadPixelChoose::sendSaveAllBadSetSignal, m_pExec, &QDevCommExec::saveAllSetSlot);
        connect(m_pExec, &QDevCommExec::sendGetAllBadColsRetSignal, pPage, &QBadPixelChoose::getAllBadColsResult);
        connect(m_pExec, &QDevCommExec::sendGetAllBadPixelsRetSignal, pPage, &QBadPixelChoose::getAllBadPixelsResult);
        connect(m_pExec, &QDevCommExec::sendSetAllBadPixelsRetSignal, pPage, &QBadPixelChoose::setAllBadPixelsResult);
        connect(m_pExec, &QDevCommExec::sendSetAllBadColsRetSignal, pPage, &QBadPixelChoose::setAllBadColsResult);
        connect(m_pExec, &QDevCommExec::sendSaveAllBadSetRetSignal, pPage, &QBadPixelChoose::saveAllBadSetResult);
        pPage->setMenuHookForTests([this](QMenu& menu, const QPoint&) {
            ++m_nMenus;
            for (QAction* pAction : menu.actions())
                if (pAction->objectName() == m_menuAction)
                    pAction->trigger();
        });
        return p;
    }

    // Waits until the executor has answered everything queued so far, including requests
    // that answers lead to (a pixel write is followed by the column write).
    void drain()
    {
        for (int i = 0; i < 3; ++i) {
            QMetaObject::invokeMethod(m_pExec, [] {}, Qt::BlockingQueuedConnection);
            QCoreApplication::processEvents();
        }
    }

    void readTables()
    {
        page().requestAllBadSet();
        drain();
    }

    // Gives the page a picture of the camera's size (as its engine would) and lays it out.
    void feedPicture(int nSpotX = -1, int nSpotY = -1)
    {
        g_nFrameWidth = 256;
        g_nFrameHeight = 192;
        std::vector<unsigned char> frame = greyFrame(256, 192, nSpotX, nSpotY);
        page().setShowImage(frame.data(), 1);
    }

    // Runs the context menu action at a sensor point, as a right-click there does.
    void menuAt(const char* pszAction, double sx, double sy)
    {
        m_menuAction = pszAction;
        page().runMarkerContextMenu(QPoint(), QPointF(sx, sy));
    }

    QPoint viewPoint(double sx, double sy) { return page().graphicsView()->mapFromScene(QPointF(sx, sy)); }

    void rightClick(double sx, double sy)
    {
        QTest::mousePress(page().graphicsView()->viewport(), Qt::RightButton, {}, viewPoint(sx, sy));
        QTest::mouseRelease(page().graphicsView()->viewport(), Qt::RightButton, {}, viewPoint(sx, sy));
    }

    void wheel(int nSteps)
    {
        QWidget* pViewport = page().graphicsView()->viewport();
        const QPointF pos(pViewport->width() / 2.0, pViewport->height() / 2.0);
        for (int i = 0; i < std::abs(nSteps); ++i) {
            QWheelEvent event(pos, pViewport->mapToGlobal(pos.toPoint()), QPoint(), QPoint(0, nSteps > 0 ? 120 : -120),
                              Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
            QApplication::sendEvent(pViewport, &event);
        }
    }

    QStringList column(QTableWidget* pTable, int nColumn)
    {
        QStringList out;
        for (int r = 1; r < pTable->rowCount(); ++r)
            out << pTable->item(r, nColumn)->text();
        return out;
    }

    QStringList pixelTexts() { return column(page().pixelTable(), 1); }

    QString noticeText() { return QTimerMessageboxWidget::instance()->text(); }

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        loadLanguage(langTable(), 1);
        qApp->setQuitOnLastWindowClosed(false);
        QMessageboxDlg::setExecHookForTests([this](QMessageboxDlg& dlg) {
            m_boxes << dlg.text();
            return !dlg.cancelButton()->isHidden() ? m_nConfirmAnswer : int(QDialog::Accepted);
        });
        setCameraLibrary(nullptr);
        m_pExec = new QDevCommExec;
        m_pExec->setConnectPassInterval(0);
        m_pExec->moveToThread(&m_execThread);
        connect(&m_execThread, &QThread::finished, m_pExec, &QObject::deleteLater);
        m_execThread.start();
    }

    void cleanupTestCase()
    {
        m_page.reset();
        m_execThread.quit();
        m_execThread.wait();
        QMessageboxDlg::setExecHookForTests({});
    }

    void init()
    {
        link().close();
        sim().reset();
        sim().setRestartDurationMs(50);
        g_bStandby = false;
        g_nFrameWidth = 0;
        g_nFrameHeight = 0;
        m_boxes.clear();
        m_nConfirmAnswer = QDialog::Accepted;
        m_nMenus = 0;
        connectCamera();
        m_page = makePage();
        m_page->resize(900, 600);
    }

    void cleanup()
    {
        m_page.reset();
        drain();
        link().close();
    }

    void readingTheCameraTables()
    {
        // n entries: rows numbered 1..n in the camera's order, one marker each at its pixel.
        sim().setBadPixels(simPixels({{12, 40}, {100, 7}, {3, 150}}));
        sim().setBadColumns({5, 174});
        readTables();
        QCOMPARE(pixelTexts(), QStringList({"12,40", "100,7", "3,150"}));
        QCOMPARE(column(page().pixelTable(), 0), QStringList({"1", "2", "3"}));
        QCOMPARE(column(page().columnTable(), 1), QStringList({"5", "174"}));
        QCOMPARE(page().badPixels()[1].item->pos(), QPointF(100, 7));
        QCOMPARE(page().badColumns()[1].item->pos(), QPointF(174, 0));
        QCOMPARE(page().scene()->items().size(), 5);
        // Columns read before any frame still span the camera's picture height.
        QCOMPARE(page().badColumns()[0].item->rect().height(), 192.0);
        QVERIFY(m_boxes.isEmpty());
        // Every lent array has come back: only the page's idle column pair is left.
        QCOMPARE(BadPixelTransfer::trackedCount(), 2);

        // 257 pixels cannot be: failure notice, the list stays; the columns still arrive.
        sim().setBadPixels(std::vector<SimBadPixel>(257, SimBadPixel{1, 1}));
        sim().setBadColumns({9});
        readTables();
        QCOMPARE(m_boxes, QStringList({"Failed to get Bad Pixels."}));
        QCOMPARE(page().badPixels().size(), 3);
        QCOMPARE(column(page().columnTable(), 1), QStringList({"9"}));

        // Empty tables in the camera empty the page.
        sim().setBadPixels({});
        sim().setBadColumns({});
        readTables();
        QCOMPARE(page().badPixels().size(), 0);
        QCOMPARE(page().badColumns().size(), 0);
        QCOMPARE(page().pixelTable()->rowCount(), 1);
        QCOMPARE(page().scene()->items().size(), 0);
        QCOMPARE(BadPixelTransfer::trackedCount(), 2);
    }

    void addingFollowsTheRules()
    {
        feedPicture();
        menuAt("AddBP", 20.7, 30.2);
        QCOMPARE(pixelTexts(), QStringList({"20,30"}));
        menuAt("AddBP", 20.1, 30.9);   // the same pixel
        QCOMPARE(m_boxes, QStringList({"The bad pixel is set"}));
        QCOMPARE(page().badPixels().size(), 1);

        menuAt("AddBPCol", 11.5, 3);
        menuAt("AddBPCol", 10.5, 100);
        menuAt("AddBPCol", 11.2, 60);
        menuAt("AddBPCol", 13.0, 60);
        QCOMPARE(column(page().columnTable(), 1), QStringList({"11", "13"}));
        QCOMPARE(m_boxes.mid(1), QStringList({"There are adjacent bad columns", "The bad column is set"}));
        QCOMPARE(page().badColumns()[1].item->rect().height(), 192.0);

        // Right-clicks: outside the picture no menu; on it the menu, once per click, also
        // when the click lands on a selected marker (which runs the menu itself).
        page().show();
        QVERIFY(QTest::qWaitForWindowExposed(&page()));
        menuAt("AutoResize", 1, 1);
        m_menuAction.clear();
        m_nMenus = 0;
        wheel(-3);   // room around the picture on every side
        rightClick(100, -30);
        rightClick(-30, 50);
        rightClick(100, 230);
        rightClick(290, 50);
        QCOMPARE(m_nMenus, 0);
        rightClick(100.5, 100.5);
        QCOMPARE(m_nMenus, 1);
        const QPointF clicked = page().lastRightClickScenePos();
        QCOMPARE(QPoint(int(clicked.x()), int(clicked.y())), QPoint(100, 100));
        page().badPixels()[0].item->setSelected(true);
        rightClick(20.5, 30.5);
        QWidget* pViewport = page().graphicsView()->viewport();
        QContextMenuEvent menuEvent(QContextMenuEvent::Mouse, viewPoint(20.5, 30.5),
                                    pViewport->mapToGlobal(viewPoint(20.5, 30.5)));
        QApplication::sendEvent(pViewport, &menuEvent);
        QCOMPARE(m_nMenus, 2);
    }

    void deletingKeepsRowsAndEntriesAligned()
    {
        feedPicture();
        for (int i = 0; i < 5; ++i)
            menuAt("AddBP", 10 * i, 5);
        QTableWidget* pTable = page().pixelTable();

        // A row's own delete button deletes that row, not the current one.
        pTable->setCurrentCell(1, 0);
        qobject_cast<QPushButton*>(pTable->cellWidget(3, 2))->click();
        QCOMPARE(pixelTexts(), QStringList({"0,5", "10,5", "30,5", "40,5"}));
        QCOMPARE(column(pTable, 0), QStringList({"1", "2", "3", "4"}));

        // Deleting selected markers from the menu.
        page().badPixels()[0].item->setSelected(true);
        page().badPixels()[2].item->setSelected(true);
        menuAt("DeleteBP", 1, 1);
        QCOMPARE(pixelTexts(), QStringList({"10,5", "40,5"}));
        QCOMPARE(column(pTable, 0), QStringList({"1", "2"}));
        QCOMPARE(page().scene()->items().size(), 3);   // two markers and the picture
        for (int i = 0; i < page().badPixels().size(); ++i)
            QCOMPARE(BadPixelTable::pixelText(page().badPixels()[i].x, page().badPixels()[i].y), pixelTexts()[i]);

        // Clicking row r selects the marker of entry r - 1, and lets go of the one before.
        emit pTable->cellPressed(2, 1);
        QVERIFY(page().badPixels()[1].item->isSelected());
        emit pTable->cellPressed(1, 1);
        QVERIFY(page().badPixels()[0].item->isSelected());
        QVERIFY(!page().badPixels()[1].item->isSelected());

        // Delete-all: Cancel keeps everything, OK removes all; an empty table asks nothing.
        menuAt("AddBPCol", 50, 5);
        QPushButton* pAllPixels = qobject_cast<QPushButton*>(pTable->cellWidget(0, 2));
        m_nConfirmAnswer = QDialog::Rejected;
        pAllPixels->click();
        menuAt("DeleteAllBPCol", 1, 1);
        QCOMPARE(m_boxes, QStringList({"Delete all bad pixel?", "Delete all bad column?"}));
        QCOMPARE(page().badPixels().size(), 2);
        QCOMPARE(page().badColumns().size(), 1);
        m_nConfirmAnswer = QDialog::Accepted;
        pAllPixels->click();
        QCOMPARE(page().badPixels().size(), 0);
        QCOMPARE(pTable->rowCount(), 1);
        pAllPixels->click();
        QCOMPARE(m_boxes.size(), 3);
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    }

    void markersAndTableFollowEachOther()
    {
        page().show();
        QVERIFY(QTest::qWaitForWindowExposed(&page()));
        feedPicture();
        menuAt("AddBP", 60, 60);
        menuAt("AddBP", 150, 120);
        QWidget* pViewport = page().graphicsView()->viewport();
        // Picking one marker and then another moves the table's selection along.
        QTest::mouseClick(pViewport, Qt::LeftButton, {}, viewPoint(60.5, 60.5));
        QTRY_VERIFY(page().pixelTable()->selectionModel()->isRowSelected(1, QModelIndex()));
        QTest::mouseClick(pViewport, Qt::LeftButton, {}, viewPoint(150.5, 120.5));
        QVERIFY(page().badPixels()[1].item->isSelected());
        QTRY_VERIFY(page().pixelTable()->selectionModel()->isRowSelected(2, QModelIndex()));
        // A click on the bare picture lets go of everything.
        QTest::mouseClick(pViewport, Qt::LeftButton, {}, viewPoint(100.5, 20.5));
        QVERIFY(page().scene()->selectedItems().isEmpty());
        QVERIFY(!page().pixelTable()->selectionModel()->hasSelection());
    }

    void wheelZoomAndMarkerSizes()
    {
        page().show();
        QVERIFY(QTest::qWaitForWindowExposed(&page()));
        feedPicture();
        // Markers under the zoom's anchor (the viewport's centre) stay in sight.
        QWidget* pViewport = page().graphicsView()->viewport();
        const QPointF centre = page().graphicsView()->mapToScene(pViewport->rect().center());
        menuAt("AddBP", centre.x(), centre.y());
        menuAt("AddBPCol", centre.x(), 60);
        const QPoint pixelPos(int(centre.x()), int(centre.y()));
        BadPixelItem* pPixel = page().badPixels()[0].item;
        BadPixelColItem* pColumn = page().badColumns()[0].item;
        QList<int> sizes;
        double fLast = 1.0;
        for (int i = 0; i < 45; ++i) {
            wheel(1);
            if (page().zoomFactor() != fLast)
                sizes << pixelMarkerHalfSize;
            fLast = page().zoomFactor();
        }
        // 1.1^36 is the first step beyond 30; then growth stops.
        QVERIFY(page().zoomFactor() > 30.0 && page().zoomFactor() < 33.5);
        QCOMPARE(sizes.size(), 36);
        QCOMPARE(sizes.count(2), 24);   // up to 10
        QCOMPARE(sizes.count(1), 7);    // up to 20
        QCOMPARE(sizes.count(0), 5);
        QCOMPARE(columnMarkerHalfSize, 0);
        QTRY_COMPARE(pPixel->rect(), QRectF(0, 0, 1, 1));
        QCOMPARE(pPixel->pos(), QPointF(pixelPos));
        for (int i = 0; i < 60; ++i)
            wheel(-1);
        QVERIFY(page().zoomFactor() <= 0.3 && page().zoomFactor() > 0.26);
        QCOMPARE(pixelMarkerHalfSize, 2);
        QTRY_COMPARE(pColumn->rect(), QRectF(-2, 0, 5, 192));
        menuAt("AutoResize", 1, 1);
        QCOMPARE(page().zoomFactor(), 1.0);
    }

    void writingAppliesTheLimits()
    {
        feedPicture();
        // 300 pixels: the notice, then the first 256 are written; the table keeps all 300.
        for (int i = 0; i < 300; ++i)
            menuAt("AddBP", i % 250, i / 250 * 2);
        menuAt("AddBPCol", 30, 0);
        page().setButton()->click();
        drain();
        QCOMPARE(m_boxes, QStringList({"The movement can only set and save 256 bad points at most"}));
        const std::vector<SimBadPixel> written = sim().badPixels();
        QCOMPARE(written.size(), size_t(256));
        QCOMPARE(written.back().nCol, 5);   // entry 256 is pixel (5, 2)
        QCOMPARE(written.back().nRow, 2);
        QCOMPARE(sim().badColumns(), std::vector<int>({30}));
        QCOMPARE(page().badPixels().size(), 300);
        QCOMPARE(noticeText(), QString("Operate succeed"));

        // More columns than the picture is wide (only a camera read can bring that): a count
        // of 0 goes out after the notice.
        std::vector<int> many(300);
        for (int i = 0; i < 300; ++i)
            many[size_t(i)] = i;
        page().getAllBadColsResult(true, 300, many.data(), many.data());
        m_boxes.clear();
        page().setButton()->click();
        drain();
        QCOMPARE(m_boxes, QStringList({"The movement can only set and save 256 bad points at most",
                                       "Bad column numbers exceed resolution size"}));
        QVERIFY(sim().badColumns().empty());

        // Empty tables write counts of 0, which empties the camera's tables.
        menuAt("DeleteAllBP", 1, 1);
        menuAt("DeleteAllBPCol", 1, 1);
        sim().setBadColumns({40});
        page().setButton()->click();
        drain();
        QVERIFY(sim().badPixels().empty());
        QVERIFY(sim().badColumns().empty());
        QCOMPARE(BadPixelTransfer::trackedCount(), 2);

        // Guards: nothing is sent while asleep or without a camera.
        m_boxes.clear();
        const uint64_t nSent = sim().commandCount();
        g_bStandby = true;
        page().setButton()->click();
        page().saveButton()->click();
        g_bStandby = false;
        link().close();
        page().setButton()->click();
        drain();
        QCOMPARE(m_boxes, QStringList({"Device is sleeping, please turn off sleep mode",
                                       "Device is sleeping, please turn off sleep mode", "Device is not connect."}));
        QCOMPARE(sim().commandCount(), nSent);
    }

    void saveAndRoundTripThroughARestart()
    {
        feedPicture();
        menuAt("AddBP", 12, 40);
        menuAt("AddBP", 200, 3);
        menuAt("AddBPCol", 77, 0);
        page().setButton()->click();
        drain();
        sim().failNext(SimFault::Status22, 1, 0);
        page().saveButton()->click();
        drain();
        QCOMPARE(noticeText(), QString("Operate failed"));
        page().saveButton()->click();
        drain();
        QCOMPARE(noticeText(), QString("Operate succeed"));

        // Restart: the camera comes back with the saved tables.
        restartDevice(link(), false);
        QTRY_COMPARE_WITH_TIMEOUT(sim().restartCount(), 1, 5000);
        link().close();
        connectCamera();
        menuAt("DeleteAllBP", 1, 1);
        menuAt("DeleteAllBPCol", 1, 1);
        readTables();
        QCOMPARE(pixelTexts(), QStringList({"12,40", "200,3"}));
        QCOMPARE(column(page().columnTable(), 1), QStringList({"77"}));
    }

    void stuckPixelLeavesTheLivePicture()
    {
        page().show();
        QVERIFY(QTest::qWaitForWindowExposed(&page()));
        page().startVideoPlay();
        QTRY_VERIFY_WITH_TIMEOUT(page().hasPicture(), 5000);
        QCOMPARE(page().picture().size(), QSize(256, 192));
        const SimBadPixel stuck = sim().stuckPixels().front();
        // How far the pixel stands out from its eight neighbours, in grey levels.
        const auto standsOut = [&] {
            const QImage image = page().picture().toImage();
            int nSum = 0;
            for (int dy = -1; dy <= 1; ++dy)
                for (int dx = -1; dx <= 1; ++dx)
                    if (dx || dy)
                        nSum += qGreen(image.pixel(stuck.nCol + dx, stuck.nRow + dy));
            return std::abs(qGreen(image.pixel(stuck.nCol, stuck.nRow)) - nSum / 8);
        };
        QTRY_VERIFY(standsOut() > 20);
        menuAt("AddBP", stuck.nCol + 0.5, stuck.nRow + 0.5);
        page().setButton()->click();
        drain();
        QCOMPARE(sim().badPixels().size(), size_t(1));
        QTRY_VERIFY_WITH_TIMEOUT(standsOut() < 6, 5000);
    }

    void showingThePage()
    {
        page().show();
        QVERIFY(QTest::qWaitForWindowExposed(&page()));
        page().hide();
        g_bStandby = true;
        page().show();
        page().hide();
        g_bStandby = false;
        link().close();
        page().show();
        page().hide();
        link().close();
        connectCamera();
        page().show();
        QCOMPARE(m_boxes, QStringList({"Please be accompanied by a professional.",
                                       "Device is sleeping, please turn off sleep mode", "Device is not connect.",
                                       "Please be accompanied by a professional."}));
    }

    void serviceJourneyThroughTheSettingsModule()
    {
        // One receiver per answer: the arrays of an answer are freed by whoever takes it.
        m_page.reset();
        // The editor's button is there only for service work.
        qunsetenv("THERMAVA_SERVICE");
        QVERIFY(QSettingCtrl().badPixelShowButton()->isHidden());
        qputenv("THERMAVA_SERVICE", "1");
        QSettingCtrl ctrl;
        qunsetenv("THERMAVA_SERVICE");
        QVERIFY(!ctrl.badPixelShowButton()->isHidden());

        // Wired to the executor as the main window wires it.
        connect(&ctrl, &QSettingCtrl::sendGetALLBadColsSignal, m_pExec, &QDevCommExec::getAllBadColsSlot);
        connect(&ctrl, &QSettingCtrl::sendGetALLBadPixelsSignal, m_pExec, &QDevCommExec::getAllBadPixelsSlot);
        connect(&ctrl, &QSettingCtrl::sendSetAllBadPixelsSignal, m_pExec, &QDevCommExec::setAllBadPixelsSlot);
        connect(&ctrl, &QSettingCtrl::sendSetAllBadColsSignal, m_pExec, &QDevCommExec::setAllBadColsSlot);
        connect(&ctrl, &QSettingCtrl::sendSaveAllBadSetSignal, m_pExec, &QDevCommExec::saveAllSetSlot);
        connect(m_pExec, &QDevCommExec::sendGetAllBadColsRetSignal, &ctrl, &QSettingCtrl::getAllBadColsRetSlot);
        connect(m_pExec, &QDevCommExec::sendGetAllBadPixelsRetSignal, &ctrl, &QSettingCtrl::getAllBadPixelsRetSlot);
        connect(m_pExec, &QDevCommExec::sendSetAllBadPixelsRetSignal, &ctrl, &QSettingCtrl::setAllBadPixelsRetSlot);
        connect(m_pExec, &QDevCommExec::sendSetAllBadColsRetSignal, &ctrl, &QSettingCtrl::setAllBadColsRetSlot);
        connect(m_pExec, &QDevCommExec::sendSaveAllBadSetRetSignal, &ctrl, &QSettingCtrl::saveAllBadSetRetSlot);
        QBadPixelChoose& editor = *ctrl.badPixelPage();
        editor.setMenuHookForTests([this](QMenu& menu, const QPoint&) {
            for (QAction* pAction : menu.actions())
                if (pAction->objectName() == m_menuAction)
                    pAction->trigger();
        });
        sim().setBadColumns({200});
        ctrl.resize(1000, 700);
        ctrl.show();
        QVERIFY(QTest::qWaitForWindowExposed(&ctrl));

        // Open the editor: the camera's tables and its live raw picture.
        ctrl.badPixelShowButton()->click();
        QVERIFY(editor.isVisible());
        QCOMPARE(m_boxes.last(), QString("Please be accompanied by a professional."));
        drain();
        QCOMPARE(column(editor.columnTable(), 1), QStringList({"200"}));
        QTRY_VERIFY_WITH_TIMEOUT(editor.hasPicture(), 5000);

        // A stuck pixel added, written and saved is gone from the picture, and the camera
        // still has it in its table after a restart.
        const SimBadPixel stuck = sim().stuckPixels().at(1);
        const auto reading = [&](int dx) {
            return qGreen(editor.picture().toImage().pixel(stuck.nCol + dx, stuck.nRow));
        };
        QTRY_VERIFY(std::abs(reading(0) - reading(1)) > 20);
        m_menuAction = "AddBP";
        editor.runMarkerContextMenu(QPoint(), QPointF(stuck.nCol + 0.3, stuck.nRow + 0.6));
        editor.setButton()->click();
        drain();
        editor.saveButton()->click();
        drain();
        QCOMPARE(noticeText(), QString("Operate succeed"));
        QTRY_VERIFY_WITH_TIMEOUT(std::abs(reading(0) - (reading(1) + reading(-1)) / 2) < 6, 5000);
        restartDevice(link(), false);
        QTRY_COMPARE_WITH_TIMEOUT(sim().restartCount(), 1, 5000);
        link().close();
        ctrl.clearBadPixelPage();
        // The live view stops its preview on the disconnect, which forgets the frame size.
        g_nFrameWidth = 0;
        g_nFrameHeight = 0;
        QVERIFY(!editor.hasPicture() && editor.badColumns().isEmpty());
        connectCamera();
        ctrl.playBadPixelVideo();
        drain();
        QCOMPARE(column(editor.pixelTable(), 1), QStringList({BadPixelTable::pixelText(stuck.nCol, stuck.nRow)}));
        QCOMPARE(column(editor.columnTable(), 1), QStringList({"200"}));
        QTRY_VERIFY_WITH_TIMEOUT(editor.hasPicture(), 5000);
    }

    void convertUyvyToRgb888()
    {
        // U Y0 V Y1 groups; values worked out by hand from the conversion's coefficients.
        const unsigned char src[] = {128, 100, 128, 0, 100, 50, 200, 250, 255, 10, 0, 255};
        unsigned char dst[18] = {};
        QBadPixelChoose::convertUyvyToRgb888(src, dst, 3, 2);
        const unsigned char expected[] = {100, 100, 100, 0,   0,  0,   // neutral chroma
                                          148, 9,   1,   255, 209, 201, // 148.69 truncates to 148
                                          0,   56,  230, 79,  255, 255}; // negative red clamps to 0
        QCOMPARE(QByteArray(reinterpret_cast<char*>(dst), 18), QByteArray(reinterpret_cast<const char*>(expected), 18));
    }

    void clearAndDestroyWhileRequestsAreUnderWay()
    {
        feedPicture();
        menuAt("AddBP", 5, 5);
        menuAt("AddBPCol", 9, 0);
        sim().setBadPixels(simPixels({{1, 2}}));
        sim().setBadColumns({3});
        page().setButton()->click();   // pixel write under way
        page().requestAllBadSet();     // reads under way
        // Camera lost before any answer is handled.
        page().clearPage();
        QVERIFY(!page().hasPicture());
        QCOMPARE(page().badPixels().size(), 0);
        QCOMPARE(page().pixelTable()->rowCount(), 1);
        drain();
        // The late answers change nothing: no stale tables, no notices, and the page's empty
        // column list was not written over the camera's.
        QCOMPARE(page().badPixels().size(), 0);
        QCOMPARE(page().badColumns().size(), 0);
        QVERIFY(m_boxes.isEmpty());
        QCOMPARE(sim().badColumns(), std::vector<int>({3}));
        QCOMPARE(BadPixelTransfer::trackedCount(), 2);

        // A page destroyed while the executor works on its arrays: they stay alive for it.
        sim().setSlowReplyMs(300);
        sim().failNext(SimFault::SlowReply, 1);
        page().requestAllBadSet();
        m_page.reset();
        QVERIFY(BadPixelTransfer::trackedCount() >= 4);
        drain();   // the executor writes into them and answers nobody
        const int nOrphans = BadPixelTransfer::trackedCount();
        QCOMPARE(nOrphans, 4);
        // A pixel answer that finds no page is freed by whoever holds it.
        int* pRow = BadPixelTransfer::allocate(256);
        QBadPixelChoose::releasePixelReadArrays(pRow, new int[256]);
        QCOMPARE(BadPixelTransfer::trackedCount(), nOrphans);
        m_page = makePage();
    }
};

QTEST_MAIN(TestBadPixelEditor)
#include "test_badpixel_editor.moc"
