#include "maintenance/QSettingCtrl.h"

#include "app/AppFlags.h"
#include "app/LangTable.h"
#include "maintenance/QBadPixelChoose.h"
#include "maintenance/QMeasureParamPage.h"
#include "maintenance/QSettingsDlg.h"
#include "maintenance/QUpdate.h"
#include "widgets/QMessageboxDlg.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

QPushButton* makeSwitchButton(const char* pszKey, QWidget* pParent)
{
    auto* pBtn = new QPushButton(langText(pszKey), pParent);
    pBtn->setObjectName("BtnStyle3");
    pBtn->setFixedHeight(46);
    return pBtn;
}

} // namespace

QSettingCtrl::QSettingCtrl(QWidget* parent) : QWidget(parent)
{
    resize(612, 489);
    auto* pMainLayout = new QVBoxLayout(this);
    pMainLayout->setContentsMargins(0, 0, 0, 0);
    pMainLayout->setSpacing(0);

    m_pModuleSwitchBtnWidget = new QWidget(this);
    m_pModuleSwitchBtnWidget->setObjectName("SettingCtrlWidget");
    m_pModuleSwitchBtnWidget->setFixedHeight(46);
    auto* pBtnLayout = new QHBoxLayout(m_pModuleSwitchBtnWidget);
    pBtnLayout->setContentsMargins(0, 0, 0, 0);
    pBtnLayout->setSpacing(0);
    m_pSettingShowBtn = makeSwitchButton("Settings", m_pModuleSwitchBtnWidget);
    m_pBadPixelShowBtn = makeSwitchButton("BadPixelChoose", m_pModuleSwitchBtnWidget);
    m_pUpdateShowBtn = makeSwitchButton("Update", m_pModuleSwitchBtnWidget);
    // The current sub-page's button is the disabled one.
    m_pSettingShowBtn->setEnabled(false);
    // The editor is a service tool: its button shows only with THERMAVA_SERVICE=1.
    m_pBadPixelShowBtn->setVisible(QBadPixelChoose::serviceModeEnabled());
    pBtnLayout->addWidget(m_pSettingShowBtn);
    pBtnLayout->addWidget(m_pBadPixelShowBtn);
    pBtnLayout->addWidget(m_pUpdateShowBtn);
    m_pParamsShowBtn = makeSwitchButton("ParamSettings", m_pModuleSwitchBtnWidget);
    pBtnLayout->addWidget(m_pParamsShowBtn);
    pBtnLayout->addStretch(1);
    pMainLayout->addWidget(m_pModuleSwitchBtnWidget);

    m_pHLine1Label = new QLabel(this);
    m_pHLine1Label->setObjectName("Line2Label");
    m_pHLine1Label->setFixedHeight(2);
    pMainLayout->addWidget(m_pHLine1Label);

    m_pModuleWidget = new QWidget(this);
    m_pModuleWidget->setObjectName("QWidget");
    auto* pAreaLayout = new QVBoxLayout(m_pModuleWidget);
    pAreaLayout->setContentsMargins(20, 20, 16, 20);
    pMainLayout->addWidget(m_pModuleWidget, 1);

    m_pSettingsDlg = new QSettingsDlg(m_pModuleWidget);
    m_pUpdateDlg = new QUpdate(m_pModuleWidget);
    m_pUpdateDlg->hide();
    m_pBadPixelDlg = new QBadPixelChoose(m_pModuleWidget);
    m_pBadPixelDlg->hide();
    pAreaLayout->addWidget(m_pSettingsDlg);
    pAreaLayout->addWidget(m_pUpdateDlg);
    pAreaLayout->addWidget(m_pBadPixelDlg);
    m_pParamsPage = new QMeasureParamPage(m_pModuleWidget);
    m_pParamsPage->hide();
    pAreaLayout->addWidget(m_pParamsPage);
    connect(m_pParamsShowBtn, &QPushButton::clicked, this, [this] {
        if (!refuseWhileUpgrading())
            switchPage(PageParams);
    });
    m_nCurPage = PageSettings;

    connect(m_pSettingShowBtn, SIGNAL(clicked()), this, SLOT(setSettingDlgShowSlots()));
    connect(m_pBadPixelShowBtn, SIGNAL(clicked()), this, SLOT(setBadPixelDlgShowSlots()));
    connect(m_pUpdateShowBtn, SIGNAL(clicked()), this, SLOT(setUpdateDlgShowSlots()));
    connect(m_pUpdateDlg, SIGNAL(sendTitleStatusChangeSignals()), this, SLOT(setTitleStatusChangeSlots()));
    connect(m_pUpdateDlg, SIGNAL(SendDisableBtnSignal(bool)), this, SLOT(SetDisableBtnSlot(bool)));
    connect(m_pBadPixelDlg, SIGNAL(sendGetALLBadColsSignal(int*, int*)), this, SLOT(getAllBadColsSlot(int*, int*)));
    connect(m_pBadPixelDlg, SIGNAL(sendGetALLBadPixelsSignal(int*, int*, int*)), this,
            SLOT(getAllBadPixelsSlot(int*, int*, int*)));
    connect(m_pBadPixelDlg, SIGNAL(sendSetAllBadPixelsSignal(int, int*, int*)), this,
            SLOT(setAllBadPixelsSlot(int, int*, int*)));
    connect(m_pBadPixelDlg, SIGNAL(sendSetAllBadColsSignal(int, int*, int*)), this,
            SLOT(setAllBadColsSlot(int, int*, int*)));
    connect(m_pBadPixelDlg, SIGNAL(sendSaveAllBadSetSignal()), this, SLOT(saveAllSetSlot()));
}

QSettingCtrl::~QSettingCtrl() = default;

