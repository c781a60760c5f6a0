#pragma once
// The settings module: settings page, firmware upgrade page and bad pixel editor stacked in
// one area, and the relays between the bad pixel editor and the command executor.
//
// Sub-page numbers: 2 settings, 3 bad pixel editor, 4 firmware upgrade. While an upgrade
// runs (the lock set through SetDisableBtnSlot) the sub-pages cannot be switched.

#include <QWidget>

class QBadPixelChoose;
class QLabel;
class QPushButton;
class QSettingsDlg;
class QUpdate;

class QMeasureParamPage;
class QSettingCtrl : public QWidget
{
    Q_OBJECT
public:
    enum Page { PageSettings = 2, PageBadPixel = 3, PageUpdate = 4, PageParams = 5 };

    explicit QSettingCtrl(QWidget* parent = nullptr);
    ~QSettingCtrl() override;

    void switchPage(int nPage);
    void clearBadPixelPage();
    int currentPage() const { return m_nCurPage; }
    // Starts the bad pixel editor's picture when it is the page shown.
    void playBadPixelVideo();

    bool isUpgradeLocked() const { return m_bUpgradeLock; }
    QSettingsDlg* settingsPage() const { return m_pSettingsDlg; }
    QUpdate* updatePage() const { return m_pUpdateDlg; }
    QBadPixelChoose* badPixelPage() const { return m_pBadPixelDlg; }
    QPushButton* settingShowButton() const { return m_pSettingShowBtn; }
    QPushButton* badPixelShowButton() const { return m_pBadPixelShowBtn; }
    QPushButton* updateShowButton() const { return m_pUpdateShowBtn; }
    QMeasureParamPage* paramsPage() const { return m_pParamsPage; }
    QPushButton* paramsShowButton() const { return m_pParamsShowBtn; }

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

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The switch slots' shared refusal while upgrading; true when refused.
    bool refuseWhileUpgrading();
    void showPage(QPushButton* pCurrentBtn, QWidget* pPage);

    QWidget* m_pModuleSwitchBtnWidget = nullptr;
    QPushButton* m_pSettingShowBtn = nullptr;
    QPushButton* m_pBadPixelShowBtn = nullptr;
    QPushButton* m_pUpdateShowBtn = nullptr;
    QPushButton* m_pParamsShowBtn = nullptr;
    QMeasureParamPage* m_pParamsPage = nullptr;
    QLabel* m_pHLine1Label = nullptr;
    QWidget* m_pModuleWidget = nullptr;

    QSettingsDlg* m_pSettingsDlg = nullptr;
    QUpdate* m_pUpdateDlg = nullptr;
    QBadPixelChoose* m_pBadPixelDlg = nullptr;

    int m_nCurPage = PageSettings;
    bool m_bUpgradeLock = false;
};
