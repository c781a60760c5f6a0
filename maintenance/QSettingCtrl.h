#pragma once
// The settings module: settings page, firmware upgrade page and bad pixel editor stacked in
// one area, and the relays between the bad pixel editor and the command executor.

#include <QWidget>

class QSettingCtrl : public QWidget
{
    Q_OBJECT
public:
    explicit QSettingCtrl(QWidget* parent = nullptr);
    ~QSettingCtrl() override;

    void switchPage(int nPage);
    void clearBadPixelPage();
    int currentPage() const { return m_nCurPage; }
    // Starts the bad pixel editor's picture when it is the page shown.
    void playBadPixelVideo();

signals:
    void sendTitleStatusChangeSignals();
    void SendDisableBtnSignal(bool);
    void sendGetALLBadColsSignal(int* pszIndex, int* pszCol);
    void sendGetALLBadPixelsSignal(int*, int*, int*);
    void sendSetAllBadPixelsSignal(int, int*, int*);
    void sendSetAllBadColsSignal(int, int*, int*);
    void sendSaveAllBadSetSignal();

private slots:
    void setSettingDlgShowSlots();
    void setUpdateDlgShowSlots();
    void setBadPixelDlgShowSlots();

public slots:
    void setTitleStatusChangeSlots();
    void SetDisableBtnSlot(bool);
    void getAllBadColsSlot(int*, int*);
    void getAllBadColsRetSlot(bool, int, int*, int*);
    void getAllBadPixelsSlot(int*, int*, int*);
    void getAllBadPixelsRetSlot(bool, int, int*, int*);
    void setAllBadPixelsSlot(int, int*, int*);
    void setAllBadPixelsRetSlot(bool);
    void setAllBadColsSlot(int nNum, int* pszIndex, int* pszCol);
    void setAllBadColsRetSlot(bool bRet);
    void saveAllSetSlot();
    void saveAllBadSetRetSlot(bool bRet);

private:
    int m_nCurPage = 2;
    bool m_bUpgradeLock = false;
};
