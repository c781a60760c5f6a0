#pragma once
// The settings page: temperature unit, snapshot and record folders, language. The widgets
// hold the working values; OK writes them to Config.ini, Default writes the factory values.
// A language change restarts the client as a new process.

#include <QWidget>
#include <functional>

class QButtonGroup;
class QComboBox;
class QLabel;
class QPushButton;
class QRadioButton;
class QSelLineEdit;

class QSettingsDlg : public QWidget
{
    Q_OBJECT

public:
    // Chosen folders longer than this are refused.
    static constexpr int kMaxPathLength = 100;

    explicit QSettingsDlg(QWidget* parent = nullptr);

    QSelLineEdit* snapshotPathSelector() const { return m_pSnapshotPathSel; }
    QSelLineEdit* recordPathSelector() const { return m_pRecordPathSel; }
    QComboBox* temperUnitComboBox() const { return m_pTemperUnitCombo; }
    QRadioButton* cnRadioButton() const { return m_pCNRadioButton; }
    QRadioButton* enRadioButton() const { return m_pENRadioButton; }
    QPushButton* okButton() const { return m_pOkBtn; }
    QPushButton* defaultButton() const { return m_pDefaultBtn; }
    QPushButton* openSnapPathButton() const { return m_pOpenSnapPathBtn; }
    QPushButton* openRecordPathButton() const { return m_pOpenRecordPathBtn; }

    // Tests: replace the folder dialog (gets the page and the starting folder, returns the
    // choice, empty = cancelled) and the start of the new client instance (gets the program
    // path, returns whether it started). Empty functions restore the real behaviour.
    using DirDialogHook = std::function<QString(QWidget* pParent, const QString& qStrStart)>;
    using RestartHook = std::function<bool(const QString& qStrProgram)>;
    static void setDirDialogHookForTests(DirDialogHook hook);
    static void setRestartHookForTests(RestartHook hook);

private slots:
    void setOkBtnSlots();
    void setManualSnapshotPathSelSlots();
    void setManualRecordPathSelSlots();
    void setDefaultBtnSlots();
    void setOpenSnapPathBtnSlots();
    void setOpenRecordPathBtnSlots();

private:
    QSelLineEdit* createPathSelector();
    void selectFolder(QSelLineEdit* pSelector, const char* pszTooLongKey);
    void openFolder(QSelLineEdit* pSelector);
    // The guards shared by OK and Default; shows the first refusal. False when refused.
    bool checkDeviceReady(bool bCheckRecording);
    bool reportUnsavedSettings();
    // Stores the language and starts the new instance before closing this one. False (with the
    // failure notice, the old language stored again) when the new instance did not start.
    bool applyLanguage(int nLanguage);
    void notifyTemperUnitChanged();
    void loadValues();

    QWidget* m_pTitleWidget = nullptr;
    QLabel* m_pUnitSetLabel = nullptr;
    QLabel* m_pTemperUnitLabel = nullptr;
    QComboBox* m_pTemperUnitCombo = nullptr;
    QLabel* m_pPathLabel = nullptr;
    QLabel* m_pManualSnapshotPathLabel = nullptr;
    QPushButton* m_pOpenSnapPathBtn = nullptr;
    QLabel* m_pManualRecordPathLabel = nullptr;
    QPushButton* m_pOpenRecordPathBtn = nullptr;
    QLabel* m_pLanguageLabel = nullptr;
    QRadioButton* m_pCNRadioButton = nullptr;
    QRadioButton* m_pENRadioButton = nullptr;
    QButtonGroup* m_pLanguageGroup = nullptr;
    QWidget* m_pCtrlWidget = nullptr;
    QLabel* m_pDivideLine = nullptr;
    QPushButton* m_pOkBtn = nullptr;
    QPushButton* m_pDefaultBtn = nullptr;

    QSelLineEdit* m_pSnapshotPathSel = nullptr;
    QSelLineEdit* m_pRecordPathSel = nullptr;
};
