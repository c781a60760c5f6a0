#pragma once
// The main window's navigation column: three module buttons and the help menu with the user
// manual. The main window keeps it hidden and drives its highlight; the column the user sees
// is the live view's own.

#include <QWidget>

class QIconTextVBtn;
class QMenu;
class QAction;
class QPushButton;

class QCtrlModuleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QCtrlModuleWidget(QWidget* parent = nullptr);

    int currentIndex() const { return m_nCurIndex; }
    bool isUpgrading() const { return m_bUpgrading; }
    // Highlights the module's button without switching (the main window already switched).
    void selectModule(int nIndex);
    QIconTextVBtn* moduleButton(int nIndex) const;
    // The manual's file path for the configured language.
    static QString userManualPath();

signals:
    void sendUnitChangeSignals();

public slots:
    void SetDisableBtnSlot(bool);
    void setVideoPreviewModuleShowSlots();
    void setSettingsModuleShowSlots();
    void setDeviceInformationModuleShowSlots();
    void setHelpBtnSlots();
    void setUserManualActionSlots();

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    void showModule(int nIndex);
    void restyle(int nIndex);

    QIconTextVBtn* m_pButtons[3] = {nullptr, nullptr, nullptr};
    QPushButton* m_pHelpBtn = nullptr;
    QMenu* m_pHelpMenu = nullptr;
    QAction* m_pManualAction = nullptr;
    int m_nCurIndex = 0;
    bool m_bUpgrading = false;
};
