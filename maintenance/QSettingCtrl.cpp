#include "maintenance/QSettingCtrl.h"

// Placeholder module: the declarations are final, the pages arrive with the maintenance work.
QSettingCtrl::QSettingCtrl(QWidget* parent) : QWidget(parent) {}
QSettingCtrl::~QSettingCtrl() = default;

void QSettingCtrl::switchPage(int nPage) { m_nCurPage = nPage; }
void QSettingCtrl::clearBadPixelPage() {}
void QSettingCtrl::playBadPixelVideo() {}
void QSettingCtrl::setSettingDlgShowSlots() {}
void QSettingCtrl::setUpdateDlgShowSlots() {}
void QSettingCtrl::setBadPixelDlgShowSlots() {}
void QSettingCtrl::setTitleStatusChangeSlots() { emit sendTitleStatusChangeSignals(); }
void QSettingCtrl::SetDisableBtnSlot(bool bFlag)
{
    m_bUpgradeLock = bFlag;
    emit SendDisableBtnSignal(bFlag);
}
void QSettingCtrl::getAllBadColsSlot(int* a, int* b) { if (a && b) emit sendGetALLBadColsSignal(a, b); }
void QSettingCtrl::getAllBadColsRetSlot(bool, int, int*, int*) {}
void QSettingCtrl::getAllBadPixelsSlot(int* a, int* b, int* c) { if (a && b && c) emit sendGetALLBadPixelsSignal(a, b, c); }
void QSettingCtrl::getAllBadPixelsRetSlot(bool, int, int*, int*) {}
void QSettingCtrl::setAllBadPixelsSlot(int n, int* a, int* b) { if (a && b) emit sendSetAllBadPixelsSignal(n, a, b); }
void QSettingCtrl::setAllBadPixelsRetSlot(bool) {}
void QSettingCtrl::setAllBadColsSlot(int nNum, int* pszIndex, int* pszCol)
{
    if (pszIndex && pszCol)
        emit sendSetAllBadColsSignal(nNum, pszIndex, pszCol);
}
void QSettingCtrl::setAllBadColsRetSlot(bool) {}
void QSettingCtrl::saveAllSetSlot() { emit sendSaveAllBadSetSignal(); }
void QSettingCtrl::saveAllBadSetRetSlot(bool) {}
