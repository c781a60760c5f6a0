// Connection, standby and status of the live view page.
#include "liveview/QVideoPreviewModuleWidget.h"

#include "app/AppFlags.h"
#include "app/LangTable.h"
#include "app/MainWindow.h"
#include "device/DeviceCommands.h"
#include "device/UsbCameraLink.h"
#include "liveview/QTemperRangeAdjust.h"
#include "liveview/QVideoWndWidget.h"
#include "liveview/QChamferedLabel.h"
#include "maintenance/QSceneViewCtrl.h"
#include "platform/camlib/CameraBackend.h"
#include "platform/camlib/CameraChoice.h"
#include "video/QVideoPlay.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QMessageboxDlg.h"
#include "widgets/QTimerMessageboxWidget.h"
#include "widgets/QUnitLabel.h"
#include "widgets/SwitchButton.h"

#include <QDebug>
#include <QLabel>
#include <QMutexLocker>
#include <QProgressBar>
#include <QPushButton>
#include <QSlider>
#include <QTimer>

void QVideoPreviewModuleWidget::startConnect()
{
    emit ConnectDevSignal();

    delete m_pConnectingDlg;
    m_pConnectingDlg = new QMessageboxDlg(this);
    m_pConnectingDlg->setText(langText("Connecting Device, please wait."));
    m_pConnectingDlg->iconLabel()->hide();
    m_pConnectingDlg->cancelButton()->hide();
    m_pConnectingDlg->okButton()->hide();
    m_pConnectingDlg->closeButton()->hide();
    m_pConnectingDlg->progressBar()->show();
    m_pConnectingDlg->setMode(1);
    m_pConnectingDlg->setProgressTarget(20);
    m_pConnectingDlg->setDone(false);
    m_pConnectingDlg->startDlgTimer(m_nConnectTickMs);
    m_pConnectingDlg->show();
}

void QVideoPreviewModuleWidget::ConnectDevRetSlot(int nStep, bool bSuccess)
{
    if (!m_pConnectingDlg)
        return;
    if (bSuccess) {
        m_pConnectingDlg->setProgressTarget(100);
        m_pConnectCheckTimer->start(100);
        return;
    }
    switch (nStep) {
    case 3:
        m_pConnectingDlg->setProgressTarget(20);
        break;
    case 2:
        m_pConnectingDlg->setProgressTarget(50);
        break;
    case 1: {
        m_pConnectingDlg->setDone(false);
        m_pConnectingDlg->stopDlgTimer();
        m_pConnectingDlg->progressBar()->setValue(1);
        m_pConnectingDlg->hide();
        // A camera that is there but cannot be opened (permission, another program) is named
        // with its reason; the cable prompts are for a camera that was not found.
        const QString qStrReason = QString::fromStdString(cameraBackendEvents().describe().lastError);
        const QString qStrText = !qStrReason.isEmpty()
                                     ? langText("The camera could not be opened:") + "\r\n" + qStrReason
                                     : langText("Device connect fail prompt1") + "\r\n" + langText("Device connect fail prompt2")
                                           + "\r\n" + langText("Device connect fail prompt3");
        QMessageboxDlg::showMessage(this, qStrText);
        break;
    }
    default:
        break;
    }
}

void QVideoPreviewModuleWidget::CheckProgressSlot()
{
    if (!m_pConnectingDlg || !m_pConnectingDlg->isDone())
        return;
    m_pConnectCheckTimer->stop();
    onConnected();
    m_pConnectingDlg->hide();
}

