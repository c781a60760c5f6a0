#pragma once
// The live view page: the live thermal picture with the camera's controls, and the frame
// below the title bar that also hosts the settings and device information modules.

#include "video/ThermHotPointParam.h"

#include <QList>
#include <QPoint>
#include <QImage>
#include <QThread>
#include <QWidget>

class QComboBox;
class QHBoxLayout;
class QIconTextBtnBase;
class QIconTextHBtn;
class QIconTextVBtn;
class QLabel;
class QLoadingMsgDlg;
class QMeasureLayer;
class QMessageboxDlg;
class QPushButton;
class QSceneViewCtrl;
class QSlider;
class QTempRule;
class QTemperRangeAdjust;
class QTextIconHBtn;
class QTimer;
class QUnitLabel;
class QVBoxLayout;
class QVideoPlay;
class QVideoWndWidget;
class SessionLockMonitor;
class SwitchButton;
class UsbHotplugMonitor;

class QVideoPreviewModuleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QVideoPreviewModuleWidget(QWidget* parent = nullptr);
    ~QVideoPreviewModuleWidget() override;

    // Connection flows.
    void startConnect();
    void requestDisconnect();
    void startVideo();

    // Module hosting and navigation, driven by the main window.
    void setLiveViewVisible(bool bShow);
    void selectNavButton(int nIndex);
    void addModuleWidget(QWidget* pWidget);
    void placeOverlay();
    // Hands the hot and cold spot markers, as they are now, to the renderer.
    void updateMarkerPicture();
    // Re-places the range adjuster's floating hover labels after the window moved.
    void placeHoverLabels();
    // Shows the temperature texts of the page in the unit now configured ("TemperUnit").
    void refreshTemperUnit();

    // Palette buttons: -2 leaves all four unselected; 0, 1, 3 and 6 select one.
    void restylePalette(int nIndex);

    // The page's counterpart of the native device-change handler: a USB device arrived or
    // went away. A removal while connected probes the camera twice before giving it up.
    void handleDeviceChange(bool bArrived);
    // Session lock and unlock (only logged).
    void handleSessionLock(bool bLocked);

    // Tick of the connecting dialog's bar in milliseconds (50; tests shorten it).
    void setConnectProgressInterval(int nMs) { m_nConnectTickMs = nMs; }

    // Parts of the page, for the main window and for tests.
    QVideoPlay* videoPlay() const { return m_pVideoPlay; }
    QTempRule* tempRule() const { return m_pTempRule; }
    QThread* videoThread() { return &m_videoThread; }
    QThread* tempRuleThread() { return &m_tempRuleThread; }
    QVideoWndWidget* videoWnd() const { return m_pVideoWnd; }
    QSceneViewCtrl* overlay() const { return m_pOverlay; }
    QWidget* temperScaleWidget() const { return m_pTemperScaleWidget; }
    QTemperRangeAdjust* rangeAdjust() const { return m_pRangeAdjust; }
    QUnitLabel* topHoverLabel() const { return m_pTopHoverLabel; }
    QUnitLabel* bottomHoverLabel() const { return m_pBottomHoverLabel; }
    QMessageboxDlg* connectingDialog() const { return m_pConnectingDlg; }
    QLoadingMsgDlg* loadingDialog() const { return m_pLoadingDlg; }
    QTimer* overlayTimer() const { return m_pOverlayTimer; }
    QTimer* connectCheckTimer() const { return m_pConnectCheckTimer; }
    QIconTextHBtn* connectButton() const { return m_pConnectBtn; }
    QIconTextHBtn* standbyButton() const { return m_pStandbyBtn; }
    QIconTextHBtn* snapshotButton() const { return m_pSnapshotBtn; }
    QIconTextHBtn* recordButton() const { return m_pRecordBtn; }
    QIconTextHBtn* freezeButton() const { return m_pFreezeBtn; }
    QIconTextHBtn* imageAdjustButton() const { return m_pImageAdjustBtn; }
    QIconTextHBtn* superResButton() const { return m_pSuperResBtn; }
    QIconTextHBtn* sharpenButton() const { return m_pSharpenBtn; }
    QIconTextHBtn* rotationButton() const { return m_pRotationBtn; }
    // 0 White Hot, 1 Black Hot, 2 Iron Red, 3 Rainbow (the order of the column).
    QTextIconHBtn* paletteButton(int nIndex) const;
    QIconTextVBtn* navButton(int nIndex) const;
    SwitchButton* hotPointSwitch() const { return m_pHotPointSwitch; }
    QSlider* zoomSlider() const { return m_pZoomSlider; }
    QPushButton* zoomUpButton() const { return m_pZoomUpBtn; }
    QPushButton* zoomDownButton() const { return m_pZoomDownBtn; }
    QComboBox* gainModeComboBox() const { return m_pGainModeCombo; }
    QHBoxLayout* topRowLayout() const { return m_pTopRowLayout; }
    QVBoxLayout* outerLayout() const { return m_pOuterLayout; }
    const QList<QWidget*>& moduleWidgets() const { return m_moduleWidgets; }
    UsbHotplugMonitor* hotplugMonitor() const { return m_pHotplugMonitor; }
    // Cursor readout, measurement items and cold spot; its signals carry the readings.
    QMeasureLayer* measureLayer() const { return m_pMeasureLayer; }
    SwitchButton* coldPointSwitch() const { return m_pColdPointSwitch; }
    // The ten palettes without a button (item 0 is the list's title).
    QComboBox* morePaletteCombo() const { return m_pMorePaletteCombo; }
    // A standby or wake request, or a removal probe, waits for the camera's answer.
    bool isCameraRequestPending() const { return m_nStandbyRequest >= 0 || m_bHandlingRemoval; }

