#pragma once
// Command executor: a worker that lives on its own thread and runs the camera operations the
// pages ask for (connect, disconnect, palette, flat-field correction, gain, sharpness, device
// information, bad pixel and bad column tables, low-temperature gear, device super-resolution,
// standby and wake, the probe after a USB removal, restart, USB mode), answering each request
// with a result signal. The window never waits on the camera itself.

#include "device/DeviceInformation.h"
#include "platform/camlib/CameraLibrary.h"

#include <QMutex>
#include <QObject>

class QDevCommExec : public QObject
{
    Q_OBJECT

public:
    static constexpr int kConnectPasses = 20;
    static constexpr int kConnectPassIntervalMs = 1000;
    // A whole connect ends within this time whatever the camera does (a camera that
    // enumerates but never answers would otherwise hold it for minutes).
    static constexpr int kConnectBudgetMs = 20000;
    static constexpr int kRemovalProbes = 2;
    // Room the bad pixel editor allocates for the tables it hands over (new int[]).
    static constexpr int kBadColumnArraySize = 1024;
    static constexpr int kBadPixelArraySize = 256;

    // Connect step codes of sendDevConnectRetSignal.
    enum ConnectStep { ConnectOpened = 0, ConnectGaveUp = 1, ConnectFound = 2, ConnectSearching = 3 };

    explicit QDevCommExec(QObject* parent = nullptr);
    ~QDevCommExec() override;

    // The pause at the end of every connect pass and the number of passes (tests and tools
    // shorten them; the client keeps 20 passes of one second).
    void setConnectPassInterval(int nMs) { m_nPassIntervalMs = nMs; }
    int connectPassInterval() const { return m_nPassIntervalMs; }
    void setConnectPasses(int nPasses) { m_nPasses = nPasses; }
    int connectPasses() const { return m_nPasses; }
    void setConnectBudgetMs(int nMs) { m_nBudgetMs = nMs; }
    int connectBudgetMs() const { return m_nBudgetMs; }

    // Bad column tables hold at most as many entries as the current frame is wide.
    static int badColumnLimit();

signals:
    void sendDevConnectRetSignal(int nStep, bool bSuccess);
    void sendDevDisconnectRetSignal(bool bRet);
    void sendSetColorrizationRetSignal(bool bRet, int nValue);
    void sendFFCRetSignal(bool bRet);
    void sendSetGainModeRetSignal(bool bRet);
    void sendSetAutoGainModeRetSignal(bool bRet);
    void sendGetDeviceInfoRetSignal(DeviceInformation stDevInfo);
    void sendGetAllBadColsRetSignal(bool bRet, int nCount, int* pszIndex, int* pszCol);
    void sendGetAllBadPixelsRetSignal(bool bRet, int nCount, int* rows, int* cols);
    void sendSetAllBadPixelsRetSignal(bool bRet);
    void sendSetAllBadColsRetSignal(bool bRet);
    void sendSaveAllBadSetRetSignal(bool bRet);
    void sendGetLowTempTwoGearRetSignal(bool bRet, int nAuto, int nGear);
    void sendSetLowTempTwoGearRetSignal(bool bRet);
    void sendSetDeviceSuperResModeRetSignal(bool bRet);
    void sendSetWorkModeRetSignal(int nMode, bool bRet);
    void sendProbeDeviceRetSignal(bool bAnswered);
    void sendRestartDeviceRetSignal(bool bRet);
    void sendSetUsbModeRetSignal(bool bRet);

public slots:
    void setDevConnectSlot();
    void setDevDisconnectSlot();
    void setColorrizationSlot(int nValue);
    void setFFCSlot();
    void setGainModeSwitchSlot(int nValue);
    void setAutoGainModelSwitchSlot(int nAuto);
    void setSharpnessParamSlot(int nSharpness);
    void getDeviveInfoSlot();
    // The arrays come from the bad pixel editor; see each slot for who frees them.
    void getAllBadColsSlot(int* pszIndex, int* pszCol);                 // arrays stay with the caller
    void getAllBadPixelsSlot(int* indexs, int* rows, int* cols);         // frees indexs
    void setAllBadPixelsSlot(int nNum, int* rows, int* cols);            // frees rows and cols
    void setAllBadColsSlot(int nNum, int* pszIndex, int* pszCol);        // arrays stay with the caller
    void saveAllSetSlot();
    void getLowTempTwoGearSlot();
    void setLowTempTwoGearSlot(int nAuto, int nGear);
    void setDeviceSuperResModeSlot(int nMode);
    // Work mode 4 runs the camera, 5 puts it into standby; false when not connected.
    void setWorkModeSlot(int nMode);
    // After a USB removal: does the camera still answer (up to two probes)?
    void probeDeviceSlot();
    void restartDeviceSlot();
    void setUsbModeSlot();

private:
    QMutex m_mutex;
    UsbDeviceRecord m_deviceList[kUsbDeviceListSize];
    int32_t m_nDeviceCount = 0;
    int m_nPassIntervalMs = kConnectPassIntervalMs;
    int m_nPasses = kConnectPasses;
    int m_nBudgetMs = kConnectBudgetMs;
};
