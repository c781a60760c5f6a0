#include "device/QDevCommExec.h"

#include "device/DeviceCommands.h"
#include "device/UsbCameraLink.h"
#include "video/VideoGlobals.h"

#include <QElapsedTimer>
#include <QMetaType>
#include <QMutexLocker>
#include <QThread>
#include <algorithm>
#include <cstring>

namespace {

// Asks for one identity field up to three times, until it is non-empty.
template <typename Query>
QString queryUntilFilled(Query query)
{
    QString text;
    for (int i = 0; i < 3 && text.isEmpty(); ++i)
        text = query();
    return text;
}

} // namespace

QDevCommExec::QDevCommExec(QObject* parent) : QObject(parent)
{
    // Queued signals carry these across threads.
    qRegisterMetaType<DeviceInformation>("DeviceInformation");
    qRegisterMetaType<int*>("int*");
    std::memset(m_deviceList, 0, sizeof(m_deviceList));
}

QDevCommExec::~QDevCommExec()
{
    UsbCameraLink::instance().close();
}

int QDevCommExec::badColumnLimit()
{
    const int nWidth = g_nFrameWidth.load();
    // The arrays handed over have room for 1024 entries, whatever the width.
    return std::min(nWidth > 0 ? nWidth : DeviceCmd::kDefaultBadColumnLimit, kBadColumnArraySize);
}

void QDevCommExec::setDevConnectSlot()
{
    QMutexLocker lock(&m_mutex);
    UsbCameraLink& link = UsbCameraLink::instance();
    const CameraLibraryApi& lib = cameraLibrary();

    std::memset(m_deviceList, 0, sizeof(m_deviceList));
    m_nDeviceCount = 0;
    emit sendDevConnectRetSignal(ConnectSearching, false);

    // Every reply wait of the open sequence ends within the budget too.
    ScopedWaitBudget budget(m_nBudgetMs);
    bool bFound = false;
    for (int nPass = 0; nPass < m_nPasses; ++nPass) {
        if (link.waitsCancelled() || ScopedWaitBudget::leftMs() <= 0)
            break;
        if (!bFound) {
            if (lib.GetUsbDeviceNum(&m_nDeviceCount, m_deviceList)) {
                bFound = true;
                emit sendDevConnectRetSignal(ConnectFound, false);
            }
        } else if (link.open(m_deviceList[0])) {
            emit sendDevConnectRetSignal(ConnectOpened, true);
            // Snapshots name the camera by its serial too; read once here, off the window's thread.
            querySerialNumberText(link);
            return;
        }
        // The pause between passes, in short steps so that a cancel is seen.
        QElapsedTimer paused;
        paused.start();
        while (paused.elapsed() < m_nPassIntervalMs && !link.waitsCancelled() &&
               ScopedWaitBudget::leftMs() > 0)
            QThread::msleep(static_cast<unsigned long>(std::min<qint64>(50, m_nPassIntervalMs - paused.elapsed())));
    }
    emit sendDevConnectRetSignal(ConnectGaveUp, false);
}

void QDevCommExec::setDevDisconnectSlot()
{
    QMutexLocker lock(&m_mutex);
    UsbCameraLink::instance().close();
    emit sendDevDisconnectRetSignal(true);
}

void QDevCommExec::setColorrizationSlot(int nValue)
{
    emit sendSetColorrizationRetSignal(setColorization(UsbCameraLink::instance(), nValue), nValue);
}

void QDevCommExec::setFFCSlot() { emit sendFFCRetSignal(runFlatFieldCorrection(UsbCameraLink::instance())); }

void QDevCommExec::setGainModeSwitchSlot(int nValue)
{
    UsbCameraLink& link = UsbCameraLink::instance();
    // A fixed gain only holds once automatic gain is off.
    const bool bRet = setAutoGain(link, 0) && setGainMode(link, nValue);
    emit sendSetGainModeRetSignal(bRet);
}

void QDevCommExec::setAutoGainModelSwitchSlot(int nAuto)
{
    emit sendSetAutoGainModeRetSignal(setAutoGain(UsbCameraLink::instance(), nAuto));
}

void QDevCommExec::setSharpnessParamSlot(int nSharpness)
{
    UsbCameraLink& link = UsbCameraLink::instance();
    if (link.bStreaming)
        setSharpness(link, nSharpness);
}