signals:
    void sendVideoPlaySignals(void*, bool);
    void sendSnapshotSignals(QString);
    void sendStartRecordSignals();
    void sendStopRecordSignals();
    void sendStatusChangeSignals();
    void SendTimerStatusSignals(bool);
    void ConnectDevSignal();
    void sendDisconnectDevSignal();
    void ChangeConnectStatusSignal(bool);
    void sendChangeColorization(int);
    void sendSetSharpnessSignal(int);
    void sendSetFFCModeSignal();
    void sendSetAutoGainModeSignal(int);
    void sendSetGainModeSignal(int);
    void sendGetLowTempTwoGearSignal();
    void sendSetLowTempTwoGearSignal(int nAuto, int nGear);
    void sendSetDeviceSuperResModeSignal(int);
    void sendStandbyModeChangedSignal(bool);
    // Camera commands the page needs answered, run by the command executor.
    void sendSetWorkModeSignal(int nMode);
    void sendProbeDeviceSignal();
    void sendSwitchModuleSignal(int);

public slots:
    void setJudgeDevConnStatusTimer();
    void setScreenshotBtnSlots();
    void setVideoRecordBtnSlots();
    void setDealSnapshotResultSlots(int bFlag);
    void setDealRecordResultSlots(int iErrorCode);
    void setPlayAlarmSoundSlots();
    void SetWhiteHotColorSlots();
    void SetBlackHotColorSlots();
    void SetIronRedColorSlots();
    void SetRainbowColorSlots();
    void setHotPointSwitchSlots(bool bFlags);
    void setShowImage(char* m_pBufferYUV);
    void setImageRotationBtnSlots();
    void setSharpeningBtnSlots();
    void setSuperResBtnSlots();
    void setImageAdjustBtnSlots();
    void VideoZoomUpSlots();
    void VideoZoomDownSlots();
    void SliderValueChangedSlots(int val);
    void setImageFreezeBtnSlots();
    void setStandbyModeSlots(bool bFlag);
    void setHotPointSlot(ThermHotPointParam stHotPointParam);
    void SetYDataSlot(uint, uint);
    void GetFocusValueSlot(float MaxValue, float MeanValue);
    void ConnectDevRetSlot(int, bool);
    void CheckProgressSlot();
    void setDevDisconnectRetSlot(bool);
    void SetDisableEventSlot(bool bFlag);
    void setFFCRetSlot(bool bRet);
    void setTopTemperHoverLabelVisibleSlot(bool bFlag);
    void setTopTemperHoverLabelPosSlot(QPoint point);
    void setBottomTemperHoverLabelVisibleSlot(bool bFlag);
    void setBottomTemperHoverLabelPosSlot(QPoint point);
    void setCurHoverLabelTemperRangeSlot(float fMinTemper, float fMaxTemper);
    void setVideoWidgetUpdateSlot(bool bUpdate);
    void setGainmodeComboxSelectSlots(int nMode);
    void setGainModeSwitchRetSlot(bool bRet);
    void getLowTempTwoGearRetSlot(bool bRet, int nAuto, int nGear);
    void setLowTempTwoGearRetSlot(bool bRet);
    void setDeviceSuperResModeRetSlot(bool bRet);
    void setSuperResRefusedSlot();
    void setConnectDevBtnSlots();
    void setStandbyModeBtnSlots();
    void setWorkModeRetSlot(int nMode, bool bRet);
    void probeDeviceRetSlot(bool bAnswered);
    void SetDisableEventSlot2(bool bFlag);
    // The firmware upgrade's lock: set when it starts, cleared only by its result.
    void SetDisableBtnSlot(bool bFlag);
    void onNavVideoPreviewClicked();
    void onNavSettingsClicked();
    void onNavDeviceInfoClicked();

