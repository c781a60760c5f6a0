#include "platform/usbnotify/UsbHotplugMonitor.h"

#include "platform/camlib/CameraBackend.h"

#include <QDebug>
#include <QMetaObject>
#include <QPointer>
#include <QSocketNotifier>
#include <QVector>
#include <cstring>
#include <mutex>

#include <libudev.h>

struct UsbHotplugMonitor::Relay
{
    std::mutex m;
    UsbHotplugMonitor* pTarget = nullptr;
};

UsbHotplugMonitor::UsbHotplugMonitor(QObject* parent) : QObject(parent), m_pRelay(std::make_shared<Relay>())
{
    m_pRelay->pTarget = this;

    // The bound camera's own arrival and removal; a backend without a source of its own gets
    // every USB device's events from the kernel, and the live view probes the camera.
    std::weak_ptr<Relay> weak = m_pRelay;
    m_pEvents = &cameraBackendEvents();
    m_nBackendListenerId = m_pEvents->addHotplugListener([weak](bool bArrived) {
        std::shared_ptr<Relay> relay = weak.lock();
        if (!relay)
            return;
        std::lock_guard<std::mutex> lk(relay->m);
        if (!relay->pTarget)
            return;
        // Posted while the target is known alive; a posted call dies with its receiver.
        UsbHotplugMonitor* pTarget = relay->pTarget;
        QMetaObject::invokeMethod(
            pTarget, [pTarget, bArrived] { emit pTarget->deviceChanged(bArrived); }, Qt::QueuedConnection);
    });
    if (m_nBackendListenerId < 0)
        openKernelSource();
}

UsbHotplugMonitor::~UsbHotplugMonitor()
{
    if (m_nBackendListenerId >= 0)
        m_pEvents->removeHotplugListener(m_nBackendListenerId);
    {
        std::lock_guard<std::mutex> lk(m_pRelay->m);
        m_pRelay->pTarget = nullptr;
    }
    closeKernelSource();
}

int UsbHotplugMonitor::classifyAction(const char* pszAction)
{
    if (!pszAction)
        return -1;
    if (std::strcmp(pszAction, "add") == 0)
        return 1;
    if (std::strcmp(pszAction, "remove") == 0)
        return 0;
    return -1;
}

void UsbHotplugMonitor::openKernelSource()
{
    m_pUdev = udev_new();
    if (!m_pUdev) {
        qDebug() << "UsbHotplugMonitor: no udev context";
        return;
    }
    udev_monitor* pMonitor = udev_monitor_new_from_netlink(m_pUdev, "udev");
    if (!pMonitor) {
        qDebug() << "UsbHotplugMonitor: no udev monitor";
        closeKernelSource();
        return;
    }
    // Whole devices only: one event per plug, as with a device-interface notification.
    if (udev_monitor_filter_add_match_subsystem_devtype(pMonitor, "usb", "usb_device") < 0
        || udev_monitor_enable_receiving(pMonitor) < 0) {
        qDebug() << "UsbHotplugMonitor: udev monitor refused";
        udev_monitor_unref(pMonitor);
        closeKernelSource();
        return;
    }
    const int fd = udev_monitor_get_fd(pMonitor);
    if (fd < 0) {
        udev_monitor_unref(pMonitor);
        closeKernelSource();
        return;
    }
    m_pUdevMonitor = pMonitor;
    m_pNotifier = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(m_pNotifier, &QSocketNotifier::activated, this, &UsbHotplugMonitor::readKernelEvents);
}

void UsbHotplugMonitor::closeKernelSource()
{
    delete m_pNotifier;
    m_pNotifier = nullptr;
    if (m_pUdevMonitor)
        udev_monitor_unref(m_pUdevMonitor);
    m_pUdevMonitor = nullptr;
    if (m_pUdev)
        udev_unref(m_pUdev);
    m_pUdev = nullptr;
}

void UsbHotplugMonitor::readKernelEvents()
{
    if (!m_pUdevMonitor)
        return;
    // The socket is non-blocking: drain everything queued first, then report, so that a
    // receiver running a modal dialog does not read the socket again from inside it.
    QVector<bool> events;
    while (udev_device* pDevice = udev_monitor_receive_device(m_pUdevMonitor)) {
        const int nKind = classifyAction(udev_device_get_action(pDevice));
        udev_device_unref(pDevice);
        if (nKind >= 0)
            events.append(nKind == 1);
    }
    QPointer<UsbHotplugMonitor> self(this);
    for (bool bArrived : events) {
        emit deviceChanged(bArrived);
        // A receiver may end with this monitor deleted.
        if (!self)
            return;
    }
}