bool QSettingCtrl::refuseWhileUpgrading()
{
    if (!m_bUpgradeLock)
        return false;
    QMessageboxDlg::showMessage(this, langText("Upgrading, unable to switch interface."));
    return true;
}

void QSettingCtrl::setSettingDlgShowSlots()
{
    if (!refuseWhileUpgrading())
        switchPage(PageSettings);
}

void QSettingCtrl::setUpdateDlgShowSlots()
{
    if (!refuseWhileUpgrading())
        switchPage(PageUpdate);
}

void QSettingCtrl::setBadPixelDlgShowSlots()
{
    if (!refuseWhileUpgrading())
        switchPage(PageBadPixel);
}

void QSettingCtrl::showPage(QPushButton* pCurrentBtn, QWidget* pPage)
{
    for (QPushButton* pBtn : {m_pSettingShowBtn, m_pBadPixelShowBtn, m_pUpdateShowBtn, m_pParamsShowBtn})
        pBtn->setEnabled(pBtn != pCurrentBtn);
    QWidget* const pages[] = {m_pSettingsDlg, m_pUpdateDlg, m_pBadPixelDlg, m_pParamsPage};
    for (QWidget* pOther : pages)
        if (pOther != pPage)
            pOther->hide();
}

void QSettingCtrl::switchPage(int nPage)
{
    if (!m_pSettingsDlg || !m_pUpdateDlg || !m_pBadPixelDlg)
        return;
    switch (nPage) {
    case PageSettings:
        showPage(m_pSettingShowBtn, m_pSettingsDlg);
        m_pSettingsDlg->show();
        break;
    case PageUpdate:
        showPage(m_pUpdateShowBtn, m_pUpdateDlg);
        m_pUpdateDlg->show();
        break;
    case PageBadPixel:
        if (g_bRecording) {
            QMessageboxDlg::showMessage(this, langText("Device is recording."));
            return;
        }
        showPage(m_pBadPixelShowBtn, m_pBadPixelDlg);
        m_pBadPixelDlg->requestAllBadSet();
        m_pBadPixelDlg->startVideoPlay();
        m_pBadPixelDlg->show();
        break;
    case PageParams:
        showPage(m_pParamsShowBtn, m_pParamsPage);
        m_pParamsPage->load();
        m_pParamsPage->show();
        break;
    default:
        break;
    }
    m_nCurPage = nPage;
}

void QSettingCtrl::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    // The editor's picture and tables must not run beside a recording.
    if (g_bRecording && m_nCurPage == PageBadPixel)
        switchPage(PageSettings);
}

void QSettingCtrl::clearBadPixelPage()
{
    // Markers, tables and picture of a camera that is gone.
    if (m_nCurPage == PageBadPixel && m_pBadPixelDlg)
        m_pBadPixelDlg->clearPage();
}

void QSettingCtrl::playBadPixelVideo()
{
    if (m_nCurPage != PageBadPixel || !m_pBadPixelDlg)
        return;
    m_pBadPixelDlg->startVideoPlay();
    m_pBadPixelDlg->requestAllBadSet();
}

// ---- relays ----------------------------------------------------------------------------

void QSettingCtrl::setTitleStatusChangeSlots() { emit sendTitleStatusChangeSignals(); }

void QSettingCtrl::SetDisableBtnSlot(bool bFlag)
{
    m_bUpgradeLock = bFlag;
    emit SendDisableBtnSignal(bFlag);
}

void QSettingCtrl::getAllBadColsSlot(int* pszIndex, int* pszCol)
{
    if (pszIndex && pszCol)
        emit sendGetALLBadColsSignal(pszIndex, pszCol);
}

void QSettingCtrl::getAllBadPixelsSlot(int* pszIndex, int* pszRow, int* pszCol)
{
    if (pszIndex && pszRow && pszCol)
        emit sendGetALLBadPixelsSignal(pszIndex, pszRow, pszCol);
}

void QSettingCtrl::setAllBadPixelsSlot(int nNum, int* pszRow, int* pszCol)
{
    if (pszRow && pszCol)
        emit sendSetAllBadPixelsSignal(nNum, pszRow, pszCol);
}

void QSettingCtrl::setAllBadColsSlot(int nNum, int* pszIndex, int* pszCol)
{
    if (pszIndex && pszCol)
        emit sendSetAllBadColsSignal(nNum, pszIndex, pszCol);
}

void QSettingCtrl::saveAllSetSlot() { emit sendSaveAllBadSetSignal(); }

void QSettingCtrl::getAllBadColsRetSlot(bool bRet, int nCount, int* pszIndex, int* pszCol)
{
    if (m_pBadPixelDlg)
        m_pBadPixelDlg->getAllBadColsResult(bRet, nCount, pszIndex, pszCol);
}

void QSettingCtrl::getAllBadPixelsRetSlot(bool bRet, int nCount, int* pszRow, int* pszCol)
{
    if (m_pBadPixelDlg)
        m_pBadPixelDlg->getAllBadPixelsResult(bRet, nCount, pszRow, pszCol);
    else
        QBadPixelChoose::releasePixelReadArrays(pszRow, pszCol);
}

void QSettingCtrl::setAllBadPixelsRetSlot(bool bRet)
{
    if (m_pBadPixelDlg)
        m_pBadPixelDlg->setAllBadPixelsResult(bRet);
}

void QSettingCtrl::setAllBadColsRetSlot(bool bRet)
{
    if (m_pBadPixelDlg)
        m_pBadPixelDlg->setAllBadColsResult(bRet);
}

void QSettingCtrl::saveAllBadSetRetSlot(bool bRet)
{
    if (m_pBadPixelDlg)
        m_pBadPixelDlg->saveAllBadSetResult(bRet);
}
