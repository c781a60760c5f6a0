// The main window frame: size rules, edge detection, every wired connection, module switching,
// the camera restart sequence, the title bar, the navigation column and the device information
// page, against the real widgets.
#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/MainWindow.h"
#include "app/QAboutDlg.h"
#include "app/QCtrlModuleWidget.h"
#include "app/QTitleWidget.h"
#include "device/QDevInfo.h"
#include "device/QDeviceInfoModule.h"
#include "device/UsbCameraLink.h"
#include "liveview/QVideoPreviewModuleWidget.h"
#include "maintenance/QSettingCtrl.h"
#include "maintenance/QUpdate.h"
#include "platform/camlib/CameraChoice.h"
#include "platform/camlib/CameraLibrary.h"
#include "platform/v4l2/V4l2Backend.h"
#include "support/TestSupport.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QMessageboxDlg.h"

#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QRubberBand>
#include <QScrollArea>
#include <QScreen>
#include <QSignalSpy>
#include <QWindow>
#include <QtTest>

class TestMainWindow : public QObject
{
    Q_OBJECT

    QStringList m_messages;
    int m_nAnswer = QDialog::Rejected;

    void hookMessages()
    {
        m_messages.clear();
        QMessageboxDlg::setExecHookForTests([this](QMessageboxDlg& dlg) {
            m_messages << dlg.text();
            return m_nAnswer;
        });
    }

private slots:
    void initTestCase()
    {
        TestSupport::initCommon();
        loadLanguage(langTable(), 1);
    }
    void cleanup()
    {
        QMessageboxDlg::setExecHookForTests({});
        UsbCameraLink::instance().bStreaming = false;
        g_bStandby = false;
        g_bRecording = false;
    }

    void sizeFollowsTheScreen()
    {
        QCOMPARE(MainWindow::scaledSize(QSize(1920, 1080)), QSize(1440, 900));
        QCOMPARE(MainWindow::scaledSize(QSize(1280, 720)), QSize(960, 600));
        QCOMPARE(MainWindow::scaledSize(QSize(2560, 1440)), QSize(1920, 1200));
        // A fractional ratio (100 dpi): the shown window still covers the scaled device pixels.
        const qreal f = 100.0 / 96.0;
        for (const QSize& screen : {QSize(1920, 1080), QSize(1280, 720)}) {
            const QSize logical = MainWindow::windowSizeFor(screen / f, f);
            QCOMPARE(QSize(qRound(logical.width() * f), qRound(logical.height() * f)), MainWindow::scaledSize(screen));
        }

        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        QScreen* pScreen = QGuiApplication::primaryScreen();
        const QSize expected = MainWindow::windowSizeFor(pScreen->size(), pScreen->devicePixelRatio());
        QCOMPARE(w.maximumSize(), expected);
        QCOMPARE(w.minimumSize(), QSize(800, 600));
        QCOMPARE(w.size(), expected);
        QCOMPARE(w.rubberBand()->minimumSize(), QSize(800, 600));
        QCOMPARE(w.rubberBand()->maximumSize(), expected);
        QVERIFY(w.windowFlags() & Qt::FramelessWindowHint);
        // The window as shown, not only as built: what the screen gets is the scaled size.
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTRY_COMPARE(w.windowHandle()->geometry().size(), expected);
        QCOMPARE(w.frameGeometry().size(), expected);
    }

    void edgeDetection_data()
    {
        QTest::addColumn<QPoint>("pos");
        QTest::addColumn<int>("edges");
        // Window frame (100, 100) 800 x 600: outer edges at x = 100 / 900, y = 100 / 700.
        QTest::newRow("top-left") << QPoint(101, 102) << 5;
        QTest::newRow("top-right") << QPoint(898, 99) << 9;
        QTest::newRow("top") << QPoint(500, 104) << 1;
        QTest::newRow("bottom-left") << QPoint(96, 699) << 6;
        QTest::newRow("bottom-right") << QPoint(903, 702) << 10;
        QTest::newRow("bottom") << QPoint(500, 696) << 2;
        QTest::newRow("left") << QPoint(100, 400) << 4;
        QTest::newRow("right") << QPoint(904, 400) << 8;
        QTest::newRow("inside") << QPoint(500, 400) << 0;
        QTest::newRow("exactly 5 from top") << QPoint(500, 105) << 0;
        QTest::newRow("exactly 5 from left") << QPoint(105, 400) << 0;
        QTest::newRow("exactly 5 outside right") << QPoint(905, 400) << 0;
    }
    void edgeDetection()
    {
        QFETCH(QPoint, pos);
        QFETCH(int, edges);
        QCOMPARE(MainWindow::edgesAt(QRect(100, 100, 800, 600), pos), edges);
    }

