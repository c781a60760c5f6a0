#include "device/QDevInfo.h"

#include "app/AppFlags.h"
#include "app/LangTable.h"
#include "device/UsbCameraLink.h"
#include "widgets/QMessageboxDlg.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

QDevInfo::QDevInfo(QWidget* parent) : QWidget(parent)
{
    setObjectName("DevInfo");
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);
    resize(400, 538);

    auto* pTitleWidget = new QWidget(this);
    pTitleWidget->setObjectName("titleWidget");
    auto* pTitleLabel = new QLabel(langText("DeviceInfo"), pTitleWidget);
    pTitleLabel->setObjectName("Label_F5_16");
    auto* pTitleLayout = new QHBoxLayout(pTitleWidget);
    pTitleLayout->setContentsMargins(0, 0, 0, 0);
    pTitleLayout->addWidget(pTitleLabel);
    pTitleLayout->addStretch(1);

    auto* pDivide = new QLabel(this);
    pDivide->setObjectName("Line2Label");
    pDivide->setFixedHeight(2);

    auto caption = [this](const char* key) {
        auto* pLabel = new QLabel(langText(key), this);
        pLabel->setObjectName("Label_F5_16");
        return pLabel;
    };
    auto value = [this](const char* name) {
        auto* pLabel = new QLabel(this);
        pLabel->setObjectName(QString::fromLatin1(name));
        pLabel->setTextInteractionFlags(Qt::TextSelectableByMouse);
        return pLabel;
    };
    m_pDevPartParaLabel = value("DevPartParaLabel");
    m_pDevSnParaLabel = value("DevSnParaLabel");
    m_pDevResParaLabel = value("DevResParaLabel");
    m_pSwVerParaLabel = value("SwVerParaLabel");

    auto* pForm = new QFormLayout;
    pForm->setHorizontalSpacing(24);
    pForm->setVerticalSpacing(18);
    pForm->addRow(caption("DevicePart"), m_pDevPartParaLabel);
    pForm->addRow(caption("DeviceSN"), m_pDevSnParaLabel);
    pForm->addRow(caption("DeviceResolution"), m_pDevResParaLabel);
    pForm->addRow(caption("SoftwareVersion"), m_pSwVerParaLabel);

    m_pRestartButton = new QPushButton(langText("Restart"), this);
    m_pRestartButton->setObjectName("BtnStyle1");
    m_pRestartButton->setFixedSize(160, 32);
    pForm->addRow(caption("Restart Device"), m_pRestartButton);

    auto* pModeLabel = new QLabel("USBMode", this);
    pModeLabel->setObjectName("Label_FF_85");
    pModeLabel->hide();
    m_pUsbModeButton = new QPushButton("Cypress", this);
    m_pUsbModeButton->setObjectName("BtnStyle1");
    m_pUsbModeButton->setFixedSize(160, 32);
    m_pUsbModeButton->hide();

    auto* pLayout = new QVBoxLayout(this);
    pLayout->addWidget(pTitleWidget);
    pLayout->addWidget(pDivide);
    pLayout->addSpacing(16);
    pLayout->addLayout(pForm);
    pLayout->addWidget(pModeLabel);
    pLayout->addWidget(m_pUsbModeButton);
    pLayout->addStretch(1);

    connect(m_pRestartButton, SIGNAL(clicked()), this, SLOT(RestartDeviceSlot()));
    connect(m_pUsbModeButton, SIGNAL(clicked()), this, SLOT(UVCButtonSlot()));
}

void QDevInfo::clearDeviceInfo()
{
    m_pDevPartParaLabel->clear();
    m_pDevSnParaLabel->clear();
    m_pDevResParaLabel->clear();
    m_pSwVerParaLabel->clear();
}

void QDevInfo::showDeviceInfo(DeviceInformation stDevInfo)
{
    clearDeviceInfo();
    if (!stDevInfo.strDevPart.isEmpty() && !stDevInfo.strDevSn.isEmpty() && !stDevInfo.strDevRes.isEmpty() &&
        !stDevInfo.strSwVer.isEmpty()) {
        m_pDevPartParaLabel->setText(stDevInfo.strDevPart);
        m_pDevSnParaLabel->setText(stDevInfo.strDevSn);
        m_pDevResParaLabel->setText(stDevInfo.strDevRes);
        m_pSwVerParaLabel->setText(softwareVersionForDisplay(stDevInfo.strSwVer));
        return;
    }
    QMessageboxDlg::showMessage(this, langText("Failed to get."));
}

void QDevInfo::RestartDeviceSlot()
{
    if (!UsbCameraLink::instance().bStreaming) {
        QMessageboxDlg::showMessage(this, langText("Device is not connect."));
        return;
    }
    if (m_bUpgrading) {
        QMessageboxDlg::showMessage(this, langText("Device is upgrading."));
        return;
    }
    if (g_bStandby) {
        QMessageboxDlg::showMessage(this, langText("Device is sleeping, please turn off sleep mode"));
        return;
    }
    if (g_bRecording) {
        QMessageboxDlg::showMessage(this, langText("Device is recording."));
        return;
    }
    if (QMessageboxDlg::askConfirm(this, langText("Repower the device?")))
        emit ReconnectDeviceSignals();
}

void QDevInfo::UVCButtonSlot()
{
    if (m_bUpgrading) {
        QMessageboxDlg::showMessage(this, langText("Device is upgrading."));
        return;
    }
    // The command executor sends it: the window does not wait on the camera.
    emit sendSetUsbModeSignal();
}
