#pragma once
// USB device arrival and removal, delivered on the thread that owns the monitor (the
// user-interface thread). Two sources feed the one signal:
//   - the kernel's device events through a libudev monitor on the "usb" subsystem (whole
//     devices only, not their interfaces), watched with a QSocketNotifier;
//   - the simulated camera's hot-plug events, when the simulated camera is the bound library.
// Listeners only learn that some USB device came or went; whether it was the camera is for
// them to find out (the live view probes the camera).

#include <QObject>
#include <memory>

class QSocketNotifier;

class UsbHotplugMonitor : public QObject
{
    Q_OBJECT

public:
    explicit UsbHotplugMonitor(QObject* parent = nullptr);
    ~UsbHotplugMonitor() override;

    // True when the kernel event source could be opened (false in containers without netlink
    // access, for instance; the simulated camera's events still arrive then).
    bool hasKernelSource() const { return m_pUdevMonitor != nullptr; }
    // True when subscribed to the simulated camera.
    bool hasSimulatedSource() const { return m_nSimListenerId >= 0; }

    // Maps a udev action text to an event: 1 arrival ("add"), 0 removal ("remove"), -1 other.
    static int classifyAction(const char* pszAction);

signals:
    void deviceChanged(bool bArrived);

private slots:
    void readKernelEvents();

private:
    void openKernelSource();
    void closeKernelSource();

    struct udev* m_pUdev = nullptr;
    struct udev_monitor* m_pUdevMonitor = nullptr;
    QSocketNotifier* m_pNotifier = nullptr;

    // Shared with the simulated camera's listener, which may still run on another thread
    // after this object is gone: the relay is emptied under its lock in the destructor.
    struct Relay;
    std::shared_ptr<Relay> m_pRelay;
    int m_nSimListenerId = -1;
};
