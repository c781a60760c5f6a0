#include "device/QDeviceInfoModule.h"

#include "device/QDevInfo.h"

#include <QHBoxLayout>

QDeviceInfoModule::QDeviceInfoModule(QWidget* parent) : QWidget(parent)
{
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    m_pDevInfo = new QDevInfo(this);
    auto* pLayout = new QHBoxLayout(this);
    pLayout->setSpacing(0);
    pLayout->setContentsMargins(0, 0, 0, 0);
    pLayout->addWidget(m_pDevInfo);
    connect(m_pDevInfo, SIGNAL(ReconnectDeviceSignals()), this, SLOT(ReconnectDeviceSlots()));
    connect(m_pDevInfo, SIGNAL(sendSetUsbModeSignal()), this, SIGNAL(sendSetUsbModeSignal()));
}

void QDeviceInfoModule::clearDeviceInfo() { m_pDevInfo->clearDeviceInfo(); }

void QDeviceInfoModule::ReconnectDeviceSlots() { emit ReconnectDeviceSignals(); }

void QDeviceInfoModule::SetDisableBtnSlot(bool bFlag) { m_pDevInfo->SetDisableBtnSlot(bFlag); }

void QDeviceInfoModule::GetDeviceInfoRetSlot(DeviceInformation stDevInfo) { m_pDevInfo->showDeviceInfo(stDevInfo); }
