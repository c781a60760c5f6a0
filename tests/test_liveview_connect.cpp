// The live view against the simulated camera, driven through the real main window: connecting
// (and failing to), standby and wake, the guards of every control in their order, losing the
// camera or another USB device, the reset after a disconnect, and the isotherm window.
#include "test_liveview_support.h"

#include "app/QTitleWidget.h"
#include "device/DeviceCommands.h"
#include "liveview/QTemperRangeAdjust.h"
#include "liveview/QVideoWndWidget.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QUnitLabel.h"
#include "maintenance/PtExItem.h"
#include "maintenance/QSceneViewCtrl.h"
#include "platform/usbnotify/UsbHotplugMonitor.h"
#include "video/QTempRule.h"
#include "video/QVideoPlay.h"
#include "video/ThermImageContext.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QLoadingMsgDlg.h"
#include "widgets/QTextIconHBtn.h"
#include "widgets/SwitchButton.h"

#include <QComboBox>
#include <QLabel>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QSlider>
#include <functional>

using namespace LiveViewTest;

namespace {

const char* const kNotConnected = "Device is not connect.";
const char* const kSleeping = "Device is sleeping, please turn off sleep mode";
const char* const kRecording = "Device is recording.";
const char* const kFreezing = "Video is freezing.";
const char* const kUpgrading = "Device is upgrading.";

const QString kThreeLinePrompt =
    "Connection lost, please check:\r\n1.Whether the data cable is properly connected.\r\n"
    "2.After connection, it takes about 7 seconds for the device communication preparation. Please try again later.";
const QString kUnplugPrompt = "Connection lost, please check:\r\nWhether the data cable is properly connected.";

} // namespace

class TestLiveViewConnect : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::ScopedConfigDir> m_pConfig;
    std::unique_ptr<MainWindow> m_pWindow;

    QVideoPreviewModuleWidget* page() const { return m_pWindow->liveView(); }

    // Connected, with frames flowing (the engine knows the frame size).
    bool connectCamera()
    {
        page()->startConnect();
        return QTest::qWaitFor([this] { return page()->m_bConnected; }, 20000)
               && QTest::qWaitFor([this] { return page()->videoPlay()->isStreamAlive(); }, 10000);
    }

    void disconnectCamera()
    {
        if (UsbCameraLink::instance().bStreaming || page()->m_bConnected) {
            m_pWindow->disconnectAll();
            QTRY_VERIFY_WITH_TIMEOUT(!UsbCameraLink::instance().bStreaming && !page()->m_bConnected, 10000);
        }
    }

    void setAlarmRecording(bool bOn)
    {
        QMutexLocker lock(&page()->videoPlay()->m_Mutex);
        page()->videoPlay()->m_bAlarmRecording = bOn;
    }