    // A window moved since it was built: dragging its right edge 100 pixels in keeps its place.
    void edgeResizeStartsFromTheCurrentGeometry()
    {
        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        w.move(w.pos() + QPoint(40, 30));
        QTRY_COMPARE(w.frameGeometry().topLeft(), w.geometry().topLeft());
        const QRect before = w.geometry();
        const QPoint edge(before.left() + before.width(), before.center().y());
        const auto send = [&](QEvent::Type type, const QPoint& at, Qt::MouseButtons buttons) {
            QMouseEvent e(type, w.mapFromGlobal(at), at, Qt::LeftButton, buttons, Qt::NoModifier);
            type == QEvent::MouseMove ? w.handleMouseMove(&e)
                : type == QEvent::MouseButtonPress ? w.handleMousePress(&e) : w.handleMouseRelease(&e);
        };
        send(QEvent::MouseMove, edge, Qt::NoButton);
        send(QEvent::MouseButtonPress, edge, Qt::LeftButton);
        send(QEvent::MouseMove, edge - QPoint(100, 0), Qt::LeftButton);
        send(QEvent::MouseButtonRelease, edge - QPoint(100, 0), Qt::NoButton);
        QCOMPARE(w.geometry().topLeft(), before.topLeft());
        QVERIFY2(qAbs(w.width() - (before.width() - 100)) <= 1, qPrintable(QString::number(w.width())));
        QCOMPARE(w.height(), before.height());
    }

    // Made small by its edges, the right panel keeps every control whole, apart and in view.
    void rightPanelHoldsAtSmallSizes()
    {
        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        w.show();
        auto* pScroll = w.liveView()->findChild<QWidget*>("moduleWidget")->findChild<QScrollArea*>();
        QVERIFY(pScroll);
        for (const QSize& size : {QSize(800, 600), QSize(833, 625)}) {
            w.resize(size);
            QTRY_COMPARE(w.size(), size);
            QList<QRect> parts;
            for (QWidget* p : pScroll->widget()->findChildren<QWidget*>())
                if ((qobject_cast<QAbstractButton*>(p) || p->objectName() == "DivideLine") && p->isVisibleTo(pScroll)
                    && !qobject_cast<QAbstractButton*>(p->parentWidget()))
                    parts << QRect(p->mapTo(pScroll->viewport(), QPoint(0, 0)), p->size());
            QVERIFY(parts.size() > 12);
            for (int i = 0; i < parts.size(); ++i) {
                QVERIFY(parts[i].right() < pScroll->viewport()->width());   // not under the scroll bar
                for (int j = i + 1; j < parts.size(); ++j)
                    QVERIFY2(!parts[i].intersects(parts[j]), qPrintable(QString("%1 / %2").arg(i).arg(j)));
            }
            for (int i = 0; i < 3; ++i)
                QCOMPARE(w.liveView()->navButton(i)->size(), QSize(36, 36));
        }
    }

