#pragma once
// USB device arrival and removal, delivered on the thread that owns the monitor (the
// user-interface thread). The source is the bound camera backend's own events (its device
// only); for a backend that has none, the kernel's device events through a libudev monitor on
// the "usb" subsystem (whole devices only, not their interfaces), watched with a
// QSocketNotifier. From the kernel, listeners only learn that some USB device came or went;
// whether it was the camera is for them to find out (the live view probes the camera).

#include <QObject>
#include <memory>

class QSocketNotifier;
struct CameraBackendEvents;

class UsbHotplugMonitor : public QObject
{
    Q_OBJECT

public:
    explicit UsbHotplugMonitor(QObject* parent = nullptr);
    ~UsbHotplugMonitor() override;

    // True when the kernel event source is open (only for a backend without events of its
    // own, and not in containers without netlink access).
    bool hasKernelSource() const { return m_pUdevMonitor != nullptr; }
    // True when subscribed to the bound backend's events.
    bool hasBackendSource() const { return m_nBackendListenerId >= 0; }

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

    // Shared with the backend's listener, which may still run on another thread after this
    // object is gone: the relay is emptied under its lock in the destructor.
    struct Relay;
    std::shared_ptr<Relay> m_pRelay;
    const CameraBackendEvents* m_pEvents = nullptr;   // the events subscribed to
    int m_nBackendListenerId = -1;
};
