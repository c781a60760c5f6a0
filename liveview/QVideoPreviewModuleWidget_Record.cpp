// Snapshot and manual recording buttons of the live view page.
#include "liveview/QVideoPreviewModuleWidget.h"

#include "app/AppFlags.h"
#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "liveview/LiveViewStyles.h"
#include "video/QVideoPlay.h"
#include "widgets/QIconTextHBtn.h"
#include "widgets/QTimerMessageboxWidget.h"

#include <QMutexLocker>

using namespace LiveViewStyles;

void QVideoPreviewModuleWidget::setRecordIdleSetA()
{
    m_pRecordBtn->setIconImages(kRecordIdle, kRecordActive, kRecordActive, kRecordIdle);
}

void QVideoPreviewModuleWidget::setRecordIdleSetB()
{
    m_pRecordBtn->setIconImages(kRecordIdle, kRecordIdle, kRecordIdle, kRecordIdle);
}

void QVideoPreviewModuleWidget::setRecordingSet()
{
    m_pRecordBtn->setIconImages(kRecordActive, kRecordActive, kRecordActive, kRecordActive);
}

void QVideoPreviewModuleWidget::setScreenshotBtnSlots()
{
    if (!passCommonGuard())
        return;
    const QString qStrFolder = ConfigStore::getManualSnapshotPath() + "/" + ConfigStore::getDateName();
    if (ConfigStore::ensureDir(qStrFolder))
        emit sendSnapshotSignals(qStrFolder);
    else
        QTimerMessageboxWidget::showNotice(langText("Snapshot Path Not Exit"), QTimerMessageboxWidget::Information, 1000);
}

void QVideoPreviewModuleWidget::setVideoRecordBtnSlots()
{
    if (!passCommonGuard())
        return;

    bool bAlarm = false;
    {
        QMutexLocker lock(&m_pVideoPlay->m_Mutex);
        bAlarm = m_pVideoPlay->m_bAlarmRecording;
    }
    if (bAlarm) {
        QTimerMessageboxWidget::showNotice(langText("Alarm recording in progress, unable to manually record"),
                                           QTimerMessageboxWidget::Information, 1000);
        return;
    }

    if (m_bRecording) {
        emit sendStopRecordSignals();
        setRecordIdleSetA();
        setImageBtnSelected(m_pRecordBtn, false);
        g_bRecording = false;
        m_bRecording = false;
        QTimerMessageboxWidget::showNotice(langText("Recording Finished"), QTimerMessageboxWidget::Success, 1000);
        return;
    }

    // Without a live stream there is nothing to record; the press passes silently.
    if (!isConnected() || !m_pVideoPlay->isStreamAlive())
        return;
    emit sendStartRecordSignals();
}

void QVideoPreviewModuleWidget::setDealRecordResultSlots(int iErrorCode)
{
    m_bRecording = false;
    g_bRecording = false;
    if (iErrorCode == 0) {
        setRecordingSet();
        setImageBtnSelected(m_pRecordBtn, true);
        m_bRecording = true;
        g_bRecording = true;
    } else {
        // Any failure ends the page's recording; the button must not keep the recording look.
        setRecordIdleSetB();
        setImageBtnSelected(m_pRecordBtn, false);
    }

    switch (iErrorCode) {
    case 0:
        QTimerMessageboxWidget::showNotice(langText("Recording Start"), QTimerMessageboxWidget::Success, 1000);
        break;
    case 1:
        QTimerMessageboxWidget::showNotice(langText("Recording Failed"), QTimerMessageboxWidget::Failure, 1000);
        break;
    case 2:
        QTimerMessageboxWidget::showNotice(langText("Record Path Not Exit"), QTimerMessageboxWidget::Failure, 1000);
        break;
    case 3:
        QTimerMessageboxWidget::showNotice(langText("DiskFreeSpace Not Enough"), QTimerMessageboxWidget::Failure, 1000);
        break;
    case 4:
        QTimerMessageboxWidget::showNotice(langText("Alarm has occurred, manual recording stop"),
                                           QTimerMessageboxWidget::Information, 1000);
        break;
    default:
        QTimerMessageboxWidget::showNotice(langText("Unknown Error"), QTimerMessageboxWidget::Failure, 1000);
        break;
    }
}

void QVideoPreviewModuleWidget::setDealSnapshotResultSlots(int bFlag)
{
    switch (bFlag) {
    case 0:
        QTimerMessageboxWidget::showNotice(langText("Snapshot Succeed"), QTimerMessageboxWidget::Success, 1000);
        break;
    case 1:
        QTimerMessageboxWidget::showNotice(langText("Snapshot Failed"), QTimerMessageboxWidget::Failure, 1000);
        break;
    case 2:
        QTimerMessageboxWidget::showNotice(langText("Snapshot Path Not Exit"), QTimerMessageboxWidget::Failure, 1000);
        break;
    case 3:
        QTimerMessageboxWidget::showNotice(langText("DiskFreeSpace Not Enough"), QTimerMessageboxWidget::Failure, 1000);
        break;
    default:
        break;
    }
}