void QVideoPreviewModuleWidget::onConnected()
{
    UsbCameraLink& link = UsbCameraLink::instance();
    emit ChangeConnectStatusSignal(true);

    m_bConnected = true;
    m_pConnectBtn->setBtnText(langText("Disconnect"));
    setImageBtnSelected(m_pConnectBtn, true);

    setWorkMode(4);

    if (g_pMainWindow && g_pMainWindow->liveView() == this)
        g_pMainWindow->playCurrentModule();
    else
        startVideo();

    if (m_bSharpen)
        emit sendSetSharpnessSignal(80);

    if (link.szCapability[DeviceCmd::kCapSuperRes] != 0) {
        emit sendSetDeviceSuperResModeSignal(1);
        m_bSuperRes = true;
        setImageBtnSelected(m_pSuperResBtn, true);
    } else {
        // A stored "on" meets the same refusal as a click would.
        if (m_bSuperRes && !superResolutionUsable()) {
            m_bSuperRes = false;
            QTimerMessageboxWidget::showNotice(langText("Operate failed"), QTimerMessageboxWidget::Failure, 2000);
        }
        applySuperResolutionLocally();
        setImageBtnSelected(m_pSuperResBtn, m_bSuperRes);
    }

    restylePalette(m_pVideoPlay->paletteId());
    emit sendChangeColorization(0);

    if (currentMainModule() == 0)
        m_pOverlay->show();
    m_pOverlayTimer->start(40);

    const bool bThermal = link.bRModel == 1;
    if (!bThermal) {
        m_pHotPointSwitch->setChecked(false, false);
        setHotPointMarkerVisible(false);
    } else {
        if (m_nCurModule == 0) {
            setScalePartsVisible(true);
            placeRangeHandles();
            // Once the shown column has its final geometry, the handles go to its ends.
            QTimer::singleShot(0, this, [this] {
                if (m_pTemperScaleWidget->isVisible())
                    placeRangeHandles();
            });
        }
        emit SendTimerStatusSignals(true);
        // The marker comes back with the picture: a disconnect or a failed upgrade hid it, and
        // the switch may still be on.
        setHotPointMarkerVisible(m_pHotPointSwitch->isChecked());
    }

    m_pLine3Label->setVisible(bThermal);
    m_pHotPointSwitchLabel->setVisible(bThermal);
    m_pHotPointSwitch->setVisible(bThermal);

    m_pZoomDownBtn->setEnabled(true);
    m_pZoomSlider->setEnabled(true);
    m_pZoomUpBtn->setEnabled(true);
    update();
}

void QVideoPreviewModuleWidget::startVideo()
{
    if (!isConnected())
        return;
    if (m_bFreeze)
        g_bFreeze = true;
    void* hWnd = reinterpret_cast<void*>(m_pVideoWnd->videoWindowHandle());
    emit sendVideoPlaySignals(hWnd, true);
}

void QVideoPreviewModuleWidget::requestDisconnect()
{
    if (m_bRecording) {
        emit sendStopRecordSignals();
        setRecordIdleSetB();
        setImageBtnSelected(m_pRecordBtn, false);
        m_bRecording = false;
    }
    emit sendDisconnectDevSignal();
}

void QVideoPreviewModuleWidget::setDevDisconnectRetSlot(bool)
{
    emit ChangeConnectStatusSignal(false);

    m_bConnected = false;
    m_pConnectBtn->setBtnText(langText("Connect Device"));
    setImageBtnSelected(m_pConnectBtn, false);
    m_bStandby = false;
    g_bStandby = false;
    g_bRecording = false;
    m_pStandbyBtn->setBtnText(langText("Standby"));
    setImageBtnSelected(m_pStandbyBtn, false);

    setImageBtnSelected(m_pFreezeBtn, false);
    m_bFreeze = false;
    g_bFreeze = false;

    // Releases the renderer, forgets the frame size and resets the isotherm window.
    m_pVideoPlay->stopPreview();

    m_pOverlayTimer->stop();
    emit SendTimerStatusSignals(false);

    setScalePartsVisible(false);
    m_pTopHoverLabel->hide();
    m_pBottomHoverLabel->hide();
    m_pOverlay->hide();
    updateMarkerPicture();   // a later connection starts without the old markers

    m_pZoomDownBtn->setEnabled(false);
    m_pZoomSlider->setEnabled(false);
    m_pZoomUpBtn->setEnabled(false);
    m_nMinY = 0;
    m_nMaxY = 0;

    m_pVideoWnd->videoLabel()->setUpdatesEnabled(true);
    m_pVideoWnd->repaint();
    update();
}

void QVideoPreviewModuleWidget::setConnectDevBtnSlots()
{
    if (m_bLocked) {
        showGuardMessage("Device is upgrading.");
        return;
    }
    if (refuseWhileUpgrading())
        return;
    if (g_bRecording) {
        showGuardMessage("Device is recording.");
        return;
    }
    if (m_bConnected && !QMessageboxDlg::askConfirm(this, langText("Please confirm whether to disconnect device?")))
        return;
    if (m_bConnected) {
        if (g_pMainWindow && g_pMainWindow->liveView() == this)
            g_pMainWindow->disconnectAll();
        else
            requestDisconnect();
    } else {
        startConnect();
    }
}

void QVideoPreviewModuleWidget::setStandbyModeBtnSlots()
{
    if (!isConnected()) {
        showGuardMessage("Device is not connect.");
        return;
    }
    if (cameraStreamOnly()) {
        showGuardMessage(kStreamOnlyStatusKey);
        return;
    }
    if (m_bLocked) {
        showGuardMessage("Device is upgrading.");
        return;
    }
    if (refuseWhileUpgrading())
        return;
    if (g_bRecording) {
        showGuardMessage("Device is recording.");
        return;
    }
    if (g_bFreeze) {
        showGuardMessage("Video is freezing.");
        return;
    }
    // One request at a time; its answer arrives in setWorkModeRetSlot.
    if (m_nStandbyRequest >= 0)
        return;
    // Work mode 5 puts the camera to sleep, 4 wakes it.
    const int nMode = m_bStandby ? 4 : 5;
    m_nStandbyRequest = nMode;
    if (!setWorkMode(nMode))
        setWorkModeRetSlot(nMode, false);
}

