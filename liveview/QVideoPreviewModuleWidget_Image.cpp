// Image controls of the live view page: palettes, hot point, flip, sharpening,
// super-resolution, image correction, zoom, freeze, clarity and gain mode.
#include "liveview/QVideoPreviewModuleWidget.h"

#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "device/DeviceCommands.h"
#include "device/UsbCameraLink.h"
#include "liveview/LiveViewGeometry.h"
#include "liveview/QMeasureLayer.h"
#include "measure/MeasureSettings.h"
#include "liveview/QTemperRangeAdjust.h"
#include "maintenance/QSceneViewCtrl.h"
#include "video/Palette.h"
#include "video/SuperResolution.h"
#include "video/QTempRule.h"
#include "video/QVideoPlay.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QLoadingMsgDlg.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QTextIconHBtn.h"
#include "widgets/QTimerMessageboxWidget.h"
#include "widgets/SwitchButton.h"

#include <QComboBox>
#include <algorithm>
#include <QLabel>
#include <QMovie>
#include <QSlider>

using ConfigStore::kGeneralGroup;

// ---------------------------------------------------------------------------------------
// Palettes

void QVideoPreviewModuleWidget::restylePalette(int nIndex)
{
    m_nColorization = nIndex;
    QTextIconHBtn* pSelected = nullptr;
    switch (nIndex) {
    case -2: break;
    case Palette::kWhiteHot: pSelected = m_pWhiteHotBtn; break;
    case Palette::kBlackHot: pSelected = m_pBlackHotBtn; break;
    case Palette::kRainbow: pSelected = m_pRainbowBtn; break;
    case Palette::kIronRed: pSelected = m_pIronRedBtn; break;
    default:
        // One of the ten in the "more" list: no button is selected, the list shows it.
        if (!Palette::isValid(nIndex))
            return;
        break;
    }
    for (QTextIconHBtn* pBtn : {m_pWhiteHotBtn, m_pBlackHotBtn, m_pIronRedBtn, m_pRainbowBtn})
        setPaletteBtnSelected(pBtn, pBtn == pSelected);
    if (m_pMorePaletteCombo) {
        const int nItem = m_pMorePaletteCombo->findData(pSelected || nIndex == -2 ? -1 : nIndex);
        m_pMorePaletteCombo->setCurrentIndex(std::max(0, nItem));
    }
}

void QVideoPreviewModuleWidget::SetWhiteHotColorSlots() { choosePalette(Palette::kWhiteHot); }

void QVideoPreviewModuleWidget::SetBlackHotColorSlots() { choosePalette(Palette::kBlackHot); }

void QVideoPreviewModuleWidget::SetIronRedColorSlots() { choosePalette(Palette::kIronRed); }

void QVideoPreviewModuleWidget::SetRainbowColorSlots() { choosePalette(Palette::kRainbow); }

void QVideoPreviewModuleWidget::choosePalette(int nIndex)
{
    if (!passCommonGuard())
        return;
    if (m_bFreeze) {
        showGuardMessage("Video is freezing.");
        return;
    }
    restylePalette(nIndex);
    // The engine colours the picture; the camera itself always stays on its plain palette.
    if (nIndex == Palette::kWhiteHot)
        emit sendChangeColorization(0);
    m_pVideoPlay->setPaletteId(nIndex);
    ConfigStore::setValue(kGeneralGroup, "Colorization", nIndex);
}

// ---------------------------------------------------------------------------------------
// Hot point

void QVideoPreviewModuleWidget::setHotPointSwitchSlots(bool bFlags)
{
    if (!passCommonGuard()) {
        m_pHotPointSwitch->setChecked(!bFlags, false);
        return;
    }
    setHotPointMarkerVisible(bFlags);
    ConfigStore::setValue(kGeneralGroup, "HotPoint", bFlags ? 1 : 0);
}

