#pragma once
// The title bar of the frameless main window: logo, connection status light, the window
// buttons and About; dragging moves the window, presses on the top/right edge resize it.

#include <QPoint>
#include <QWidget>

class QLabel;
class QPushButton;

class QTitleWidget : public QWidget
{
    Q_OBJECT
public:
    explicit QTitleWidget(QWidget* parent = nullptr);

    // Reads "Maximization" and shows the window maximised or normal accordingly.
    void restoreMaximizedState();

    bool isOnline() const { return m_bOnline; }
    bool isStandby() const { return m_bStandby; }
    bool isUpgrading() const { return m_bUpgrading; }
    // Resource path of the status picture shown now (for tests and diagnostics).
    QString statusImage() const { return m_strStatusImage; }
    // What the status area says about the bound camera ("Simulated camera", "Replay", stream
    // only), translated; empty for a real camera.
    QString cameraStatusText() const;
    // Reads the bound camera's status anew (at connect and disconnect, and on demand).
    void refreshCameraStatus();
    QPushButton* resizeButton() const { return m_pResizeBtn; }

signals:
    void sendStandbyModeSignals(bool);

public slots:
    void setWndMinSlots();
    void setWndMaxSlots();
    void setWndCloseSlots();
    void setInfoSlots();
    void setStatusChangeSlots();
    void SetDisableBtnSlot(bool Flag);
    void ChangeConnectStatusSlot(bool bStatus);
    void UpdateStandbyStatusSlot(bool bStandby);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;

private:
    void setStatusImage(const QString& path);
    void toggleMaximized();
    void refreshResizeButton();
    bool insideDragArea(const QPoint& globalPos) const;

    QLabel* m_pLogoLabel = nullptr;
    QLabel* m_pStatusLabel = nullptr;
    QLabel* m_pCameraLabel = nullptr;
    QPushButton* m_pInfoBtn = nullptr;
    QPushButton* m_pMinBtn = nullptr;
    QPushButton* m_pResizeBtn = nullptr;
    QPushButton* m_pCloseBtn = nullptr;
    bool m_bDragging = false;
    bool m_bForwardingToWindow = false;
    QPoint m_dragOffset;
    bool m_bOnline = false;
    bool m_bStandby = false;
    bool m_bUpgrading = false;
    QString m_strStatusImage;
};
