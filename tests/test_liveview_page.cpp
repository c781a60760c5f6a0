// The live view page without a camera: what it reads at construction, its threads, navigation
// and module hosting, overlay placement, the hot point marker's text and place, the record and
// snapshot results, the colour bar and the floating labels, and the command result slots.
#include "test_liveview_support.h"

#include "app/ConfigStore.h"
#include "liveview/ColorBar.h"
#include "liveview/LiveViewStyles.h"
#include "liveview/QChamferedLabel.h"
#include "liveview/QMeasureLayer.h"
#include "liveview/QTemperRangeAdjust.h"
#include "liveview/QVideoWndWidget.h"
#include "maintenance/PtExItem.h"
#include "maintenance/QSceneViewCtrl.h"
#include "video/QTempRule.h"
#include "video/QVideoPlay.h"
#include "video/ThermImageContext.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QLoadingMsgDlg.h"
#include "widgets/QTextIconHBtn.h"
#include "widgets/QUnitLabel.h"
#include "widgets/SwitchButton.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QLabel>
#include <QTemporaryDir>
#include <QPointer>
#include <QSignalSpy>
#include <QVBoxLayout>

using namespace LiveViewTest;
using namespace LiveViewStyles;
using ConfigStore::kGeneralGroup;

namespace {

const char* const kRecordIdleImage = "url(:/Resource/Skin/video_record.png);";
const char* const kRecordingImage = "url(:/Resource/Skin/video_recording.png);";

QStringList recordImages(QIconTextHBtn* pBtn)
{
    return {pBtn->iconImage(0), pBtn->iconImage(1), pBtn->iconImage(2), pBtn->iconImage(4)};
}

// Pretends a camera is connected (the link's streaming flag) for the life of the object.
struct FakeConnected
{
    FakeConnected() { UsbCameraLink::instance().bStreaming = true; }
    ~FakeConnected() { UsbCameraLink::instance().bStreaming = false; }
};

} // namespace

class TestLiveViewPage : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestSupport::ScopedConfigDir> m_pConfig;