void QVideoPreviewModuleWidget::setHotPointSlot(ThermHotPointParam stHotPointParam)
{
    // Everything shown is corrected for the surface's emissivity (unchanged at 1.00).
    const Measure::Emissivity emissivity = Measure::loadEmissivity();
    stHotPointParam.fMinTemper = emissivity.correct(stHotPointParam.fMinTemper);
    stHotPointParam.fMaxTemper = emissivity.correct(stHotPointParam.fMaxTemper);

    const QPoint at = LiveViewGeometry::hotPointToOverlay(
        stHotPointParam.nPosX, stHotPointParam.nPosY, m_nSuperResScale, m_pVideoPlay->frameWidth(),
        m_pVideoPlay->frameHeight(), m_ptZoomOrigin, m_nDirection, m_pOverlay->size());

    // Every unit the settings offer; a unit without text would leave a stale temperature up.
    m_pOverlay->setLabelText(QString::number(double(ConfigStore::convertTemper(stHotPointParam.fMaxTemper)), 'f', 1)
                             + ConfigStore::getTemperUnitText());

    m_pOverlay->setMarkerPoint(at.x(), at.y());
    updateOverlayMask();

    m_fLastSceneMin = stHotPointParam.fMinTemper;
    m_fLastSceneMax = stHotPointParam.fMaxTemper;
    m_bHaveSceneTemps = true;
    m_pRangeAdjust->setSceneTemperatures(stHotPointParam.fMinTemper, stHotPointParam.fMaxTemper);

    if (m_pMeasureLayer) {
        MeasureGeometry::View view;
        view.nScale = m_nSuperResScale;
        view.nWidth = m_pVideoPlay->frameWidth();
        view.nHeight = m_pVideoPlay->frameHeight();
        view.zoomOrigin = m_ptZoomOrigin;
        view.nDirection = m_nDirection;
        view.overlaySize = m_pOverlay->size();
        m_pMeasureLayer->setView(view);
        const UsbCameraLink& link = UsbCameraLink::instance();
        m_pMeasureLayer->setSnapshotContext(m_nColorization, m_nDirection, QString::fromLatin1(link.lastPartNumber()),
                                            link.lastSerialNumber());
        // Readings go on behind the settings pages: the alarm rules watch them.
        m_pMeasureLayer->setLive(isConnected() && !m_bStandby);
        m_pMeasureLayer->refresh();
    }
}

// ---------------------------------------------------------------------------------------
// Flip, sharpening, super-resolution, image correction

void QVideoPreviewModuleWidget::setImageRotationBtnSlots()
{
    if (!passCommonGuard())
        return;
    if (m_bRecording) {
        showGuardMessage("Device is recording.");
        return;
    }
    ++m_nDirection;
    if (m_nDirection > 3)
        m_nDirection = 0;
    g_nDirection = m_nDirection;
    ConfigStore::setValue(kGeneralGroup, "Direction", m_nDirection);
    reapplyZoom();
}

void QVideoPreviewModuleWidget::setSharpeningBtnSlots()
{
    if (!passCommandGuard())
        return;
    if (m_bSharpen) {
        emit sendSetSharpnessSignal(60);
        setImageBtnSelected(m_pSharpenBtn, false);
        m_bSharpen = false;
    } else {
        emit sendSetSharpnessSignal(80);
        setImageBtnSelected(m_pSharpenBtn, true);
        m_bSharpen = true;
    }
    ConfigStore::setValue(kGeneralGroup, "Sharpness", m_bSharpen ? 1 : 0);
}

void QVideoPreviewModuleWidget::setSuperResBtnSlots()
{
    if (!passCommonGuard())
        return;
    if (m_bRecording) {
        showGuardMessage("Device is recording.");
        return;
    }
    const bool bDeviceMode = UsbCameraLink::instance().szCapability[DeviceCmd::kCapSuperRes] != 0;
    if (!bDeviceMode && !m_bSuperRes && !superResolutionUsable()) {
        QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
        return;
    }
    m_bSuperRes = !m_bSuperRes;
    setImageBtnSelected(m_pSuperResBtn, m_bSuperRes);
    if (bDeviceMode) {
        emit sendSetDeviceSuperResModeSignal(m_bSuperRes ? 1 : 0);
    } else {
        applySuperResolutionLocally();
        reapplyZoom();
    }
    ConfigStore::setValue(kGeneralGroup, "SuperRes", m_bSuperRes ? 1 : 0);
}

bool QVideoPreviewModuleWidget::superResolutionUsable() const
{
    // Without a usable network, or for a picture it was not made for, the switch would only
    // show a plain enlargement.
    const UsbCameraLink& link = UsbCameraLink::instance();
    return m_pVideoPlay->isSuperResolutionReady() && link.nWidth == kSuperResInWidth
        && link.nHeight == kSuperResInHeight;
}

void QVideoPreviewModuleWidget::setSuperResRefusedSlot()
{
    // The engine switched itself off (a failed run, a picture of another size); the stored
    // choice stays, so the next connect tries again.
    if (!m_bSuperRes || UsbCameraLink::instance().szCapability[DeviceCmd::kCapSuperRes] != 0)
        return;
    m_bSuperRes = false;
    m_nSuperResScale = 1;
    setImageBtnSelected(m_pSuperResBtn, false);
    reapplyZoom();
    QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
}

