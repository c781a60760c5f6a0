#pragma once
// The client's only top-level window: frameless, sized from the screen, resizable from its
// edges with a rubber-band preview. Owns the title bar, the navigation column, the three
// module pages and the command executor with its thread, and wires them together.

#include <QPoint>
#include <QRect>
#include <QThread>
#include <QWidget>

class QCtrlModuleWidget;
class QTitleWidget;
class QVideoPreviewModuleWidget;
class QSettingCtrl;
class QDeviceInfoModule;
class QDevCommExec;
class QRubberBand;
class QHBoxLayout;

class MainWindow : public QWidget
{
    Q_OBJECT
public:
    enum Edge { EdgeTop = 1, EdgeBottom = 2, EdgeLeft = 4, EdgeRight = 8 };

    explicit MainWindow(QWidget* parent = nullptr);
    ~MainWindow() override;

    void switchModule(int nModule);
    void playCurrentModule();
    void disconnectAll();

    int currentModule() const { return m_nCurModule; }
    QTitleWidget* titleWidget() const { return m_pTitle; }
    QCtrlModuleWidget* ctrlModuleWidget() const { return m_pCtrlModule; }
    QVideoPreviewModuleWidget* liveView() const { return m_pLiveView; }
    QSettingCtrl* settingCtrl() const { return m_pSettingCtrl; }
    QDeviceInfoModule* deviceInfoModule() const { return m_pDevInfoModule; }
    QDevCommExec* commExec() const { return m_pCommExec; }
    QThread* commThread() { return m_pCommThread; }
    QRubberBand* rubberBand() const { return m_pRubberBand; }

    // Outcome of every signature-text connection made at construction (tests check them all).
    struct Wire { QString sender; QString signal; QString receiver; QString slot; bool ok; };
    const QList<Wire>& wiring() const { return m_wiring; }

    // Which edges a global cursor position is on for a window frame; pure, for tests.
    static int edgesAt(const QRect& frame, const QPoint& globalPos, int nMargin = 5);
    // The window size for a primary screen of the given size.
    static QSize scaledSize(const QSize& screen);
    // The window's logical size for a screen of that logical size and device pixel ratio, so
    // that the shown window has the scaled size in the screen's own pixels.
    static QSize windowSizeFor(const QSize& screen, qreal fRatio);

    // Mouse handling used by the title bar when it hands an edge press over.
    void handleMousePress(QMouseEvent* event);
    void handleMouseMove(QMouseEvent* event);
    void handleMouseRelease(QMouseEvent* event);

    // Time the restart notice stays up; tests shorten it.
    void setRestartWaitMs(int nMs) { m_nRestartWaitMs = nMs; }

signals:
    void SendDisableEventSignal(bool);
    void Signal_ConnectStatusChange();

public slots:
    void ReconnectDeviceSlots();

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void wire(QObject* sender, const char* signal, QObject* receiver, const char* slot);
    void updateEdges(const QPoint& globalPos);

    QCtrlModuleWidget* m_pCtrlModule = nullptr;
    QTitleWidget* m_pTitle = nullptr;
    QVideoPreviewModuleWidget* m_pLiveView = nullptr;
    QSettingCtrl* m_pSettingCtrl = nullptr;
    QDeviceInfoModule* m_pDevInfoModule = nullptr;
    QDevCommExec* m_pCommExec = nullptr;
    int m_nCurModule = 0;
    bool m_bPressed = false;
    int m_nEdges = 0;
    QRubberBand* m_pRubberBand = nullptr;
    // On the heap: a thread that does not stop in time is left behind rather than destroyed
    // while it runs.
    QThread* m_pCommThread = new QThread;
    static constexpr int kExecutorStopMs = 1500;
    QSize m_maxSize;
    int m_nRestartWaitMs = 5000;
    QList<Wire> m_wiring;
};

// The process-wide main window, set by its constructor.
extern MainWindow* g_pMainWindow;
