#pragma once
// Device information page: the camera's identity, and its restart.

#include "device/DeviceInformation.h"

#include <QWidget>

class QLabel;
class QPushButton;

class QDevInfo : public QWidget
{
    Q_OBJECT
public:
    explicit QDevInfo(QWidget* parent = nullptr);

    void showDeviceInfo(DeviceInformation stDevInfo);
    void clearDeviceInfo();

    QLabel* partValueLabel() const { return m_pDevPartParaLabel; }
    QLabel* snValueLabel() const { return m_pDevSnParaLabel; }
    QLabel* resValueLabel() const { return m_pDevResParaLabel; }
    QLabel* swVerValueLabel() const { return m_pSwVerParaLabel; }
    QPushButton* restartButton() const { return m_pRestartButton; }

signals:
    void ReconnectDeviceSignals();
    void sendSetUsbModeSignal();

public slots:
    void RestartDeviceSlot();
    void UVCButtonSlot();
    // The firmware upgrade's lock: no restart or USB mode change while firmware is written.
    void SetDisableBtnSlot(bool bFlag) { m_bUpgrading = bFlag; }

private:
    QLabel* m_pDevPartParaLabel = nullptr;
    QLabel* m_pDevSnParaLabel = nullptr;
    QLabel* m_pDevResParaLabel = nullptr;
    QLabel* m_pSwVerParaLabel = nullptr;
    QPushButton* m_pRestartButton = nullptr;
    QPushButton* m_pUsbModeButton = nullptr;
    bool m_bUpgrading = false;
};