public:
    // Page state (read by the main window and by tests).
    bool m_bConnected = false;
    bool m_bStandby = false;
    bool m_bRecording = false;
    bool m_bLocked = false;
    bool m_bUpgrading = false;
    bool m_bDisableEvent = false;
    int m_nCurModule = 0;
    bool m_bFreeze = false;
    bool m_bSharpen = false;
    bool m_bSuperRes = false;
    int m_nSuperResScale = 1;
    int m_nDirection = 0;
    int m_nColorization = 0;
    uint m_nMinY = 0;
    uint m_nMaxY = 0;
    QPoint m_ptZoomOrigin;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void buildLayout();
    void buildPictureColumn();
    void buildControlBar();
    void buildRightPanel();
    void readImageSettings();
    void makeConnections();

    bool isConnected() const;
    // Shows the modal message box with the translation of the key (icon and Cancel hidden).
    void showGuardMessage(const char* pszKey);
    // Not connected, then upgrading, then standby; false after showing the message of the
    // first that fails.
    bool passCommonGuard();
    // passCommonGuard for the controls that send the camera a command: a camera streaming
    // without its command channel refuses them at once, in words.
    bool passCommandGuard();
    // Navigation and the connect and standby buttons: refused while firmware is written.
    bool refuseWhileUpgrading();
    // The main window's current module, or the page's own when there is no main window.
    int currentMainModule() const;
    void onConnected();
    // Whether local super-resolution can run: a usable network and the picture it was made for.
    bool superResolutionUsable() const;
    // Asks the executor for a work mode (4 runs, 5 standby); false when not connected.
    bool setWorkMode(int nMode);
    void setImageBtnSelected(QIconTextBtnBase* pBtn, bool bSelected);
    void setPaletteBtnSelected(QTextIconHBtn* pBtn, bool bSelected);
    void setRecordIdleSetA();
    void setRecordIdleSetB();
    void setRecordingSet();
    void setHotPointMarkerVisible(bool bVisible);
    void setScalePartsVisible(bool bVisible);
    void placeRangeHandles();
    void choosePalette(int nIndex);
    void applySuperResolutionLocally();
    void reapplyZoom();
    void updateOverlayMask();
    void setHoverLabelPos(QUnitLabel* pLabel, const QPoint& point);

    QThread m_videoThread;
    QThread m_tempRuleThread;
    QList<QWidget*> m_moduleWidgets;

    QVideoPlay* m_pVideoPlay = nullptr;
    QTempRule* m_pTempRule = nullptr;
    QVideoWndWidget* m_pVideoWnd = nullptr;
    QSceneViewCtrl* m_pOverlay = nullptr;
    QWidget* m_pTemperScaleWidget = nullptr;
    QTemperRangeAdjust* m_pRangeAdjust = nullptr;
    QUnitLabel* m_pTopHoverLabel = nullptr;
    QUnitLabel* m_pBottomHoverLabel = nullptr;
    QPoint m_ptTopHoverPos;
    QPoint m_ptBottomHoverPos;
    bool m_bHaveTopHoverPos = false;
    bool m_bHaveBottomHoverPos = false;

    QVBoxLayout* m_pOuterLayout = nullptr;
    QHBoxLayout* m_pTopRowLayout = nullptr;
    QVBoxLayout* m_pPictureColumnLayout = nullptr;
    QHBoxLayout* m_pVideoRowLayout = nullptr;
    QLabel* m_pLine1Label = nullptr;

    QWidget* m_pVideoCtrlWidget = nullptr;
    QLabel* m_pMaxGridLabel = nullptr;
    QLabel* m_pMaxGridValue = nullptr;
    QLabel* m_pMeanGridLabel = nullptr;
    QLabel* m_pMeanGridValue = nullptr;
    QLabel* m_pGainModeLabel = nullptr;
    QComboBox* m_pGainModeCombo = nullptr;
    QLabel* m_pZoomLabel = nullptr;
    QPushButton* m_pZoomDownBtn = nullptr;
    QSlider* m_pZoomSlider = nullptr;
    QPushButton* m_pZoomUpBtn = nullptr;
    QLabel* m_pZoomScaleLabel = nullptr;
    QIconTextHBtn* m_pFreezeBtn = nullptr;

    QWidget* m_pModuleWidget = nullptr;
    QIconTextVBtn* m_pNavBtns[3] = {nullptr, nullptr, nullptr};
    QTextIconHBtn* m_pWhiteHotBtn = nullptr;
    QTextIconHBtn* m_pBlackHotBtn = nullptr;
    QTextIconHBtn* m_pIronRedBtn = nullptr;
    QTextIconHBtn* m_pRainbowBtn = nullptr;
    QIconTextHBtn* m_pImageAdjustBtn = nullptr;
    QIconTextHBtn* m_pSuperResBtn = nullptr;
    QIconTextHBtn* m_pSharpenBtn = nullptr;
    QIconTextHBtn* m_pRotationBtn = nullptr;
    QLabel* m_pLine3Label = nullptr;
    QLabel* m_pHotPointSwitchLabel = nullptr;
    SwitchButton* m_pHotPointSwitch = nullptr;
    SwitchButton* m_pColdPointSwitch = nullptr;
    QComboBox* m_pMorePaletteCombo = nullptr;
    QMeasureLayer* m_pMeasureLayer = nullptr;
    QIconTextHBtn* m_pSnapshotBtn = nullptr;
    QIconTextHBtn* m_pRecordBtn = nullptr;
    QIconTextHBtn* m_pConnectBtn = nullptr;
    QIconTextHBtn* m_pStandbyBtn = nullptr;

    QTimer* m_pOverlayTimer = nullptr;
    QImage m_lastMarkerPicture;   // what the renderer lays over the picture now
    QTimer* m_pConnectCheckTimer = nullptr;
    QLoadingMsgDlg* m_pLoadingDlg = nullptr;
    QMessageboxDlg* m_pConnectingDlg = nullptr;
    int m_nConnectTickMs = 50;
    bool m_bHandlingRemoval = false;   // a removal probe is out
    int m_nStandbyRequest = -1;        // work mode the standby button waits for, -1 none

    UsbHotplugMonitor* m_pHotplugMonitor = nullptr;
    SessionLockMonitor* m_pSessionMonitor = nullptr;

    // Last scene temperatures, so a unit change can redraw the scale's texts at once.
    float m_fLastSceneMin = 0.0f;
    float m_fLastSceneMax = 0.0f;
    bool m_bHaveSceneTemps = false;
};