void QVideoPreviewModuleWidget::setWorkModeRetSlot(int nMode, bool bRet)
{
    // Only the standby button's own request is answered here (the wake after a connect
    // ignores its result).
    if (nMode != m_nStandbyRequest)
        return;
    m_nStandbyRequest = -1;
    if (!bRet) {
        showGuardMessage("Fail to start sleep mode.");
        return;
    }
    // Disconnected meanwhile: the page has already gone back to its disconnected state.
    if (!isConnected())
        return;
    const bool bSleep = nMode == 5;
    m_bStandby = bSleep;
    m_pStandbyBtn->setBtnText(langText(bSleep ? "Start Device" : "Standby"));
    setImageBtnSelected(m_pStandbyBtn, bSleep);
    emit sendStandbyModeChangedSignal(bSleep);
    g_bStandby = bSleep;
    setStandbyModeSlots(bSleep);
}

bool QVideoPreviewModuleWidget::setWorkMode(int nMode)
{
    if (!UsbCameraLink::instance().bStreaming)
        return false;
    emit sendSetWorkModeSignal(nMode);
    return true;
}

void QVideoPreviewModuleWidget::setStandbyModeSlots(bool bFlag)
{
    if (bFlag) {
        emit SendTimerStatusSignals(false);
        m_nMinY = 0;
        m_nMaxY = 0;
        setHotPointMarkerVisible(false);
        setScalePartsVisible(false);
        if (m_bRecording) {
            emit sendStopRecordSignals();
            setRecordIdleSetA();
            setImageBtnSelected(m_pRecordBtn, false);
            m_bRecording = false;
        }
    } else {
        // Temperatures run again whichever module is shown: the live view does not restart
        // them when it comes back, and a stale marker and scale would mislead.
        emit SendTimerStatusSignals(true);
        if (m_nCurModule == 0) {
            setHotPointMarkerVisible(m_pHotPointSwitch->isChecked());
            setScalePartsVisible(true);
        }
    }
    update();
}

void QVideoPreviewModuleWidget::SetDisableEventSlot(bool bFlag) { m_bDisableEvent = bFlag; }

void QVideoPreviewModuleWidget::SetDisableEventSlot2(bool bFlag) { m_bLocked = bFlag; }

void QVideoPreviewModuleWidget::handleDeviceChange(bool bArrived)
{
    // A removal that arrives while the previous one is still being handled (its probes or its
    // prompt) belongs to the same loss; one prompt is enough.
    if (bArrived || !isConnected() || m_bHandlingRemoval)
        return;
    // Some USB device went away: it was the camera only if the camera stops answering. The
    // executor probes it; the answer arrives in probeDeviceRetSlot.
    m_bHandlingRemoval = true;
    emit sendProbeDeviceSignal();
}

void QVideoPreviewModuleWidget::probeDeviceRetSlot(bool bAnswered)
{
    if (!m_bHandlingRemoval)
        return;
    struct Reset { bool& b; ~Reset() { b = false; } } reset{m_bHandlingRemoval};
    // Answered, or disconnected by the person meanwhile: nothing was lost.
    if (bAnswered || !isConnected())
        return;

    if (m_bRecording) {
        emit sendStopRecordSignals();
        setRecordIdleSetB();
        setImageBtnSelected(m_pRecordBtn, false);
        m_bRecording = false;
        g_bRecording = false;
    }
    if (m_bDisableEvent)
        return;
    if (m_bConnected) {
        emit sendStatusChangeSignals();
    } else {
        // Lost while the connecting bar still runs: the title bar is not online yet and would
        // answer with a new connect; close the link instead and do not finish the connect.
        m_pConnectCheckTimer->stop();
        requestDisconnect();
    }
    if (m_pConnectingDlg)
        m_pConnectingDlg->hide();
    const QString qStrText = langText("Device connect fail prompt1") + "\r\n" + langText("Device connect fail prompt2").mid(2);
    QMessageboxDlg::showMessage(this, qStrText);
}

void QVideoPreviewModuleWidget::handleSessionLock(bool bLocked)
{
    qDebug() << (bLocked ? "=====SCREEN TRUE======" : "=====SCREEN FALSE======");
}