void QVideoPreviewModuleWidget::applySuperResolutionLocally()
{
    // Under the engine's lock, so the switch and the scale change between two frames.
    m_pVideoPlay->setSuperResolution(m_bSuperRes);
    m_nSuperResScale = m_bSuperRes ? 2 : 1;
}

void QVideoPreviewModuleWidget::reapplyZoom()
{
    m_ptZoomOrigin = m_pVideoPlay->computeZoomOffsets(m_pZoomSlider->value());
}

void QVideoPreviewModuleWidget::setDeviceSuperResModeRetSlot(bool bRet)
{
    if (!bRet)
        QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
}

void QVideoPreviewModuleWidget::setImageAdjustBtnSlots()
{
    if (!passCommandGuard())
        return;
    emit sendSetFFCModeSignal();
    m_pTempRule->m_bFocusReset = true;
}

void QVideoPreviewModuleWidget::setFFCRetSlot(bool bRet)
{
    if (bRet)
        QTimerMessageboxWidget::showNotice(langText("Operate succeed"), QTimerMessageboxWidget::Success, 2000);
    else
        QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
}

// ---------------------------------------------------------------------------------------
// Zoom and freeze

void QVideoPreviewModuleWidget::VideoZoomUpSlots()
{
    if (!passCommonGuard())
        return;
    m_pZoomSlider->setValue(m_pZoomSlider->value() + 1);
}

void QVideoPreviewModuleWidget::VideoZoomDownSlots()
{
    if (!passCommonGuard())
        return;
    m_pZoomSlider->setValue(m_pZoomSlider->value() - 1);
}

void QVideoPreviewModuleWidget::SliderValueChangedSlots(int)
{
    if (!passCommonGuard())
        return;
    reapplyZoom();
}

void QVideoPreviewModuleWidget::setImageFreezeBtnSlots()
{
    if (!passCommonGuard())
        return;
    m_bFreeze = !m_bFreeze;
    g_bFreeze = m_bFreeze;
    setImageBtnSelected(m_pFreezeBtn, m_bFreeze);
}

// ---------------------------------------------------------------------------------------
// Clarity and gain mode

void QVideoPreviewModuleWidget::GetFocusValueSlot(float MaxValue, float MeanValue)
{
    if (g_bStandby) {
        m_pMaxGridValue->setText("0.0");
        m_pMeanGridValue->setText("0.0");
        return;
    }
    m_pMaxGridValue->setText(QString::number(double(MaxValue), 'f', 1));
    m_pMeanGridValue->setText(QString::number(double(MeanValue), 'f', 1));
}

void QVideoPreviewModuleWidget::setGainmodeComboxSelectSlots(int nMode)
{
    if (!passCommandGuard())
        return;
    if (QMovie* pMovie = m_pLoadingDlg->movie())
        pMovie->start();
    m_pLoadingDlg->show();

    const int m = m_pGainModeCombo->currentData().toInt();
    const bool bTwoGear = UsbCameraLink::instance().szCapability[DeviceCmd::kCapLowTempGear] != 0;
    switch (m) {
    case 0:
        if (!bTwoGear)
            emit sendSetAutoGainModeSignal(1);
        else
            emit sendSetLowTempTwoGearSignal(0, 0);
        break;
    case 1:
        emit sendSetGainModeSignal(nMode);
        break;
    case 2:
        if (!bTwoGear)
            emit sendSetGainModeSignal(nMode);
        else
            emit sendSetLowTempTwoGearSignal(1, 0);
        break;
    case 3:
        emit sendSetLowTempTwoGearSignal(1, 1);
        break;
    default:
        break;
    }
}

void QVideoPreviewModuleWidget::setGainModeSwitchRetSlot(bool bRet)
{
    m_pLoadingDlg->close();
    if (!bRet)
        QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
}

void QVideoPreviewModuleWidget::setLowTempTwoGearRetSlot(bool bRet)
{
    m_pLoadingDlg->close();
    if (bRet)
        QTimerMessageboxWidget::showNotice(langText("Operate succeed"), QTimerMessageboxWidget::Success, 2000);
    else
        QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
}

void QVideoPreviewModuleWidget::getLowTempTwoGearRetSlot(bool bRet, int nAuto, int nGear)
{
    if (!bRet) {
        showGuardMessage("Failed to get low temp gear");
        return;
    }
    const int nData = nAuto == 0 ? 0 : (nGear == 0 ? 2 : 3);
    const int nIndex = m_pGainModeCombo->findData(nData);
    if (nIndex >= 0)
        m_pGainModeCombo->setCurrentIndex(nIndex);
}