    void everyConnectionIsMade()
    {
        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        // Every pair the window must wire, as often as it must: one lost connection fails.
        QStringList expected = {
            "sendStatusChangeSignals>setStatusChangeSlots", "ReconnectDeviceSignals>ReconnectDeviceSlots",
            "sendStandbyModeChangedSignal>UpdateStandbyStatusSlot", "SendDisableBtnSignal>SetDisableBtnSlot",
            "SendDisableBtnSignal>SetDisableBtnSlot", "SendDisableBtnSignal>SetDisableBtnSlot",
            "SendDisableBtnSignal>SetDisableBtnSlot", "ChangeConnectStatusSignal>ChangeConnectStatusSlot",
            "Signal_ConnectStatusChange>setStatusChangeSlots", "SendDisableEventSignal>SetDisableEventSlot",
            "SendDisableEventSignal>SetDisableEventSlot2", "ConnectDevSignal>setDevConnectSlot",
            "sendDevConnectRetSignal>ConnectDevRetSlot", "sendDisconnectDevSignal>setDevDisconnectSlot",
            "sendDevDisconnectRetSignal>setDevDisconnectRetSlot", "sendChangeColorization>setColorrizationSlot",
            "sendSetSharpnessSignal>setSharpnessParamSlot", "sendSetFFCModeSignal>setFFCSlot",
            "sendFFCRetSignal>setFFCRetSlot", "sendGetDeviceInfoSignal>getDeviveInfoSlot",
            "sendGetDeviceInfoRetSignal>GetDeviceInfoRetSlot", "sendGetALLBadColsSignal>getAllBadColsSlot",
            "sendGetAllBadColsRetSignal>getAllBadColsRetSlot", "sendGetALLBadPixelsSignal>getAllBadPixelsSlot",
            "sendGetAllBadPixelsRetSignal>getAllBadPixelsRetSlot", "sendSetAllBadPixelsSignal>setAllBadPixelsSlot",
            "sendSetAllBadPixelsRetSignal>setAllBadPixelsRetSlot", "sendSetAllBadColsSignal>setAllBadColsSlot",
            "sendSetAllBadColsRetSignal>setAllBadColsRetSlot", "sendSaveAllBadSetSignal>saveAllSetSlot",
            "sendSaveAllBadSetRetSignal>saveAllBadSetRetSlot",
            "sendSetAutoGainModeSignal>setAutoGainModelSwitchSlot",
            "sendSetAutoGainModeRetSignal>setGainModeSwitchRetSlot", "sendSetGainModeSignal>setGainModeSwitchSlot",
            "sendSetGainModeRetSignal>setGainModeSwitchRetSlot",
            "sendGetLowTempTwoGearSignal>getLowTempTwoGearSlot",
            "sendGetLowTempTwoGearRetSignal>getLowTempTwoGearRetSlot",
            "sendSetLowTempTwoGearSignal>setLowTempTwoGearSlot",
            "sendSetLowTempTwoGearRetSignal>setLowTempTwoGearRetSlot",
            "sendSetDeviceSuperResModeSignal>setDeviceSuperResModeSlot",
            "sendSetDeviceSuperResModeRetSignal>setDeviceSuperResModeRetSlot"};
        for (const MainWindow::Wire& wire : w.wiring()) {
            QVERIFY2(wire.ok, qPrintable(wire.signal + " -> " + wire.slot));
            expected.removeOne(wire.signal.section('(', 0, 0) + '>' + wire.slot.section('(', 0, 0));
        }
        QVERIFY2(expected.isEmpty(), qPrintable(expected.join(", ")));
        // A result from the executor reaches the page through a queued connection.
        QSignalSpy spy(w.liveView(), SIGNAL(ConnectDevSignal()));
        w.liveView()->startConnect();
        QCOMPARE(spy.count(), 1);
    }

    void switchingModules()
    {
        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        w.show();
        QSignalSpy infoRequests(w.deviceInfoModule(), SIGNAL(sendGetDeviceInfoSignal()));
        w.switchModule(2);
        QCOMPARE(w.currentModule(), 2);
        QVERIFY(w.deviceInfoModule()->isVisible());
        QVERIFY(!w.settingCtrl()->isVisible());
        QCOMPARE(infoRequests.count(), 0);   // disconnected: no request

        w.switchModule(1);
        QVERIFY(w.settingCtrl()->isVisible());
        QVERIFY(!w.deviceInfoModule()->isVisible());
        QCOMPARE(w.ctrlModuleWidget()->currentIndex(), 1);

        UsbCameraLink::instance().bStreaming = true;
        w.switchModule(2);
        QCOMPARE(infoRequests.count(), 1);
        w.switchModule(0);
        QVERIFY(!w.settingCtrl()->isVisible());
        QVERIFY(!w.deviceInfoModule()->isVisible());
        QCOMPARE(w.liveView()->m_nCurModule, 0);
    }

    void restartSequence()
    {
        TestSupport::ScopedConfigDir dir;
        hookMessages();
        MainWindow w;
        w.setRestartWaitMs(10);
        QSignalSpy disable(&w, SIGNAL(SendDisableEventSignal(bool)));
        QSignalSpy status(&w, SIGNAL(Signal_ConnectStatusChange()));
        emit w.deviceInfoModule()->ReconnectDeviceSignals();
        QCOMPARE(disable.count(), 2);
        QCOMPARE(disable.at(0).at(0).toBool(), true);
        QCOMPARE(disable.at(1).at(0).toBool(), false);
        QCOMPARE(status.count(), 2);
        QCOMPARE(m_messages, QStringList{langText("Device has rebooted, reconnecting the device, please wait.")});
        // The page is unlocked again once the restart sequence is over.
        QCOMPARE(w.liveView()->m_bLocked, false);
    }

    void closingJoinsTheExecutorThread()
    {
        TestSupport::ScopedConfigDir dir;
        auto* w = new MainWindow;
        w->show();
        QPointer<QObject> exec = reinterpret_cast<QObject*>(w->commExec());
        QThread* pThread = w->commThread();
        QVERIFY(pThread->isRunning());
        w->close();
        delete w;
        QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
        QVERIFY(exec.isNull());
    }