private slots:
    void initTestCase() { initLiveViewTests(); }

    void init()
    {
        m_pConfig = std::make_unique<TestSupport::ScopedConfigDir>();
        resetFlags();
        clearNotice();
    }

    void cleanup()
    {
        m_pConfig.reset();
        resetFlags();
        g_nDirection = 0;
    }

    void imageSettingsAreReadAtConstruction()
    {
        ConfigStore::setValue(kGeneralGroup, "Colorization", 6);
        ConfigStore::setValue(kGeneralGroup, "Direction", 2);
        ConfigStore::setValue(kGeneralGroup, "SuperRes", 1);
        ConfigStore::setValue(kGeneralGroup, "Sharpness", 1);
        ConfigStore::setValue(kGeneralGroup, "HotPoint", 1);
        QVideoPreviewModuleWidget page;
        QCOMPARE(page.m_nColorization, 6);
        QCOMPARE(page.videoPlay()->paletteId(), 6);
        QCOMPARE(page.paletteButton(2)->styleSheet(), QString(kSelectedPaletteStyle));
        for (int i : {0, 1, 3})
            QCOMPARE(page.paletteButton(i)->styleSheet(), QString(kUnselectedPaletteStyle));
        QCOMPARE(page.m_nDirection, 2);
        QCOMPARE(g_nDirection.load(), 2);
        QVERIFY(page.m_bSuperRes);
        QVERIFY(page.superResButton()->isSelected());
        QCOMPARE(page.superResButton()->styleSheet(), QString(kSelectedBtnStyle));
        QVERIFY(page.m_bSharpen);
        QVERIFY(page.sharpenButton()->isSelected());
        QVERIFY(page.hotPointSwitch()->isChecked());
        QVERIFY(page.overlay()->marker()->isVisible());
        // Super-resolution reaches the engine only once a camera is connected.
        QCOMPARE(page.m_nSuperResScale, 1);
    }

    void absentSettingsGiveTheDefaults()
    {
        ConfigStore::setValue(kGeneralGroup, "Direction", 7);
        QVideoPreviewModuleWidget page;
        QCOMPARE(page.m_nColorization, 0);
        QCOMPARE(page.videoPlay()->paletteId(), 0);
        QCOMPARE(page.paletteButton(0)->styleSheet(), QString(kSelectedPaletteStyle));
        // Only four directions exist; a value from elsewhere is taken as upright.
        QCOMPARE(page.m_nDirection, 0);
        QCOMPARE(g_nDirection.load(), 0);
        QVERIFY(!page.m_bSuperRes && !page.m_bSharpen);
        QVERIFY(!page.hotPointSwitch()->isChecked());
        QVERIFY(!page.overlay()->marker()->isVisible());
        QVERIFY(!page.zoomSlider()->isEnabled());
        QCOMPARE(page.zoomSlider()->maximum(), 15);
        QVERIFY(!page.gainModeComboBox()->isEnabled());
        QVERIFY(!page.temperScaleWidget()->isVisibleTo(&page));
        QVERIFY(!page.overlay()->isVisible());
        QVERIFY(page.navButton(0)->isHighlighted() && !page.navButton(0)->isEnabled());
        QCOMPARE(recordImages(page.recordButton()),
                 QStringList({kRecordIdleImage, kRecordingImage, kRecordingImage, kRecordIdleImage}));
    }

    void workersLiveOnTheirThreadsAndGoWithThePage()
    {
        auto* pPage = new QVideoPreviewModuleWidget;
        QPointer<QVideoPlay> pPlay = pPage->videoPlay();
        QPointer<QTempRule> pRule = pPage->tempRule();
        QVERIFY(pPage->videoThread()->isRunning());
        QVERIFY(pPage->tempRuleThread()->isRunning());
        QCOMPARE(pPlay->thread(), pPage->videoThread());
        QCOMPARE(pRule->thread(), pPage->tempRuleThread());
        // The workers really answer on their threads.
        QSignalSpy ruleSpy(pRule.data(), SIGNAL(SendHotPointSignal(ThermHotPointParam)));
        emit pPage->SendTimerStatusSignals(true);
        QTRY_VERIFY(ruleSpy.count() > 0);
        delete pPage;
        QVERIFY(pPlay.isNull());
        QVERIFY(pRule.isNull());
    }

    void navigationIsHeldWhileLocked()
    {
        QVideoPreviewModuleWidget page;
        page.show();
        QSignalSpy spy(&page, SIGNAL(sendSwitchModuleSignal(int)));
        page.m_bLocked = true;
        QTest::mouseClick(page.navButton(1), Qt::LeftButton);
        page.onNavDeviceInfoClicked();
        QCOMPARE(spy.count(), 0);
        QCOMPARE(page.m_nCurModule, 0);
        page.m_bLocked = false;
        QTest::mouseClick(page.navButton(2), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), 2);
        QCOMPARE(page.m_nCurModule, 2);

        page.selectNavButton(2);
        QVERIFY(!page.navButton(2)->isEnabled() && page.navButton(2)->isHighlighted());
        QVERIFY(page.navButton(0)->isEnabled() && !page.navButton(0)->isHighlighted());
        QVERIFY(page.navButton(1)->isEnabled() && !page.navButton(1)->isHighlighted());
        // The current module's button is disabled: clicking it does nothing.
        QTest::mouseClick(page.navButton(2), Qt::LeftButton);
        QCOMPARE(spy.count(), 1);
        page.selectNavButton(3);
        QVERIFY(!page.navButton(2)->isEnabled());
    }

    void hostedModulesAreNamedAndInset()
    {
        QVideoPreviewModuleWidget page;
        const int nBefore = page.moduleWidgets().size();
        page.addModuleWidget(nullptr);
        QCOMPARE(page.moduleWidgets().size(), nBefore);

        auto* pPlain = new QWidget;
        auto* pLayout = new QVBoxLayout(pPlain);
        pLayout->setContentsMargins(1, 2, 3, 4);
        page.addModuleWidget(pPlain);
        QCOMPARE(pPlain->objectName(), QString("MiddleModuleWidget"));
        QCOMPARE(pPlain->styleSheet(), QString("QWidget#MiddleModuleWidget { background-color: transparent; }"));
        QVERIFY(pPlain->testAttribute(Qt::WA_StyledBackground));
        const QMargins outer = page.outerLayout()->contentsMargins();
        QCOMPARE(pLayout->contentsMargins(), QMargins(outer.left() + 40, outer.top() + 40, 16, outer.bottom() + 40));
        QCOMPARE(page.topRowLayout()->indexOf(pPlain), 0);

        auto* pNamed = new QWidget;
        pNamed->setObjectName("HotImageCtrl");
        page.addModuleWidget(pNamed);
        QCOMPARE(pNamed->objectName(), QString("HotImageCtrl"));
        QCOMPARE(page.topRowLayout()->indexOf(pNamed), 0);
        QCOMPARE(page.moduleWidgets(), QList<QWidget*>({pPlain, pNamed}));
        QCOMPARE(pPlain->parentWidget(), &page);
    }

    void overlayCoversThePicture()
    {
        QVideoPreviewModuleWidget page;
        page.resize(1500, 900);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        QLabel* pLabel = page.videoWnd()->videoLabel();
        pLabel->resize(1000, 600);
        const QPoint corner = pLabel->mapToGlobal(QPoint(0, 0));

        // No frame yet: the overlay stays where it was.
        const QRect before = page.overlay()->geometry();
        page.placeOverlay();
        QCOMPARE(page.overlay()->geometry(), before);

        page.videoPlay()->m_nFrameWidth = 256;
        page.videoPlay()->m_nFrameHeight = 192;
        page.placeOverlay();
        QCOMPARE(page.overlay()->geometry(), QRect(corner + QPoint(100, 0), QSize(800, 600)));
        page.m_nDirection = 1;
        page.placeOverlay();
        QCOMPARE(page.overlay()->geometry(), QRect(corner + QPoint(275, 0), QSize(450, 600)));
        page.m_nDirection = 2;
        page.placeOverlay();
        QCOMPARE(page.overlay()->geometry(), QRect(corner + QPoint(100, 0), QSize(800, 600)));
    }

    // The marker text follows "TemperUnit"; the marker moves whatever the unit.
    void hotPointMarkerAndScaleTexts()
    {
        QVideoPreviewModuleWidget page;
        page.videoPlay()->m_nFrameWidth = 256;
        page.videoPlay()->m_nFrameHeight = 192;
        page.overlay()->resize(800, 600);
        QLabel* pMax = page.rangeAdjust()->findChild<QLabel*>("maxTemperLabel");
        QLabel* pMin = page.rangeAdjust()->findChild<QLabel*>("minTemperLabel");
        QVERIFY(pMax && pMin);
        PtExItem* pMarker = page.overlay()->marker();

        ThermHotPointParam param;
        param.nPosX = 128;
        param.nPosY = 96;
        param.fMinTemper = 20.0f;
        param.fMaxTemper = 36.6f;
        ConfigStore::setValue(kGeneralGroup, "TemperUnit", 0);
        page.setHotPointSlot(param);
        QCOMPARE(page.overlay()->labelText(), QString::fromUtf8("36.6℃"));
        QCOMPARE(pMarker->labelText(), QString::fromUtf8("36.6℃"));
        QCOMPARE(QPoint(pMarker->pointX(), pMarker->pointY()), QPoint(400, 300));
        QCOMPARE(pMax->text(), QString::fromUtf8("36.6℃"));
        QCOMPARE(pMin->text(), QString::fromUtf8("20.0℃"));

        ConfigStore::setValue(kGeneralGroup, "TemperUnit", 1);
        param.nPosX = 0;
        page.setHotPointSlot(param);
        QCOMPARE(page.overlay()->labelText(), QString::fromUtf8("97.9℉"));
        QCOMPARE(pMarker->pointX(), 0);
        QCOMPARE(pMax->text(), QString::fromUtf8("97.9℉"));
        QCOMPARE(pMin->text(), QString::fromUtf8("68.0℉"));

        ConfigStore::setValue(kGeneralGroup, "TemperUnit", 2);
        param.nPosX = 256;
        param.fMaxTemper = 50.0f;
        page.setHotPointSlot(param);
        QCOMPARE(page.overlay()->labelText(), QString("323.1K"));
        QCOMPARE(pMarker->pointX(), 800);
        QCOMPARE(pMax->text(), QString("323.1K"));

        // The page hands its own zoom, scale and direction to the placement: super-resolution
        // with a quarter turn and zoom level 1 puts the crop's corner at the top right.
        page.m_nSuperResScale = 2;
        page.m_ptZoomOrigin = QPoint(48, 64);
        page.m_nDirection = 1;
        page.overlay()->resize(600, 800);
        param.nPosX = 8;
        param.nPosY = 6;
        page.setHotPointSlot(param);
        QCOMPARE(QPoint(pMarker->pointX(), pMarker->pointY()), QPoint(600, 0));
    }

    void unitChangeRedrawsTheScale()
    {
        QVideoPreviewModuleWidget page;
        ConfigStore::setValue(kGeneralGroup, "TemperUnit", 0);
        ThermHotPointParam param;
        param.fMinTemper = 10.0f;
        param.fMaxTemper = 100.0f;
        page.setHotPointSlot(param);
        ConfigStore::setValue(kGeneralGroup, "TemperUnit", 1);
        page.refreshTemperUnit();
        QCOMPARE(page.rangeAdjust()->findChild<QLabel*>("maxTemperLabel")->text(), QString::fromUtf8("212.0℉"));
        QCOMPARE(page.topHoverLabel()->unitText(), QString::fromUtf8("℉"));
        QCOMPARE(page.bottomHoverLabel()->unitText(), QString::fromUtf8("℉"));
    }

    void recordResults_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("icon");
        QTest::newRow("started") << 0 << "Start Recording" << kIconSuccess;
        QTest::newRow("failed") << 1 << "Failed to record." << kIconFailure;
        QTest::newRow("no folder") << 2 << "The record path does not exist." << kIconFailure;
        QTest::newRow("disk full") << 3 << "Low disk space." << kIconFailure;
        QTest::newRow("alarm") << 4 << "An alarm is triggered, and manual recording stops." << kIconInfo;
        QTest::newRow("unknown") << 7 << "Unknown error." << kIconFailure;
    }

    void recordResults()
    {
        QFETCH(int, code);
        QFETCH(QString, text);
        QFETCH(QString, icon);
        QVideoPreviewModuleWidget page;
        // A result arriving while a recording runs (a failed segment restart) ends it too.
        page.setDealRecordResultSlots(0);
        QVERIFY(page.m_bRecording && g_bRecording);
        QCOMPARE(recordImages(page.recordButton()),
                 QStringList({kRecordingImage, kRecordingImage, kRecordingImage, kRecordingImage}));
        QVERIFY(page.recordButton()->isSelected());

        clearNotice();
        page.setDealRecordResultSlots(code);
        QCOMPARE(noticeText(), text);
        QCOMPARE(noticeIcon(), icon);
        QCOMPARE(page.m_bRecording, code == 0);
        QCOMPARE(g_bRecording.load(), code == 0);
        if (code != 0) {
            QCOMPARE(recordImages(page.recordButton()),
                     QStringList({kRecordIdleImage, kRecordIdleImage, kRecordIdleImage, kRecordIdleImage}));
            QVERIFY(!page.recordButton()->isSelected());
            QCOMPARE(page.recordButton()->styleSheet(), QString(kUnselectedBtnStyle));
        }
    }

    void snapshotResults()
    {
        QVideoPreviewModuleWidget page;
        const QList<QPair<QString, QString>> expected = {{"Captured image successfully.", kIconSuccess},
                                                        {"Snapshot failed.", kIconFailure},
                                                        {"The snapshot path does not exist.", kIconFailure},
                                                        {"Low disk space.", kIconFailure}};
        for (int code = 0; code < 4; ++code) {
            clearNotice();
            page.setDealSnapshotResultSlots(code);
            QCOMPARE(noticeText(), expected[code].first);
            QCOMPARE(noticeIcon(), expected[code].second);
        }
        for (int code : {4, 9, -1}) {
            clearNotice();
            page.setDealSnapshotResultSlots(code);
            QVERIFY(noticeText().isEmpty());
        }
    }

    void snapshotMakesItsDatedFolder()
    {
        QVideoPreviewModuleWidget page;
        FakeConnected connected;
        const QString qStrBase = m_pConfig->path() + "/shots/deeper";
        ConfigStore::setValue(kGeneralGroup, "ManualSnapshotPath", qStrBase);
        QSignalSpy spy(&page, SIGNAL(sendSnapshotSignals(QString)));
        page.setScreenshotBtnSlots();
        QCOMPARE(spy.count(), 1);
        const QString qStrFolder = qStrBase + "/" + QDate::currentDate().toString("yyyyMMdd");
        QCOMPARE(spy.at(0).at(0).toString(), qStrFolder);
        QVERIFY(QDir(qStrFolder).exists());

        // A folder that cannot be made (a file stands in the way) is reported, nothing is sent.
        QFile blocker(m_pConfig->path() + "/blocker");
        QVERIFY(blocker.open(QIODevice::WriteOnly));
        blocker.close();
        ConfigStore::setValue(kGeneralGroup, "ManualSnapshotPath", blocker.fileName());
        clearNotice();
        page.setScreenshotBtnSlots();
        QCOMPARE(spy.count(), 1);
        QCOMPARE(noticeText(), QString("The snapshot path does not exist."));
        QCOMPARE(noticeIcon(), QString(kIconInfo));
    }

    void recordButtonStartsStopsAndRefuses()
    {
        QVideoPreviewModuleWidget page;
        FakeConnected connected;
        MessageRecorder messages;
        QSignalSpy startSpy(&page, SIGNAL(sendStartRecordSignals()));
        QSignalSpy stopSpy(&page, SIGNAL(sendStopRecordSignals()));

        // No frame for more than two seconds: the press passes without a word.
        QVERIFY(!page.videoPlay()->isStreamAlive());
        page.setVideoRecordBtnSlots();
        QCOMPARE(startSpy.count(), 0);
        QVERIFY(noticeText().isEmpty());
        QVERIFY(messages.texts().isEmpty());

        // An alarm recording holds the engine.
        {
            QMutexLocker lock(&page.videoPlay()->m_Mutex);
            page.videoPlay()->m_bAlarmRecording = true;
        }
        page.setVideoRecordBtnSlots();
        QCOMPARE(noticeText(), QString("Alarm recording is in progress, and you cannot record video manually."));
        QCOMPARE(noticeIcon(), QString(kIconInfo));
        QCOMPARE(startSpy.count(), 0);
        {
            QMutexLocker lock(&page.videoPlay()->m_Mutex);
            page.videoPlay()->m_bAlarmRecording = false;
        }

        // Stop of a running recording: idle set A, unselected, flags cleared, notice.
        page.setDealRecordResultSlots(0);
        clearNotice();
        page.setVideoRecordBtnSlots();
        QCOMPARE(stopSpy.count(), 1);
        QVERIFY(!page.m_bRecording && !g_bRecording);
        QCOMPARE(recordImages(page.recordButton()),
                 QStringList({kRecordIdleImage, kRecordingImage, kRecordingImage, kRecordIdleImage}));
        QVERIFY(!page.recordButton()->isSelected());
        QCOMPARE(noticeText(), QString("Recording completed."));
        QCOMPARE(noticeIcon(), QString(kIconSuccess));
    }

    void colourBarFollowsEachFrame()
    {
        QVideoPreviewModuleWidget page;
        page.restylePalette(6);
        page.SetYDataSlot(40, 200);
        QCOMPARE(page.m_nMinY, 40u);
        QCOMPARE(page.m_nMaxY, 200u);
        QCOMPARE(ThermImageContext::instance().m_ColorBar, ColorBar::build(6, 40, 200));
        QVERIFY(!page.rangeAdjust()->scalePixmap().isNull());
        // All grey levels equal still gives a bar.
        page.SetYDataSlot(90, 90);
        QCOMPARE(ThermImageContext::instance().m_ColorBar, ColorBar::build(6, 90, 90));
        QCOMPARE(int(ThermImageContext::instance().m_ColorBar.size()), 822);

        // Asleep: the extent is cleared and the bar stays.
        g_bStandby = true;
        page.SetYDataSlot(10, 20);
        QCOMPARE(page.m_nMinY, 0u);
        QCOMPARE(page.m_nMaxY, 0u);
        QCOMPARE(ThermImageContext::instance().m_ColorBar, ColorBar::build(6, 90, 90));
    }

    void floatingLabelsFollowTheHandles()
    {
        QVideoPreviewModuleWidget page;
        page.resize(1400, 860);
        page.show();
        QVERIFY(QTest::qWaitForWindowExposed(&page));
        page.setLiveViewVisible(true);
        page.temperScaleWidget()->show();
        QTest::qWait(20);
        QUnitLabel* pTop = page.topHoverLabel();
        const QPoint point(0, 100);
        page.setTopTemperHoverLabelPosSlot(point);
        const int nScaleX = page.temperScaleWidget()->mapTo(&page, QPoint(0, 0)).x();
        const QPoint mapped = page.rangeAdjust()->mapTo(&page, point);
        QCOMPARE(pTop->pos(), QPoint(nScaleX - 12, mapped.y() - pTop->height() / 2 + 9));
        page.setBottomTemperHoverLabelPosSlot(QPoint(0, 300));
        QCOMPARE(page.bottomHoverLabel()->y(), page.rangeAdjust()->mapTo(&page, QPoint(0, 300)).y()
                                                   - page.bottomHoverLabel()->height() / 2 + 9);

        page.setTopTemperHoverLabelVisibleSlot(true);
        QVERIFY(pTop->isVisible());
        page.setTopTemperHoverLabelVisibleSlot(false);
        QVERIFY(!pTop->isVisible());

        ConfigStore::setValue(kGeneralGroup, "TemperUnit", 1);
        page.setCurHoverLabelTemperRangeSlot(20.0f, 36.6f);
        QCOMPARE(pTop->valueText(), QString("97.9"));
        QCOMPARE(page.bottomHoverLabel()->valueText(), QString("68.0"));
        QCOMPARE(pTop->unitText(), QString::fromUtf8("℉"));
    }

    void commandResults()
    {
        QVideoPreviewModuleWidget page;
        MessageRecorder messages;
        page.setFFCRetSlot(true);
        QCOMPARE(noticeText(), QString("Operate succeed"));
        QCOMPARE(noticeIcon(), QString(kIconSuccess));
        page.setFFCRetSlot(false);
        QCOMPARE(noticeText(), QString("Operate failed"));
        QCOMPARE(noticeIcon(), QString(kIconFailure));

        clearNotice();
        page.setDeviceSuperResModeRetSlot(true);
        QVERIFY(noticeText().isEmpty());
        page.setDeviceSuperResModeRetSlot(false);
        QCOMPARE(noticeText(), QString("Operate failed"));

        page.loadingDialog()->show();
        clearNotice();
        page.setGainModeSwitchRetSlot(true);
        QVERIFY(!page.loadingDialog()->isVisible());
        QVERIFY(noticeText().isEmpty());
        page.loadingDialog()->show();
        page.setGainModeSwitchRetSlot(false);
        QVERIFY(!page.loadingDialog()->isVisible());
        QCOMPARE(noticeText(), QString("Operate failed"));
        page.setLowTempTwoGearRetSlot(true);
        QCOMPARE(noticeText(), QString("Operate succeed"));

        QComboBox* pCombo = page.gainModeComboBox();
        page.getLowTempTwoGearRetSlot(false, 0, 0);
        QCOMPARE(messages.last(), QString("Failed to get low temp gear"));
        page.getLowTempTwoGearRetSlot(true, 1, 0);
        QCOMPARE(pCombo->currentData().toInt(), 2);
        page.getLowTempTwoGearRetSlot(true, 0, 1);
        QCOMPARE(pCombo->currentData().toInt(), 0);
        page.getLowTempTwoGearRetSlot(true, 1, 0);
        // The second gear has no item here: the selection stays.
        page.getLowTempTwoGearRetSlot(true, 1, 1);
        QCOMPARE(pCombo->currentData().toInt(), 2);
        QCOMPARE(messages.count(), 1);
    }

    void clarityReadout()
    {
        QVideoPreviewModuleWidget page;
        QLabel* pMax = page.findChild<QLabel*>("MaxGridValue");
        QLabel* pMean = page.findChild<QLabel*>("MeanGridValue");
        QVERIFY(pMax && pMean);
        QVERIFY(!pMax->isVisibleTo(&page));
        page.GetFocusValueSlot(12.345f, 7.06f);
        QCOMPARE(pMax->text(), QString("12.3"));
        QCOMPARE(pMean->text(), QString("7.1"));
        g_bStandby = true;
        page.GetFocusValueSlot(12.345f, 7.06f);
        QCOMPARE(pMax->text(), QString("0.0"));
        QCOMPARE(pMean->text(), QString("0.0"));
    }

    void paletteRestyling()
    {
        QVideoPreviewModuleWidget page;
        page.restylePalette(3);
        QCOMPARE(page.paletteButton(3)->styleSheet(), QString(kSelectedPaletteStyle));
        QCOMPARE(page.paletteButton(0)->styleSheet(), QString(kUnselectedPaletteStyle));
        // A palette without a button shows in the "more" list, with no button selected; an id
        // beyond the fourteen restyles nothing.
        page.restylePalette(5);
        QCOMPARE(page.paletteButton(3)->styleSheet(), QString(kUnselectedPaletteStyle));
        QCOMPARE(page.morePaletteCombo()->currentData().toInt(), 5);
        QCOMPARE(page.morePaletteCombo()->count(), 11);
        page.restylePalette(14);
        QCOMPARE(page.morePaletteCombo()->currentData().toInt(), 5);
        page.restylePalette(3);
        QCOMPARE(page.morePaletteCombo()->currentData().toInt(), -1);
        page.restylePalette(-2);
        for (int i = 0; i < 4; ++i)
            QCOMPARE(page.paletteButton(i)->styleSheet(), QString(kUnselectedPaletteStyle));
    }

    // Measurement items: limits per kind, kept in Config.ini across pages, readings from the
    // latest frame with the emissivity applied.
    void measurementItemsPersistAndRead()
    {
        QTemporaryDir dir;
        ConfigStore::setBaseDirForTests(dir.path());
        {
            QVideoPreviewModuleWidget page;
            QMeasureLayer* pLayer = page.measureLayer();
            for (int i = 0; i < Measure::kMaxRects; ++i)
                QVERIFY(pLayer->addItem(Measure::ItemKind::Rect, QPoint(i, i), QPoint(i + 10, i + 5)));
            QVERIFY(!pLayer->addItem(Measure::ItemKind::Rect, QPoint(0, 0), QPoint(1, 1)));
            QVERIFY(pLayer->addItem(Measure::ItemKind::Point, QPoint(3, 4), QPoint(3, 4)));
            pLayer->removeItem(2);
        }
        QVideoPreviewModuleWidget page;
        QMeasureLayer* pLayer = page.measureLayer();
        QCOMPARE(pLayer->items().size(), 4);
        QCOMPARE(pLayer->items().last().kind, Measure::ItemKind::Point);
        ConfigStore::setBaseDirForTests(QString());
    }

    void moduleSwitchHidesTheLiveParts()
    {
        auto pWindow = makeMainWindow();
        QVERIFY(QTest::qWaitForWindowExposed(pWindow.get()));
        QVideoPreviewModuleWidget* pPage = pWindow->liveView();
        QTest::mouseClick(pPage->navButton(1), Qt::LeftButton);
        QCOMPARE(pWindow->currentModule(), 1);
        QVERIFY(!pPage->videoWnd()->isVisible());
        QVERIFY(!pPage->temperScaleWidget()->isVisible());
        QVERIFY(!pPage->overlay()->isVisible());
        QVERIFY(pPage->navButton(1)->isHighlighted());
        QTest::mouseClick(pPage->navButton(0), Qt::LeftButton);
        QVERIFY(pPage->videoWnd()->isVisible());
        // Without a camera the scale and overlay stay hidden on the live view as well.
        QVERIFY(!pPage->temperScaleWidget()->isVisible());
        QVERIFY(!pPage->overlay()->isVisible());

        QPointer<QVideoPlay> pPlay = pPage->videoPlay();
        QPointer<QTempRule> pRule = pPage->tempRule();
        pWindow->close();
        pWindow.reset();
        QVERIFY(pPlay.isNull());
        QVERIFY(pRule.isNull());
    }
};

QTEST_MAIN(TestLiveViewPage)
#include "test_liveview_page.moc"
