#include "liveview/QVideoPreviewModuleWidget.h"

// Placeholder page: the declarations are final, the behaviour arrives with the live view.
QVideoPreviewModuleWidget::QVideoPreviewModuleWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName("QVideoPreviewModuleWidget");
    m_videoThread.start();
    m_tempRuleThread.start();
}

QVideoPreviewModuleWidget::~QVideoPreviewModuleWidget()
{
    m_tempRuleThread.quit();
    m_tempRuleThread.wait();
    m_videoThread.quit();
    m_videoThread.wait();
}

void QVideoPreviewModuleWidget::startConnect() { emit ConnectDevSignal(); }
void QVideoPreviewModuleWidget::requestDisconnect() { emit sendDisconnectDevSignal(); }
void QVideoPreviewModuleWidget::startVideo() {}
void QVideoPreviewModuleWidget::setLiveViewVisible(bool) {}
void QVideoPreviewModuleWidget::selectNavButton(int) {}
void QVideoPreviewModuleWidget::addModuleWidget(QWidget* pWidget) { if (pWidget) m_moduleWidgets.append(pWidget); }
void QVideoPreviewModuleWidget::placeOverlay() {}
void QVideoPreviewModuleWidget::placeHoverLabels() {}

void QVideoPreviewModuleWidget::setJudgeDevConnStatusTimer() {}
void QVideoPreviewModuleWidget::setScreenshotBtnSlots() {}
void QVideoPreviewModuleWidget::setVideoRecordBtnSlots() {}
void QVideoPreviewModuleWidget::setDealSnapshotResultSlots(int) {}
void QVideoPreviewModuleWidget::setDealRecordResultSlots(int) {}
void QVideoPreviewModuleWidget::setPlayAlarmSoundSlots() {}
void QVideoPreviewModuleWidget::SetWhiteHotColorSlots() {}
void QVideoPreviewModuleWidget::SetBlackHotColorSlots() {}
void QVideoPreviewModuleWidget::SetIronRedColorSlots() {}
void QVideoPreviewModuleWidget::SetRainbowColorSlots() {}
void QVideoPreviewModuleWidget::setHotPointSwitchSlots(bool) {}
void QVideoPreviewModuleWidget::setShowImage(char*) {}
void QVideoPreviewModuleWidget::setImageRotationBtnSlots() {}
void QVideoPreviewModuleWidget::setSharpeningBtnSlots() {}
void QVideoPreviewModuleWidget::setSuperResBtnSlots() {}
void QVideoPreviewModuleWidget::setImageAdjustBtnSlots() {}
void QVideoPreviewModuleWidget::VideoZoomUpSlots() {}
void QVideoPreviewModuleWidget::VideoZoomDownSlots() {}
void QVideoPreviewModuleWidget::SliderValueChangedSlots(int) {}
void QVideoPreviewModuleWidget::setImageFreezeBtnSlots() {}
void QVideoPreviewModuleWidget::setStandbyModeSlots(bool) {}
void QVideoPreviewModuleWidget::setHotPointSlot(ThermHotPointParam) {}
void QVideoPreviewModuleWidget::SetYDataSlot(uint, uint) {}
void QVideoPreviewModuleWidget::GetFocusValueSlot(float, float) {}
void QVideoPreviewModuleWidget::ConnectDevRetSlot(int, bool) {}
void QVideoPreviewModuleWidget::CheckProgressSlot() {}
void QVideoPreviewModuleWidget::setDevDisconnectRetSlot(bool) {}
void QVideoPreviewModuleWidget::SetDisableEventSlot(bool) {}
void QVideoPreviewModuleWidget::setFFCRetSlot(bool) {}
void QVideoPreviewModuleWidget::setTopTemperHoverLabelVisibleSlot(bool) {}
void QVideoPreviewModuleWidget::setTopTemperHoverLabelPosSlot(QPoint) {}
void QVideoPreviewModuleWidget::setBottomTemperHoverLabelVisibleSlot(bool) {}
void QVideoPreviewModuleWidget::setBottomTemperHoverLabelPosSlot(QPoint) {}
void QVideoPreviewModuleWidget::setCurHoverLabelTemperRangeSlot(float, float) {}
void QVideoPreviewModuleWidget::setVideoWidgetUpdateSlot(bool) {}
void QVideoPreviewModuleWidget::setGainmodeComboxSelectSlots(int) {}
void QVideoPreviewModuleWidget::setGainModeSwitchRetSlot(bool) {}
void QVideoPreviewModuleWidget::getLowTempTwoGearRetSlot(bool, int, int) {}
void QVideoPreviewModuleWidget::setLowTempTwoGearRetSlot(bool) {}
void QVideoPreviewModuleWidget::setDeviceSuperResModeRetSlot(bool) {}
void QVideoPreviewModuleWidget::setConnectDevBtnSlots() {}
void QVideoPreviewModuleWidget::setStandbyModeBtnSlots() {}
void QVideoPreviewModuleWidget::SetDisableEventSlot2(bool) {}
void QVideoPreviewModuleWidget::onNavVideoPreviewClicked() {}
void QVideoPreviewModuleWidget::onNavSettingsClicked() {}
void QVideoPreviewModuleWidget::onNavDeviceInfoClicked() {}
