#pragma once
// The program's modal message box: a frameless 520 x 220 dialog with an icon, a text, an optional
// busy animation, an optional progress bar and Cancel / OK buttons. Besides plain messages and
// confirmations it serves as the connecting dialog of the live view, driven by its own timer:
//   mode 0: the next timer tick closes the dialog;
//   mode 1: each tick advances the bar by 1 towards the progress target; when the bar stands at
//           the target and at its maximum (100) the done flag is set and the timer stops.
// Texts are passed in already translated; the button captions are looked up here.

#include <QDialog>
#include <functional>

class QHBoxLayout;
class QLabel;
class QMovie;
class QProgressBar;
class QPushButton;
class QTimer;

class QMessageboxDlg : public QDialog
{
    Q_OBJECT

public:
    explicit QMessageboxDlg(QWidget* parent = nullptr);
    ~QMessageboxDlg() override;

    // The common use: icon and Cancel hidden, the text shown, run modally. Returns the dialog
    // result (QDialog::Accepted only through OK).
    static int showMessage(QWidget* pParent, const QString& qStrText);
    // A confirmation: Cancel stays visible; true only when the user pressed OK.
    static bool askConfirm(QWidget* pParent, const QString& qStrText);

    // Tests: when a hook is set, exec() of every message box calls it instead of running a
    // modal loop, and returns what the hook returns (e.g. QDialog::Accepted). Pass an empty
    // function to go back to real modal runs.
    using ExecHook = std::function<int(QMessageboxDlg&)>;
    static void setExecHookForTests(ExecHook hook);

    int exec() override;

    void setText(const QString& qStrText);
    QString text() const;

    void setMode(int nMode) { m_nMode = nMode; }
    int mode() const { return m_nMode; }
    void setProgressTarget(int nTarget) { m_nProgressTarget = nTarget; }
    int progressTarget() const { return m_nProgressTarget; }
    void setDone(bool bDone) { m_bDone = bDone; }
    bool isDone() const { return m_bDone; }

    // Starts (or restarts) the dialog's timer with the given interval in milliseconds.
    void startDlgTimer(int nIntervalMs);
    void stopDlgTimer();

    // The children, so that callers can show, hide or fill them.
    QLabel* iconLabel() const { return m_pIconLabel; }
    QLabel* textLabel() const { return m_pTextLabel; }
    QLabel* busyLabel() const { return m_pBusyLabel; }
    QProgressBar* progressBar() const { return m_pProgressBar; }
    QPushButton* closeButton() const { return m_pCloseBtn; }
    QPushButton* cancelButton() const { return m_pCancelBtn; }
    QPushButton* okButton() const { return m_pOkBtn; }
    QTimer* timer() const { return m_pTimer; }

public slots:
    void setWndCloseSlots();
    void setOkBtnSlots();
    void onTimeoutSlot();

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;

private:
    QPushButton* m_pCloseBtn = nullptr;
    QLabel* m_pDivideLine = nullptr;
    QLabel* m_pIconLabel = nullptr;
    QLabel* m_pTextLabel = nullptr;
    QLabel* m_pBusyLabel = nullptr;
    QMovie* m_pBusyMovie = nullptr;
    QProgressBar* m_pProgressBar = nullptr;
    QPushButton* m_pCancelBtn = nullptr;
    QPushButton* m_pOkBtn = nullptr;
    QTimer* m_pTimer = nullptr;

    int m_nMode = -1;
    int m_nProgressTarget = 0;
    bool m_bDone = false;
};
