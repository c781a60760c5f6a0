#pragma once
// Container of the device information page, as the main window owns and wires it.

#include "device/DeviceInformation.h"

#include <QWidget>

class QDevInfo;

class QDeviceInfoModule : public QWidget
{
    Q_OBJECT
public:
    explicit QDeviceInfoModule(QWidget* parent = nullptr);

    QDevInfo* page() const { return m_pDevInfo; }
    void clearDeviceInfo();

signals:
    void ReconnectDeviceSignals();
    void sendGetDeviceInfoSignal();
    void sendSetUsbModeSignal();

public slots:
    void ReconnectDeviceSlots();
    void GetDeviceInfoRetSlot(DeviceInformation stDevInfo);
    void SetDisableBtnSlot(bool bFlag);

private:
    QDevInfo* m_pDevInfo = nullptr;
};