private slots:
    void initTestCase()
    {
        initLiveViewTests();
        m_pConfig = std::make_unique<TestSupport::ScopedConfigDir>();
        SimCamera::instance().reset();
        m_pWindow = makeMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(m_pWindow.get()));
    }

    void cleanup()
    {
        if (!m_pWindow) {
            SimCamera::instance().reset();
            return;
        }
        QMessageboxDlg::setExecHookForTests([](QMessageboxDlg&) { return int(QDialog::Accepted); });
        page()->m_bLocked = false;
        page()->m_bDisableEvent = false;
        page()->m_bRecording = false;
        resetFlags();
        setAlarmRecording(false);
        disconnectCamera();
        MessageRecorder::installFailSafeHook();
        // Image settings one test changed must not leak into the next.
        page()->m_bSuperRes = false;
        page()->m_nSuperResScale = 1;
        page()->videoPlay()->setSuperResolution(false);
        {
            const QSignalBlocker quiet(page()->zoomSlider());
            page()->zoomSlider()->setValue(0);
        }
        page()->m_ptZoomOrigin = QPoint();
        page()->m_nDirection = 0;
        g_nDirection = 0;
        m_pWindow->commExec()->setConnectPasses(20);
        SimCamera::instance().reset();
        if (m_pWindow->currentModule() != 0)
            m_pWindow->switchModule(0);
    }

    void cleanupTestCase() { m_pWindow.reset(); }

    void connectReachesTheLiveState()
    {
        MessageRecorder messages;
        QSignalSpy statusSpy(page(), SIGNAL(ChangeConnectStatusSignal(bool)));
        QSignalSpy paletteSpy(page(), SIGNAL(sendChangeColorization(int)));
        QTest::mouseClick(page()->connectButton(), Qt::LeftButton);

        QMessageboxDlg* pDlg = page()->connectingDialog();
        QVERIFY(pDlg);
        QVERIFY(pDlg->isVisible());
        QCOMPARE(pDlg->mode(), 1);
        QVERIFY(pDlg->progressBar()->isVisible());
        QVERIFY(!pDlg->okButton()->isVisible());
        QVERIFY(!pDlg->cancelButton()->isVisible());
        QVERIFY(!pDlg->closeButton()->isVisible());
        QCOMPARE(pDlg->text(), QString("Connecting Device, please wait."));

        QTRY_VERIFY_WITH_TIMEOUT(page()->m_bConnected, 20000);
        // The live state begins only once the bar has run to its end.
        QCOMPARE(pDlg->progressBar()->value(), 100);
        QVERIFY(pDlg->isDone());
        QVERIFY(!pDlg->isVisible());
        QVERIFY(messages.texts().isEmpty());

        QCOMPARE(statusSpy.count(), 1);
        QCOMPARE(statusSpy.at(0).at(0).toBool(), true);
        QVERIFY(m_pWindow->titleWidget()->isOnline());
        QCOMPARE(page()->connectButton()->btnText(), QString("Disconnect"));
        QVERIFY(page()->connectButton()->isSelected());
        QCOMPARE(SimCamera::instance().workMode(), DeviceCmd::kWorkModeRun);
        QCOMPARE(paletteSpy.count(), 1);
        QCOMPARE(paletteSpy.at(0).at(0).toInt(), 0);

        // A thermal model: overlay, scale and hot point switch are shown, zoom is enabled.
        QVERIFY(page()->overlay()->isVisible());
        QVERIFY(page()->overlayTimer()->isActive());
        QVERIFY(page()->temperScaleWidget()->isVisible());
        QVERIFY(page()->rangeAdjust()->isShown());
        QVERIFY(page()->hotPointSwitch()->isVisible());
        QVERIFY(page()->zoomSlider()->isEnabled());
        QVERIFY(page()->zoomUpButton()->isEnabled());
        QVERIFY(page()->zoomDownButton()->isEnabled());

        // Frames reach the engine, temperatures reach the marker and the overlay sits on the picture.
        QTRY_VERIFY_WITH_TIMEOUT(page()->videoPlay()->isStreamAlive(), 10000);
        QVERIFY(page()->videoPlay()->hasRenderTarget());
        QTRY_VERIFY_WITH_TIMEOUT(!page()->overlay()->labelText().isEmpty(), 5000);
        QTRY_VERIFY_WITH_TIMEOUT(page()->overlay()->width() > 100, 5000);
        const QRect label(page()->videoWnd()->mapToGlobal(QPoint(0, 0)), page()->videoWnd()->size());
        QTRY_VERIFY(label.contains(page()->overlay()->geometry()));

        // Disconnect and connect again: with the switch on, the marker comes back with the picture.
        page()->hotPointSwitch()->setChecked(true, false);
        disconnectCamera();
        QVERIFY(!page()->overlay()->marker()->isVisible());
        QVERIFY(connectCamera());
        QTRY_VERIFY_WITH_TIMEOUT(page()->overlay()->marker()->isVisible(), 5000);
    }

    void absentCameraEndsWithThePrompt()
    {
        m_pWindow->commExec()->setConnectPasses(3);
        SimCamera::instance().setPresent(false);
        MessageRecorder messages;
        int nTargetAtPrompt = -1;
        bool bDialogShownAtPrompt = true;
        messages.setOnMessage([&](QMessageboxDlg&) {
            nTargetAtPrompt = page()->connectingDialog()->progressTarget();
            bDialogShownAtPrompt = page()->connectingDialog()->isVisible();
        });
        QTest::mouseClick(page()->connectButton(), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, 10000);
        QCOMPARE(messages.last(), kThreeLinePrompt);
        QCOMPARE(nTargetAtPrompt, 20);
        QVERIFY(!bDialogShownAtPrompt);
        QCOMPARE(page()->connectingDialog()->progressBar()->value(), 1);
        QVERIFY(!page()->connectingDialog()->timer()->isActive());
        QVERIFY(!page()->m_bConnected);
        QVERIFY(!m_pWindow->titleWidget()->isOnline());
        QCOMPARE(page()->connectButton()->btnText(), QString("Connect Device"));
        QVERIFY(!page()->temperScaleWidget()->isVisible());
    }

    void refusedCameraClimbsToHalfFirst()
    {
        m_pWindow->commExec()->setConnectPasses(3);
        SimCamera::instance().setPartNumber("XYZ0000000000Q0");
        MessageRecorder messages;
        int nTargetAtPrompt = -1;
        messages.setOnMessage([&](QMessageboxDlg&) { nTargetAtPrompt = page()->connectingDialog()->progressTarget(); });
        page()->startConnect();
        QTRY_COMPARE_WITH_TIMEOUT(messages.count(), 1, 10000);
        QCOMPARE(messages.last(), kThreeLinePrompt);
        QCOMPARE(nTargetAtPrompt, 50);
        QVERIFY(!page()->m_bConnected);
    }

    void standbyAndWake()
    {
        QVERIFY(connectCamera());
        page()->hotPointSwitch()->setChecked(true, false);
        page()->setHotPointSwitchSlots(true);
        MessageRecorder messages;
        QSignalSpy standbySpy(page(), SIGNAL(sendStandbyModeChangedSignal(bool)));

        QVERIFY(pressStandbyAndWait(page()));
        QVERIFY(SimCamera::instance().isSleeping());
        QVERIFY(page()->m_bStandby);
        QVERIFY(g_bStandby);
        QCOMPARE(page()->standbyButton()->btnText(), QString("Start Device"));
        QVERIFY(page()->standbyButton()->isSelected());
        QCOMPARE(standbySpy.count(), 1);
        QVERIFY(m_pWindow->titleWidget()->isStandby());
        QVERIFY(!page()->temperScaleWidget()->isVisible());
        QVERIFY(!page()->rangeAdjust()->isShown());
        QVERIFY(!page()->overlay()->marker()->isVisible());
        QTRY_VERIFY(!page()->tempRule()->isTimerRunning());
        QCOMPARE(page()->m_nMinY, 0u);

        // Image controls refuse while the camera sleeps.
        page()->setSharpeningBtnSlots();
        QCOMPARE(messages.last(), QString(kSleeping));

        QVERIFY(pressStandbyAndWait(page()));
        QCOMPARE(SimCamera::instance().workMode(), DeviceCmd::kWorkModeRun);
        QVERIFY(!page()->m_bStandby);
        QVERIFY(!g_bStandby);
        QCOMPARE(page()->standbyButton()->btnText(), QString("Standby"));
        QVERIFY(page()->temperScaleWidget()->isVisible());
        QVERIFY(page()->rangeAdjust()->isShown());
        QVERIFY(page()->overlay()->marker()->isVisible());
        QTRY_VERIFY(page()->tempRule()->isTimerRunning());
        QVERIFY(!m_pWindow->titleWidget()->isStandby());

        // Asleep again, then woken on the settings module: the scale stays hidden there, and
        // the temperatures run again when the live view comes back.
        QVERIFY(pressStandbyAndWait(page()));
        QVERIFY(page()->m_bStandby);
        QTest::mouseClick(page()->navButton(1), Qt::LeftButton);
        QCOMPARE(m_pWindow->currentModule(), 1);
        QVERIFY(!page()->videoWnd()->isVisible());
        QVERIFY(pressStandbyAndWait(page()));
        QVERIFY(!page()->m_bStandby);
        QVERIFY(!page()->temperScaleWidget()->isVisible());
        QVERIFY(!page()->overlay()->isVisible());
        QTest::mouseClick(page()->navButton(0), Qt::LeftButton);
        QVERIFY(page()->videoWnd()->isVisible());
        QVERIFY(page()->temperScaleWidget()->isVisible());
        QVERIFY(page()->overlay()->isVisible());
        QTRY_VERIFY(page()->tempRule()->isTimerRunning());
        QVERIFY(messages.count() == 1);
    }

    void failedWakeKeepsStandby()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        QVERIFY(pressStandbyAndWait(page()));
        QVERIFY(page()->m_bStandby);
        SimCamera::instance().failNext(SimFault::Status22, 1, 0x00);
        QVERIFY(pressStandbyAndWait(page()));
        QCOMPARE(messages.last(), QString("Fail to open sleep mode."));
        QVERIFY(page()->m_bStandby);
        QVERIFY(g_bStandby);
        QCOMPARE(page()->standbyButton()->btnText(), QString("Start Device"));
        QVERIFY(pressStandbyAndWait(page()));
        QVERIFY(!page()->m_bStandby);
    }

    // Each control runs its checks in a fixed order: with every condition set, the message of
    // the first shows; clearing it reveals the next; with none left the control acts.
    void guardsRunInTheirOrder()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages(QDialog::Rejected);
        UsbCameraLink& link = UsbCameraLink::instance();
        QVideoPreviewModuleWidget* p = page();

        enum Cond { NotConnected, Standby, Recording, GRecording, Frozen, GFreeze, Locked, Alarm };
        auto apply = [&](Cond c, bool bOn) {
            switch (c) {
            case NotConnected: link.bStreaming = !bOn; break;
            case Standby: g_bStandby = bOn; break;
            case Recording: p->m_bRecording = bOn; break;
            case GRecording: g_bRecording = bOn; break;
            case Frozen: p->m_bFreeze = bOn; break;
            case GFreeze: g_bFreeze = bOn; break;
            case Locked: p->m_bLocked = bOn; break;
            case Alarm: setAlarmRecording(bOn); break;
            }
        };
        auto text = [](Cond c) -> QString {
            switch (c) {
            case NotConnected: return kNotConnected;
            case Standby: return kSleeping;
            case Recording:
            case GRecording: return kRecording;
            case Frozen:
            case GFreeze: return kFreezing;
            case Locked: return kUpgrading;
            case Alarm: return "Alarm recording is in progress, and you cannot record video manually.";
            }
            return QString();
        };

        QSignalSpy ffcSpy(p, SIGNAL(sendSetFFCModeSignal()));
        QSignalSpy snapSpy(p, SIGNAL(sendSnapshotSignals(QString)));
        QSignalSpy recordSpy(p, SIGNAL(sendStartRecordSignals()));
        QSignalSpy gainSpy(p, SIGNAL(sendSetAutoGainModeSignal(int)));
        struct Control
        {
            const char* pszName;
            std::function<void()> act;
            QList<Cond> guards;
            std::function<bool()> acted;
            std::function<void()> after = {};
        };
        int nDirection = p->m_nDirection;
        bool bSharpen = p->m_bSharpen;
        bool bSuperRes = p->m_bSuperRes;
        bool bFreeze = false;
        p->SetIronRedColorSlots();
        QCOMPARE(p->videoPlay()->paletteId(), 6);
        const QList<Control> controls = {
            {"white hot", [&] { QTest::mouseClick(p->paletteButton(0), Qt::LeftButton); }, {NotConnected, Standby, Frozen},
             [&] { return p->videoPlay()->paletteId() == 0; }},
            {"black hot", [&] { QTest::mouseClick(p->paletteButton(1), Qt::LeftButton); }, {NotConnected, Standby, Frozen},
             [&] { return p->videoPlay()->paletteId() == 1; }},
            {"iron red", [&] { QTest::mouseClick(p->paletteButton(2), Qt::LeftButton); }, {NotConnected, Standby, Frozen},
             [&] { return p->videoPlay()->paletteId() == 6; }},
            {"rainbow", [&] { QTest::mouseClick(p->paletteButton(3), Qt::LeftButton); }, {NotConnected, Standby, Frozen},
             [&] { return p->videoPlay()->paletteId() == 3; }},
            {"flip", [&] { QTest::mouseClick(p->rotationButton(), Qt::LeftButton); }, {NotConnected, Standby, Recording},
             [&] { return p->m_nDirection == (nDirection + 1) % 4; }},
            {"sharpening", [&] { QTest::mouseClick(p->sharpenButton(), Qt::LeftButton); }, {NotConnected, Standby},
             [&] { return p->m_bSharpen != bSharpen; }},
            {"super-resolution", [&] { QTest::mouseClick(p->superResButton(), Qt::LeftButton); },
             {NotConnected, Standby, Recording}, [&] { return p->m_bSuperRes != bSuperRes; }},
            {"image correction", [&] { QTest::mouseClick(p->imageAdjustButton(), Qt::LeftButton); },
             {NotConnected, Standby}, [&] { return ffcSpy.count() == 1; }},
            {"zoom up", [&] { QTest::mouseClick(p->zoomUpButton(), Qt::LeftButton); }, {NotConnected, Standby},
             [&] { return p->zoomSlider()->value() == 1; }},
            {"zoom down", [&] { QTest::mouseClick(p->zoomDownButton(), Qt::LeftButton); }, {NotConnected, Standby},
             [&] { return p->zoomSlider()->value() == 0; }},
            {"freeze", [&] { QTest::mouseClick(p->freezeButton(), Qt::LeftButton); }, {NotConnected, Standby},
             [&] { bFreeze = p->m_bFreeze; return bFreeze && g_bFreeze && p->freezeButton()->isSelected(); }},
            {"unfreeze", [&] { QTest::mouseClick(p->freezeButton(), Qt::LeftButton); }, {NotConnected, Standby},
             [&] { return !p->m_bFreeze && !g_bFreeze && !p->freezeButton()->isSelected(); }},
            {"snapshot", [&] { QTest::mouseClick(p->snapshotButton(), Qt::LeftButton); }, {NotConnected, Standby},
             [&] { return snapSpy.count() == 1; }},
            {"record", [&] { QTest::mouseClick(p->recordButton(), Qt::LeftButton); }, {NotConnected, Standby, Alarm},
             [&] { return recordSpy.count() == 1; },
             [&] {
                 // Let the engine answer, then stop the recording it started.
                 QTRY_VERIFY_WITH_TIMEOUT(!noticeText().isEmpty(), 10000);
                 if (p->m_bRecording)
                     QTest::mouseClick(p->recordButton(), Qt::LeftButton);
             }},
            {"gain mode", [&] { p->setGainmodeComboxSelectSlots(0); }, {NotConnected, Standby},
             [&] { return gainSpy.count() == 1 && p->loadingDialog()->isVisible(); },
             [&] { QTRY_VERIFY_WITH_TIMEOUT(!p->loadingDialog()->isVisible(), 10000); }},
            {"standby", [&] { pressStandbyAndWait(p); },
             {NotConnected, Locked, GRecording, GFreeze}, [&] { return p->m_bStandby; }},
            {"wake", [&] { pressStandbyAndWait(p); },
             {NotConnected, Locked, GRecording, GFreeze}, [&] { return !p->m_bStandby; }},
            {"disconnect", [&] { QTest::mouseClick(p->connectButton(), Qt::LeftButton); }, {Locked, GRecording},
             [&] { return messages.last() == "Please confirm whether to disconnect device?"; }},
        };

        for (const Control& control : controls) {
            for (Cond c : control.guards)
                apply(c, true);
            for (int i = 0; i < control.guards.size(); ++i) {
                messages.clear();
                clearNotice();
                control.act();
                const Cond c = control.guards.at(i);
                const QString got = c == Alarm ? noticeText() : messages.last();
                QVERIFY2(got == text(c), qPrintable(QString("%1, guard %2: got \"%3\"").arg(control.pszName).arg(i).arg(got)));
                QVERIFY2(!control.acted(), qPrintable(QString("%1 acted behind guard %2").arg(control.pszName).arg(i)));
                apply(c, false);
            }
            messages.clear();
            clearNotice();
            control.act();
            QVERIFY2(control.acted(), control.pszName);
            if (control.after)
                control.after();
            if (QByteArray(control.pszName) != "disconnect")
                QVERIFY2(messages.texts().isEmpty(), qPrintable(QString("%1: %2").arg(control.pszName, messages.last())));
        }
        QVERIFY(p->m_bConnected);
    }

    void hotPointSwitchFlipsBackWhenRefused()
    {
        MessageRecorder messages;
        SwitchButton* pSwitch = page()->hotPointSwitch();
        const bool bBefore = pSwitch->isChecked();
        QTest::mouseClick(pSwitch, Qt::LeftButton);
        QCOMPARE(messages.last(), QString(kNotConnected));
        QCOMPARE(pSwitch->isChecked(), bBefore);

        QVERIFY(connectCamera());
        g_bStandby = true;
        QTest::mouseClick(pSwitch, Qt::LeftButton);
        QCOMPARE(messages.last(), QString(kSleeping));
        QCOMPARE(pSwitch->isChecked(), bBefore);
        g_bStandby = false;

        QTest::mouseClick(pSwitch, Qt::LeftButton);
        QCOMPARE(pSwitch->isChecked(), !bBefore);
        QCOMPARE(page()->overlay()->marker()->isVisible(), !bBefore);
        QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "HotPoint").toInt(), bBefore ? 0 : 1);
        QTest::mouseClick(pSwitch, Qt::LeftButton);
        QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "HotPoint").toInt(), bBefore ? 1 : 0);
    }

    void flipCyclesAndIsRefusedWhileRecording()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        page()->zoomSlider()->setValue(1);
        const int nStart = page()->m_nDirection;
        QList<int> seen;
        for (int i = 0; i < 4; ++i) {
            page()->setImageRotationBtnSlots();
            seen << page()->m_nDirection;
            QCOMPARE(g_nDirection.load(), page()->m_nDirection);
            QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "Direction").toInt(), page()->m_nDirection);
            // The crop follows the direction: a quarter turn exchanges its coordinates.
            const QPoint expected = (page()->m_nDirection % 2) ? QPoint(24, 32) : QPoint(32, 24);
            QCOMPARE(page()->m_ptZoomOrigin, expected);
        }
        QCOMPARE(seen, QList<int>({(nStart + 1) % 4, (nStart + 2) % 4, (nStart + 3) % 4, nStart}));

        page()->m_bRecording = true;
        page()->setImageRotationBtnSlots();
        QCOMPARE(messages.last(), QString(kRecording));
        QCOMPARE(page()->m_nDirection, nStart);
        page()->m_bRecording = false;
        page()->zoomSlider()->setValue(0);
    }

    void palettesRefusedWhileFrozen()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        page()->SetIronRedColorSlots();
        QCOMPARE(page()->videoPlay()->paletteId(), 6);
        page()->setImageFreezeBtnSlots();
        QVERIFY(g_bFreeze);
        for (int i = 0; i < 4; ++i) {
            messages.clear();
            QTest::mouseClick(page()->paletteButton(i), Qt::LeftButton);
            QCOMPARE(messages.last(), QString(kFreezing));
        }
        QCOMPARE(page()->videoPlay()->paletteId(), 6);
        QCOMPARE(page()->m_nColorization, 6);
        QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "Colorization").toInt(), 6);
        page()->setImageFreezeBtnSlots();
        QVERIFY(!g_bFreeze);
        page()->SetRainbowColorSlots();
        QCOMPARE(page()->videoPlay()->paletteId(), 3);
        QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "Colorization").toInt(), 3);
    }

    void zoomStaysWithinItsRange()
    {
        QVERIFY(connectCamera());
        QSlider* pSlider = page()->zoomSlider();
        page()->VideoZoomDownSlots();
        QCOMPARE(pSlider->value(), 0);
        QCOMPARE(page()->m_ptZoomOrigin, QPoint(0, 0));
        for (int i = 0; i < 20; ++i)
            page()->VideoZoomUpSlots();
        QCOMPARE(pSlider->value(), 15);
        // Level 15 on a 256-wide frame is table entry 19: a 192 x 144 crop of 1024 x 768.
        QCOMPARE(page()->m_ptZoomOrigin, QPoint(416, 312));
        pSlider->setValue(0);
        QCOMPARE(page()->m_ptZoomOrigin, QPoint(0, 0));
    }

    void superResolutionOnTheEngine()
    {
        QVERIFY(connectCamera());
        const bool bBefore = page()->m_bSuperRes;
        page()->setSuperResBtnSlots();
        QCOMPARE(page()->m_bSuperRes, !bBefore);
        QCOMPARE(page()->videoPlay()->m_bSuperRes.load(), !bBefore);
        QCOMPARE(page()->videoPlay()->m_nScale.load(), bBefore ? 1 : 2);
        QCOMPARE(page()->m_nSuperResScale, bBefore ? 1 : 2);
        QCOMPARE(ConfigStore::value(ConfigStore::kGeneralGroup, "SuperRes").toInt(), bBefore ? 0 : 1);
        page()->setSuperResBtnSlots();
        QCOMPARE(page()->m_nSuperResScale, bBefore ? 2 : 1);
        // The engine's refusal turns the switch off, with the failure notice.
        page()->m_bSuperRes = true;
        clearNotice();
        page()->setSuperResRefusedSlot();
        QVERIFY(!page()->m_bSuperRes && !page()->superResButton()->isSelected() && page()->m_nSuperResScale == 1);
        QCOMPARE(noticeIcon(), QString(kIconFailure));
    }

    void cameraSuperResolutionGoesToTheCamera()
    {
        SimCamera::instance().setCapabilities(true, false);
        QSignalSpy deviceSpy(page(), SIGNAL(sendSetDeviceSuperResModeSignal(int)));
        QVERIFY(connectCamera());
        QCOMPARE(deviceSpy.count(), 1);
        QCOMPARE(deviceSpy.at(0).at(0).toInt(), 1);
        QVERIFY(page()->m_bSuperRes);
        QVERIFY(page()->superResButton()->isSelected());
        QCOMPARE(page()->videoPlay()->m_nScale.load(), 1);
        QTRY_COMPARE(SimCamera::instance().superResMode(), 1);

        page()->setSuperResBtnSlots();
        QCOMPARE(deviceSpy.count(), 2);
        QCOMPARE(deviceSpy.at(1).at(0).toInt(), 0);
        QCOMPARE(page()->videoPlay()->m_nScale.load(), 1);
        QTRY_COMPARE(SimCamera::instance().superResMode(), 0);
    }

    void unplugOfTheCamera()
    {
        QVERIFY(connectCamera());
        page()->m_bRecording = true;
        g_bRecording = true;
        MessageRecorder messages;
        QSignalSpy stopSpy(page(), SIGNAL(sendStopRecordSignals()));
        SimCamera::instance().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!page()->m_bConnected, 10000);
        QCOMPARE(messages.texts(), QStringList({kUnplugPrompt}));
        QVERIFY(stopSpy.count() >= 1);
        QVERIFY(!page()->m_bRecording);
        QVERIFY(!g_bRecording);
        QCOMPARE(page()->recordButton()->iconImage(1), QString("url(:/Resource/Skin/video_record.png);"));
        QVERIFY(!page()->recordButton()->isSelected());
        QVERIFY(!m_pWindow->titleWidget()->isOnline());
        QVERIFY(!UsbCameraLink::instance().bStreaming);
        QVERIFY(!page()->overlay()->isVisible());
    }

    void unplugWhileTheBarStillRuns()
    {
        page()->setConnectProgressInterval(50);
        MessageRecorder messages;
        QSignalSpy connectSpy(page(), SIGNAL(ConnectDevSignal()));
        page()->startConnect();
        QTRY_VERIFY_WITH_TIMEOUT(UsbCameraLink::instance().bStreaming, 10000);
        QVERIFY(!page()->m_bConnected);
        SimCamera::instance().unplug();
        QTRY_VERIFY_WITH_TIMEOUT(!UsbCameraLink::instance().bStreaming, 10000);
        // The connect is not finished and none is started again.
        QTest::qWait(300);
        QCOMPARE(connectSpy.count(), 1);
        QCOMPARE(messages.texts(), QStringList({kUnplugPrompt}));
        QVERIFY(!page()->m_bConnected);
        QVERIFY(!page()->connectCheckTimer()->isActive());
        QVERIFY(!page()->connectingDialog()->isVisible());
        QVERIFY(!m_pWindow->titleWidget()->isOnline());
        page()->setConnectProgressInterval(2);
    }

    void unplugOfAnotherDevice()
    {
        QVERIFY(connectCamera());
        MessageRecorder messages;
        const uint64_t nProbesBefore = SimCamera::instance().commandCount(0x00);
        emit page()->hotplugMonitor()->deviceChanged(false);
        emit page()->hotplugMonitor()->deviceChanged(true);
        QTest::qWait(200);
        QVERIFY(SimCamera::instance().commandCount(0x00) > nProbesBefore);
        QVERIFY(page()->m_bConnected);
        QVERIFY(UsbCameraLink::instance().bStreaming);
        QVERIFY(messages.texts().isEmpty());
    }

    void unplugDuringRestartIsQuiet()
    {
        QVERIFY(connectCamera());
        emit m_pWindow->SendDisableEventSignal(true);
        QVERIFY(page()->m_bDisableEvent && page()->m_bLocked);
        page()->m_bRecording = true;
        g_bRecording = true;
        MessageRecorder messages;
        QSignalSpy stopSpy(page(), SIGNAL(sendStopRecordSignals()));
        QSignalSpy statusSpy(page(), SIGNAL(sendStatusChangeSignals()));
        SimCamera::instance().unplug();
        QTRY_COMPARE_WITH_TIMEOUT(stopSpy.count(), 1, 10000);
        QTest::qWait(100);
        QCOMPARE(statusSpy.count(), 0);
        QVERIFY(messages.texts().isEmpty());
        QVERIFY(!page()->m_bRecording);
        QVERIFY(!g_bRecording);
        QVERIFY(page()->m_bConnected);
        emit m_pWindow->SendDisableEventSignal(false);
    }

    void disconnectResultFalseStillResets()
    {
        QVERIFY(connectCamera());
        page()->setImageFreezeBtnSlots();
        QVERIFY(g_bFreeze);
        QTRY_VERIFY_WITH_TIMEOUT(page()->videoPlay()->hasRenderTarget(), 5000);
        page()->videoPlay()->setIsoTemperSlot(10.0f, 50.0f);

        page()->setDevDisconnectRetSlot(false);
        QVERIFY(!page()->m_bConnected);
        QCOMPARE(page()->connectButton()->btnText(), QString("Connect Device"));
        QVERIFY(!page()->connectButton()->isSelected());
        QVERIFY(!page()->m_bFreeze);
        QVERIFY(!g_bFreeze);
        QVERIFY(!page()->freezeButton()->isSelected());
        QVERIFY(!m_pWindow->titleWidget()->isOnline());
        QVERIFY(!page()->overlay()->isVisible());
        QVERIFY(!page()->overlayTimer()->isActive());
        QVERIFY(!page()->temperScaleWidget()->isVisible());
        QVERIFY(!page()->rangeAdjust()->isShown());
        QVERIFY(!page()->zoomSlider()->isEnabled());
        QVERIFY(!page()->videoPlay()->hasRenderTarget());
        QCOMPARE(page()->videoPlay()->isoLow(), -30.0f);
        QCOMPARE(page()->videoPlay()->isoHigh(), 200.0f);
        QTRY_VERIFY(!page()->tempRule()->isTimerRunning());
    }

    void gainModeFollowsTheCapability()
    {
        SimCamera::instance().setCapabilities(false, true);
        QVERIFY(connectCamera());
        QVideoPreviewModuleWidget* p = page();
        QComboBox* pCombo = p->gainModeComboBox();
        QSignalSpy gearSpy(p, SIGNAL(sendSetLowTempTwoGearSignal(int, int)));
        QSignalSpy gainSpy(p, SIGNAL(sendSetGainModeSignal(int)));
        QSignalSpy autoSpy(p, SIGNAL(sendSetAutoGainModeSignal(int)));

        pCombo->setCurrentIndex(pCombo->findData(2));
        p->setGainmodeComboxSelectSlots(2);
        QCOMPARE(gearSpy.count(), 1);
        QCOMPARE(gearSpy.at(0), QVariantList({1, 0}));
        QTRY_VERIFY_WITH_TIMEOUT(!p->loadingDialog()->isVisible(), 10000);
        QCOMPARE(noticeText(), QString("Operate succeed"));
        int nGear = -1, nAuto = -1;
        SimCamera::instance().lowTempGear(nGear, nAuto);
        QCOMPARE(nAuto, 1);
        QCOMPARE(nGear, 0);

        pCombo->setCurrentIndex(pCombo->findData(0));
        p->setGainmodeComboxSelectSlots(0);
        QCOMPARE(gearSpy.count(), 2);
        QCOMPARE(gearSpy.at(1), QVariantList({0, 0}));
        QTRY_VERIFY_WITH_TIMEOUT(!p->loadingDialog()->isVisible(), 10000);

        pCombo->setCurrentIndex(pCombo->findData(1));
        p->setGainmodeComboxSelectSlots(1);
        QCOMPARE(gainSpy.count(), 1);
        QCOMPARE(gainSpy.at(0).at(0).toInt(), 1);
        QTRY_VERIFY_WITH_TIMEOUT(!p->loadingDialog()->isVisible(), 20000);
        QCOMPARE(autoSpy.count(), 0);
    }

    void isothermFollowsTheScale()
    {
        QVERIFY(connectCamera());
        QTemperRangeAdjust* pAdjust = page()->rangeAdjust();
        QVideoPlay* pPlay = page()->videoPlay();
        // Hold the measurements so that only this test moves the window.
        emit page()->SendTimerStatusSignals(false);
        QTRY_VERIFY(!page()->tempRule()->isTimerRunning());
        QCoreApplication::processEvents();

        ThermImageContext::instance().m_fSceneMin = 21.0f;
        ThermImageContext::instance().m_fSceneMax = 64.0f;
        pAdjust->setSceneTemperatures(21.0f, 64.0f);   // as shown (emissivity 1.00)
        QTest::mouseClick(pAdjust->autoSwitch(), Qt::LeftButton);
        QVERIFY(!pAdjust->isAutoRange());
        QTRY_COMPARE(pPlay->isoLow(), 21.0f);
        QTRY_COMPARE(pPlay->isoHigh(), 64.0f);

        // Handles a quarter of the bar in from each end: the window is the middle half.
        const QRect slide = pAdjust->slideRect();
        const int h = slide.height();
        QVERIFY(h > 40);
        pAdjust->topHandle()->move(slide.x(), slide.y() - 9 + h / 4);
        pAdjust->bottomHandle()->move(slide.x(), slide.y() - 9 + 3 * h / 4);
        ThermHotPointParam param;
        param.fMinTemper = 20.0f;
        param.fMaxTemper = 120.0f;
        page()->setHotPointSlot(param);
        const float fUpper = 120.0f - float(h / 4) * 100.0f / float(h);
        const float fLower = 120.0f - float(3 * h / 4) * 100.0f / float(h);
        QTRY_VERIFY(qAbs(pPlay->isoHigh() - fUpper) < 0.01f);
        QTRY_VERIFY(qAbs(pPlay->isoLow() - fLower) < 0.01f);
        // The floating labels carry the window's ends.
        QCOMPARE(page()->topHoverLabel()->valueText(), QString::number(double(fUpper), 'f', 1));
        QCOMPARE(page()->bottomHoverLabel()->valueText(), QString::number(double(fLower), 'f', 1));

        QTest::mouseClick(pAdjust->autoSwitch(), Qt::LeftButton);
        QVERIFY(pAdjust->isAutoRange());
        QTRY_COMPARE(pPlay->isoLow(), -30.0f);
        QTRY_COMPARE(pPlay->isoHigh(), 200.0f);
    }

    // Last: the window goes while the camera streams.
    void closingTheWindowJoinsTheWorkers()
    {
        QVERIFY(connectCamera());
        QPointer<QVideoPlay> pPlay = page()->videoPlay();
        QPointer<QTempRule> pRule = page()->tempRule();
        m_pWindow->close();
        m_pWindow.reset();
        QVERIFY(pPlay.isNull());
        QVERIFY(pRule.isNull());
        QVERIFY(!UsbCameraLink::instance().bStreaming);
    }
};

QTEST_MAIN(TestLiveViewConnect)
#include "test_liveview_connect.moc"
