#include "platform/v4l2/V4l2Hotplug.h"

#include <atomic>
#include <cstring>
#include <libudev.h>
#include <map>
#include <mutex>
#include <poll.h>
#include <thread>

namespace V4l2Hotplug {
namespace {

constexpr int kPollSliceMs = 200;   // how soon the monitor thread sees a stop request

struct State
{
    std::mutex mutex;
    std::map<int, std::function<void(bool)>> listeners;
    int nNextId = 1;
    std::string boundNode;
    std::string arrivalNode;
    bool bRemovalReported = false;
    std::thread monitor;
    std::atomic<bool> bStopMonitor{false};
};

State& state()
{
    // Never destroyed: a listener thread may still run while the process exits.
    static State* pState = new State();
    return *pState;
}

void dispatch(bool bArrived)
{
    std::thread([bArrived] {
        State& s = state();
        std::map<int, std::function<void(bool)>> listeners;
        {
            std::lock_guard<std::mutex> lock(s.mutex);
            listeners = s.listeners;
        }
        for (auto& entry : listeners)
            entry.second(bArrived);
    }).detach();
}

void runMonitor()
{
    State& s = state();
    udev* pUdev = udev_new();
    udev_monitor* pMonitor = pUdev ? udev_monitor_new_from_netlink(pUdev, "udev") : nullptr;
    if (!pMonitor || udev_monitor_filter_add_match_subsystem_devtype(pMonitor, "video4linux", nullptr) < 0
        || udev_monitor_enable_receiving(pMonitor) < 0) {
        // No kernel events here (a container, for one); the capture thread still sees removal.
        if (pMonitor)
            udev_monitor_unref(pMonitor);
        if (pUdev)
            udev_unref(pUdev);
        return;
    }
    const int fd = udev_monitor_get_fd(pMonitor);
    while (!s.bStopMonitor) {
        pollfd p{fd, POLLIN, 0};
        if (::poll(&p, 1, kPollSliceMs) <= 0 || !(p.revents & POLLIN))
            continue;
        udev_device* pDevice = udev_monitor_receive_device(pMonitor);
        if (!pDevice)
            continue;
        const char* pszAction = udev_device_get_action(pDevice);
        const char* pszNode = udev_device_get_devnode(pDevice);
        if (pszAction && pszNode) {
            if (std::strcmp(pszAction, "remove") == 0)
                report(pszNode, false);
            else if (std::strcmp(pszAction, "add") == 0)
                report(pszNode, true);
        }
        udev_device_unref(pDevice);
    }
    udev_monitor_unref(pMonitor);
    udev_unref(pUdev);
}

} // namespace

int addListener(std::function<void(bool bArrived)> fnListener)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    const int nId = s.nNextId++;
    s.listeners[nId] = std::move(fnListener);
    if (!s.monitor.joinable()) {
        s.bStopMonitor = false;
        s.monitor = std::thread(runMonitor);
    }
    return nId;
}

void removeListener(int nId)
{
    State& s = state();
    std::thread monitor;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        s.listeners.erase(nId);
        if (!s.listeners.empty() || !s.monitor.joinable())
            return;
        s.bStopMonitor = true;
        monitor = std::move(s.monitor);
    }
    monitor.join();
}

void watchRemoval(const std::string& boundNode)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (s.boundNode != boundNode)
        s.bRemovalReported = false;
    s.boundNode = boundNode;
}

void watchArrival(const std::string& node)
{
    State& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.arrivalNode = node;
}

void report(const std::string& node, bool bArrived)
{
    State& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (bArrived) {
            if (!s.arrivalNode.empty() && node != s.arrivalNode)
                return;
            if (node == s.boundNode)
                s.bRemovalReported = false;
        } else {
            if (node.empty() || node != s.boundNode || s.bRemovalReported)
                return;
            s.bRemovalReported = true;
        }
    }
    dispatch(bArrived);
}

} // namespace V4l2Hotplug