void QDevCommExec::getDeviveInfoSlot()
{
    UsbCameraLink& link = UsbCameraLink::instance();
    DeviceInformation stDevInfo;
    stDevInfo.bFlag = false;
    stDevInfo.strDevPart = queryUntilFilled([&] { return queryPartNumberText(link); });
    stDevInfo.strDevSn = queryUntilFilled([&] { return querySerialNumberText(link); });
    stDevInfo.strDevRes = queryUntilFilled([&] { return resolutionTextFromPartNumber(stDevInfo.strDevPart); });
    stDevInfo.strSwVer = queryUntilFilled([&] { return querySoftwareVersionText(link); });
    emit sendGetDeviceInfoRetSignal(stDevInfo);
}

void QDevCommExec::getAllBadColsSlot(int* pszIndex, int* pszCol)
{
    int nCount = 0;
    bool bRet = false;
    if (pszIndex && pszCol)
        bRet = readBadColumnTable(UsbCameraLink::instance(), badColumnLimit(), pszIndex, pszCol, &nCount);
    emit sendGetAllBadColsRetSignal(bRet, nCount, pszIndex, pszCol);
}

void QDevCommExec::getAllBadPixelsSlot(int* indexs, int* rows, int* cols)
{
    int nCount = 0;
    bool bRet = false;
    if (indexs && rows && cols)
        bRet = readBadPixelTable(UsbCameraLink::instance(), DeviceCmd::kMaxBadPixels, indexs, rows, cols, &nCount);
    delete[] indexs;
    emit sendGetAllBadPixelsRetSignal(bRet, nCount, rows, cols);
}

void QDevCommExec::setAllBadPixelsSlot(int nNum, int* rows, int* cols)
{
    bool bRet = false;
    // More entries than the arrays hold (or no arrays) cannot be written safely.
    if (nNum <= 0)
        bRet = writeBadPixelTable(UsbCameraLink::instance(), 0, nullptr, nullptr);
    else if (rows && cols && nNum <= kBadPixelArraySize)
        bRet = writeBadPixelTable(UsbCameraLink::instance(), nNum, rows, cols);
    emit sendSetAllBadPixelsRetSignal(bRet);
    delete[] rows;
    delete[] cols;
}

void QDevCommExec::setAllBadColsSlot(int nNum, int* pszIndex, int* pszCol)
{
    Q_UNUSED(pszIndex);   // entry numbers are the positions
    bool bRet = false;
    if (nNum <= 0)
        bRet = writeBadColumnTable(UsbCameraLink::instance(), 0, nullptr);
    else if (pszCol && nNum <= kBadColumnArraySize)
        bRet = writeBadColumnTable(UsbCameraLink::instance(), nNum, pszCol);
    emit sendSetAllBadColsRetSignal(bRet);
}

void QDevCommExec::saveAllSetSlot() { emit sendSaveAllBadSetRetSignal(saveBadTables(UsbCameraLink::instance())); }

void QDevCommExec::getLowTempTwoGearSlot()
{
    QMutexLocker lock(&m_mutex);
    int nAuto = 0;
    int nGear = 0;
    const bool bRet = getLowTempTwoGear(UsbCameraLink::instance(), &nAuto, &nGear);
    emit sendGetLowTempTwoGearRetSignal(bRet, nAuto, nGear);
}

void QDevCommExec::setLowTempTwoGearSlot(int nAuto, int nGear)
{
    QMutexLocker lock(&m_mutex);
    const bool bRet =
        setLowTempTwoGear(UsbCameraLink::instance(), static_cast<unsigned>(nAuto), static_cast<unsigned>(nGear));
    emit sendSetLowTempTwoGearRetSignal(bRet);
}

void QDevCommExec::setDeviceSuperResModeSlot(int nMode)
{
    QMutexLocker lock(&m_mutex);
    emit sendSetDeviceSuperResModeRetSignal(setDeviceSuperResMode(UsbCameraLink::instance(), nMode));
}

void QDevCommExec::setWorkModeSlot(int nMode)
{
    emit sendSetWorkModeRetSignal(nMode, sendWorkMode(UsbCameraLink::instance(), nMode));
}

void QDevCommExec::probeDeviceSlot()
{
    bool bAnswered = false;
    for (int nProbe = 0; nProbe < kRemovalProbes && !bAnswered; ++nProbe)
        bAnswered = probeDevice(UsbCameraLink::instance());
    emit sendProbeDeviceRetSignal(bAnswered);
}

void QDevCommExec::restartDeviceSlot()
{
    emit sendRestartDeviceRetSignal(restartDevice(UsbCameraLink::instance(), false));
}

void QDevCommExec::setUsbModeSlot() { emit sendSetUsbModeRetSignal(sendUsbModeSwitch(UsbCameraLink::instance())); }
