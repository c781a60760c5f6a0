#pragma once
// The live view page: the live thermal picture with the camera's controls, and the frame
// below the title bar that also hosts the settings and device information modules.

#include "video/ThermHotPointParam.h"

#include <QList>
#include <QPoint>
#include <QThread>
#include <QWidget>

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
    // Re-places the range adjuster's floating hover labels after the window moved.
    void placeHoverLabels();

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
    void setConnectDevBtnSlots();
    void setStandbyModeBtnSlots();
    void SetDisableEventSlot2(bool bFlag);
    void onNavVideoPreviewClicked();
    void onNavSettingsClicked();
    void onNavDeviceInfoClicked();

public:
    // Page state (read by the main window and by tests).
    bool m_bConnected = false;
    bool m_bStandby = false;
    bool m_bRecording = false;
    bool m_bLocked = false;
    bool m_bDisableEvent = false;
    int m_nCurModule = 0;

private:
    QThread m_videoThread;
    QThread m_tempRuleThread;
    QList<QWidget*> m_moduleWidgets;
};