    void titleBarStatus()
    {
        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        QTitleWidget* t = w.titleWidget();
        QCOMPARE(t->statusImage(), QString(":/Resource/Skin/state_Offline.png"));
        t->ChangeConnectStatusSlot(true);
        QVERIFY(t->isOnline());
        QCOMPARE(t->statusImage(), QString(":/Resource/Skin/state_Online.png"));
        t->UpdateStandbyStatusSlot(true);
        QCOMPARE(t->statusImage(), QString(":/Resource/Skin/state_Dormancy.png"));
        t->UpdateStandbyStatusSlot(false);
        QCOMPARE(t->statusImage(), QString(":/Resource/Skin/state_Online.png"));
        g_bRecording = true;
        g_bStandby = true;
        t->UpdateStandbyStatusSlot(true);
        t->ChangeConnectStatusSlot(false);
        QCOMPARE(t->statusImage(), QString(":/Resource/Skin/state_Offline.png"));
        QVERIFY(!t->isOnline());
        QVERIFY(!t->isStandby());
        QVERIFY(!g_bRecording);
        QVERIFY(!g_bStandby);

        // The status area says when the picture is simulated; "auto" knows only once it has
        // looked for a real camera at connect time.
        QCOMPARE(t->cameraStatusText(), QString("Simulated camera"));
        QVERIFY(bindCameraChoice("auto", nullptr));
        t->refreshCameraStatus();
        QVERIFY(t->cameraStatusText().isEmpty());
        if (!v4l2HasCandidate()) {
            int32_t nCount = 0;
            std::vector<UsbDeviceRecord> list(kUsbDeviceListSize);
            cameraLibrary().GetUsbDeviceNum(&nCount, list.data());
            t->ChangeConnectStatusSlot(true);
            QCOMPARE(t->cameraStatusText(), QString("Simulated camera"));
        }
        QVERIFY(bindCameraChoice("sim", nullptr));
    }

    void titleBarStatusChangeConnectsOrDisconnects()
    {
        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        QSignalSpy connects(w.liveView(), SIGNAL(ConnectDevSignal()));
        QSignalSpy disconnects(w.liveView(), SIGNAL(sendDisconnectDevSignal()));
        w.titleWidget()->setStatusChangeSlots();
        QCOMPARE(connects.count(), 1);
        w.titleWidget()->ChangeConnectStatusSlot(true);
        w.titleWidget()->setStatusChangeSlots();
        QCOMPARE(disconnects.count(), 1);
        // An upgrade that ends while online disconnects everything once its image reached the
        // camera; one that never sent it leaves the connection alone.
        w.titleWidget()->SetDisableBtnSlot(true);
        QVERIFY(w.titleWidget()->isUpgrading());
        w.titleWidget()->SetDisableBtnSlot(false);
        QCOMPARE(disconnects.count(), 1);
        w.titleWidget()->SetDisableBtnSlot(true);
        w.settingCtrl()->updatePage()->Task_GetProgress(30720, 61440);
        w.titleWidget()->SetDisableBtnSlot(false);
        QCOMPARE(disconnects.count(), 2);
    }

