#pragma once
// The firmware upgrade page: pick a .bin file, start the upgrade, follow its progress. The
// work runs in an UpdateExec on the page's own thread. While it runs the page asks the rest
// of the client to lock itself (SendDisableBtnSignal(true)) and unlocks it with the result.

#include <QThread>
#include <QWidget>
#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;
class QSelLineEdit;
class UpdateExec;

class QUpdate : public QWidget
{
    Q_OBJECT

public:
    explicit QUpdate(QWidget* parent = nullptr);
    ~QUpdate() override;

    bool isUpgrading() const { return m_bUpgrading; }
    // Whether the last run sent any of its image to the camera. A file that fails its checks
    // is never sent, and then the camera's connection must stay as it was.
    bool imageReachedCamera() const { return m_bImageSent; }
    // The worker, for tests and tools that shorten its pauses before a run.
    UpdateExec* worker() const { return m_pWorker; }
    QSelLineEdit* fileSelector() const { return m_pFileSel; }
    QProgressBar* progressBar() const { return m_pProgressBar; }
    QLabel* statusLabel() const { return m_pStatusLabel; }
    QPushButton* updateButton() const { return m_pUpdateBtn; }

    // Tests: replaces the open-file dialog; gets the page and the starting path, returns the
    // chosen file (empty = cancelled). An empty function restores the real dialog.
    using FileDialogHook = std::function<QString(QWidget* pParent, const QString& qStrStart)>;
    static void setFileDialogHookForTests(FileDialogHook hook);

signals:
    void sendUpgradeExec(QString Filepath);
    void sendTitleStatusChangeSignals();
    void SendDisableBtnSignal(bool);

public slots:
    void Task_GetProgress(int offset, int Maxlen);
    void Task_Upgrade_Ret(bool bRet, int errCode);

private slots:
    void setUpdateBtnSlots();
    void setUpdateFilePathSelSlots();

private:
    QWidget* m_pTitleWidget = nullptr;
    QLabel* m_pUpdateLabel = nullptr;
    QLabel* m_pFilePathLabel = nullptr;
    QSelLineEdit* m_pFileSel = nullptr;
    QLabel* m_pProgressLabel = nullptr;
    QProgressBar* m_pProgressBar = nullptr;
    QLabel* m_pStatusLabel = nullptr;
    QPushButton* m_pUpdateBtn = nullptr;
    QWidget* m_pCtrlWidget = nullptr;
    QLabel* m_pDivideLine = nullptr;

    QThread m_thread;
    UpdateExec* m_pWorker = nullptr;
    bool m_bUpgrading = false;
    bool m_bImageSent = false;
};
