#include "app/QCtrlModuleWidget.h"

#include "app/ConfigStore.h"
#include "app/LangTable.h"
#include "app/MainWindow.h"
#include "device/QDeviceInfoModule.h"
#include "device/UsbCameraLink.h"
#include "widgets/QIconTextVBtn.h"
#include "widgets/QMessageboxDlg.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QMenu>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>
#include <QUrl>
#include <QVBoxLayout>

QCtrlModuleWidget::QCtrlModuleWidget(QWidget* parent) : QWidget(parent)
{
    setObjectName("CtrlModule");
    setFixedWidth(79);
    setWindowFlags(windowFlags() | Qt::FramelessWindowHint);

    struct ButtonDef { const char* normal; const char* highlighted; const char* tipKey; };
    const ButtonDef defs[3] = {
        {"url(:/Resource/Skin/video_preview_n.png);", "url(:/Resource/Skin/video_preview_p.png);", "VideoPreview"},
        {"url(:/Resource/Skin/material_manage_n.png);", "url(:/Resource/Skin/material_manage_p.png);", "Settings"},
        {"url(:/Resource/Skin/image_analyse_n.png);", "url(:/Resource/Skin/image_analyse_p.png);", "DeviceInfo"},
    };

    auto* pLayout = new QVBoxLayout(this);
    auto* pUpper = new QVBoxLayout;
    pUpper->setSpacing(30);
    pUpper->setContentsMargins(0, 15, 0, 0);
    for (int i = 0; i < 3; ++i) {
        m_pButtons[i] = new QIconTextVBtn(this);
        m_pButtons[i]->setImages(defs[i].normal, defs[i].highlighted);
        m_pButtons[i]->setToolTip(langText(defs[i].tipKey));
        pUpper->addWidget(m_pButtons[i], 0, Qt::AlignHCenter);
    }
    pLayout->addLayout(pUpper);
    pLayout->addStretch(1);

    m_pHelpBtn = new QPushButton(langText("Help"), this);
    m_pHelpBtn->setObjectName("HelpBtn");
    m_pHelpBtn->setFixedHeight(40);
    m_pHelpMenu = new QMenu(this);
    m_pHelpMenu->setObjectName("HelpMenu");
    m_pManualAction = m_pHelpMenu->addAction(langText("UserManual"));
    pLayout->addWidget(m_pHelpBtn);
    m_pHelpBtn->hide();

    connect(m_pButtons[0], SIGNAL(clicked()), this, SLOT(setVideoPreviewModuleShowSlots()));
    connect(m_pButtons[1], SIGNAL(clicked()), this, SLOT(setSettingsModuleShowSlots()));
    connect(m_pButtons[2], SIGNAL(clicked()), this, SLOT(setDeviceInformationModuleShowSlots()));
    connect(m_pHelpBtn, SIGNAL(clicked()), this, SLOT(setHelpBtnSlots()));
    connect(m_pManualAction, SIGNAL(triggered()), this, SLOT(setUserManualActionSlots()));

    restyle(0);
}

QIconTextVBtn* QCtrlModuleWidget::moduleButton(int nIndex) const
{
    return (nIndex >= 0 && nIndex < 3) ? m_pButtons[nIndex] : nullptr;
}

void QCtrlModuleWidget::restyle(int nIndex)
{
    for (int i = 0; i < 3; ++i) {
        const bool bSelected = (i == nIndex);
        // A disabled button ignores leave events, so the selected one stays highlighted.
        m_pButtons[i]->setHighlight(bSelected);
        m_pButtons[i]->setEnabled(!bSelected);
    }
}

void QCtrlModuleWidget::selectModule(int nIndex)
{
    if (nIndex < 0 || nIndex > 2)
        return;
    m_nCurIndex = nIndex;
    restyle(nIndex);
}

void QCtrlModuleWidget::SetDisableBtnSlot(bool bFlag) { m_bUpgrading = bFlag; }

void QCtrlModuleWidget::showModule(int nIndex)
{
    if (m_bUpgrading) {
        QMessageboxDlg::showMessage(this, langText("Upgrading, unable to switch interface."));
        return;
    }
    if (!parentWidget() || nIndex == m_nCurIndex)
        return;
    m_nCurIndex = nIndex;
    restyle(nIndex);
    if (nIndex == 2 && UsbCameraLink::instance().bStreaming && g_pMainWindow && g_pMainWindow->deviceInfoModule())
        emit g_pMainWindow->deviceInfoModule()->sendGetDeviceInfoSignal();
    if (g_pMainWindow)
        g_pMainWindow->switchModule(nIndex);
}

void QCtrlModuleWidget::setVideoPreviewModuleShowSlots() { showModule(0); }
void QCtrlModuleWidget::setSettingsModuleShowSlots() { showModule(1); }
void QCtrlModuleWidget::setDeviceInformationModuleShowSlots() { showModule(2); }

void QCtrlModuleWidget::setHelpBtnSlots()
{
    m_pHelpMenu->exec(m_pHelpBtn->mapToGlobal(m_pHelpBtn->rect().topRight()));
}

QString QCtrlModuleWidget::userManualPath()
{
    const QString fileName = ConfigStore::getLanguage() == 1 ? QStringLiteral("User's Manual.pdf")
                                                             : QString::fromUtf8("用户手册.pdf");
    return QCoreApplication::applicationDirPath() + "//" + fileName;
}

void QCtrlModuleWidget::setUserManualActionSlots()
{
    if (!QDesktopServices::openUrl(QUrl::fromLocalFile(userManualPath())))
        QMessageboxDlg::showMessage(this, langText("Opening user manual failed."));
}

void QCtrlModuleWidget::paintEvent(QPaintEvent*)
{
    QStyleOption opt;
    opt.initFrom(this);
    QPainter painter(this);
    style()->drawPrimitive(QStyle::PE_Widget, &opt, &painter, this);
}