    void maximisationPersists()
    {
        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        w.show();
        QVERIFY(QTest::qWaitForWindowExposed(&w));
        QTitleWidget* t = w.titleWidget();
        t->setWndMaxSlots();
        QTRY_VERIFY(w.isMaximized());
        QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "Maximization").toBool(), true);
        QCOMPARE(t->resizeButton()->property("max").toBool(), true);
        t->setWndMaxSlots();
        QTRY_VERIFY(!w.isMaximized());
        QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "Maximization").toBool(), false);
        QCOMPARE(t->resizeButton()->property("max").toBool(), false);

        // What a maximised close writes must come back from the file in a fresh store.
        t->setWndMaxSlots();
        QTRY_VERIFY(w.isMaximized());
        ConfigStore::setBaseDirForTests(dir.path());
        MainWindow w2;
        QVERIFY(w2.windowState() & Qt::WindowMaximized);
    }

    void closeRefusedWhileUpgrading()
    {
        TestSupport::ScopedConfigDir dir;
        hookMessages();
        MainWindow w;
        w.show();
        w.settingCtrl()->SetDisableBtnSlot(true);   // relayed to the title bar and the column
        QVERIFY(w.titleWidget()->isUpgrading());
        QVERIFY(w.ctrlModuleWidget()->isUpgrading());
        w.titleWidget()->setWndCloseSlots();
        QVERIFY(w.isVisible());
        QCOMPARE(m_messages, QStringList{langText("Upgrading, unable to shut down client.")});

        // Switching modules is refused as well.
        w.ctrlModuleWidget()->setSettingsModuleShowSlots();
        QCOMPARE(w.currentModule(), 0);
        QCOMPARE(m_messages.last(), langText("Upgrading, unable to switch interface."));
        // A connection change (a restart, a lost camera) does not end the upgrade's lock.
        w.titleWidget()->ChangeConnectStatusSlot(true);
        w.titleWidget()->setStatusChangeSlots();
        QVERIFY(w.titleWidget()->isUpgrading());

        w.settingCtrl()->SetDisableBtnSlot(false);
        w.titleWidget()->setWndCloseSlots();
        QVERIFY(!w.isVisible());
    }

    void navigationColumn()
    {
        TestSupport::ScopedConfigDir dir;
        MainWindow w;
        QCtrlModuleWidget* c = w.ctrlModuleWidget();
        QVERIFY(!c->moduleButton(0)->isEnabled());
        QVERIFY(c->moduleButton(0)->isHighlighted());
        c->setDeviceInformationModuleShowSlots();
        QCOMPARE(w.currentModule(), 2);
        QVERIFY(!c->moduleButton(2)->isEnabled());
        QVERIFY(c->moduleButton(0)->isEnabled());
        QVERIFY(!c->moduleButton(0)->isHighlighted());
        // Asking for the module already shown does nothing.
        QSignalSpy infoRequests(w.deviceInfoModule(), SIGNAL(sendGetDeviceInfoSignal()));
        UsbCameraLink::instance().bStreaming = true;
        c->setDeviceInformationModuleShowSlots();
        QCOMPARE(infoRequests.count(), 0);
    }

    void userManualFollowsLanguage()
    {
        TestSupport::ScopedConfigDir dir;
        QVERIFY(QCtrlModuleWidget::userManualPath().endsWith(QString::fromUtf8("//用户手册.pdf")));
        ConfigStore::setLanguage(1);
        QVERIFY(QCtrlModuleWidget::userManualPath().endsWith("//User's Manual.pdf"));
    }

    void aboutLink()
    {
        const QString text = QAboutDlg::linkText();
        QVERIFY(text.startsWith("<a href=\"" + QAboutDlg::licenseFolder() + "\" style=color:#E67E22;"));
        QVERIFY(text.endsWith(">" + langText("Open Source License")));
    }

    void deviceInformationPage()
    {
        hookMessages();
        QDevInfo page;
        DeviceInformation info;
        info.strDevPart = "KRM2560101A1RT1";
        info.strDevSn = "SN123";
        info.strDevRes = "256x192";
        info.strSwVer = QString("V1.2") + QString(28, QChar(0));   // as read: 32 bytes, zero padded
        page.showDeviceInfo(info);
        QCOMPARE(page.partValueLabel()->text(), info.strDevPart);
        QCOMPARE(page.snValueLabel()->text(), info.strDevSn);
        QCOMPARE(page.resValueLabel()->text(), info.strDevRes);
        QCOMPARE(page.swVerValueLabel()->text(), QString("V1.2"));
        QVERIFY(m_messages.isEmpty());

        info.strSwVer.clear();
        page.showDeviceInfo(info);
        QVERIFY(page.partValueLabel()->text().isEmpty());
        QVERIFY(page.swVerValueLabel()->text().isEmpty());
        QCOMPARE(m_messages, QStringList{"Failed to get."});

        page.showDeviceInfo(DeviceInformation{});
        page.clearDeviceInfo();
        QVERIFY(page.snValueLabel()->text().isEmpty());
    }

    void restartGuardsInOrder()
    {
        hookMessages();
        QDevInfo page;
        QSignalSpy restarts(&page, SIGNAL(ReconnectDeviceSignals()));
        g_bStandby = true;
        g_bRecording = true;
        page.RestartDeviceSlot();
        UsbCameraLink::instance().bStreaming = true;
        page.RestartDeviceSlot();
        g_bStandby = false;
        page.RestartDeviceSlot();
        g_bRecording = false;
        m_nAnswer = QDialog::Rejected;
        page.RestartDeviceSlot();
        QCOMPARE(restarts.count(), 0);
        m_nAnswer = QDialog::Accepted;
        page.RestartDeviceSlot();
        QCOMPARE(restarts.count(), 1);
        m_nAnswer = QDialog::Rejected;
        QCOMPARE(m_messages, (QStringList{"Device is not connect.", "Device is sleeping, please turn off sleep mode",
                                          "Device is recording.", "Are you sure to reboot?",
                                          "Are you sure to reboot?"}));
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_mainwindow.moc"
