#pragma once
// Arrival and removal of the V4L2 backend's camera: removal of the bound node (reported by
// the capture thread when the device goes under the stream, and by a libudev monitor of the
// video4linux subsystem), and arrival of a video node (any node while choosing
// automatically, else the named one). Listeners run on a thread of their own, never on the
// capture thread, so they may close the camera.

#include <functional>
#include <string>

namespace V4l2Hotplug {

int addListener(std::function<void(bool bArrived)> fnListener);
void removeListener(int nId);

// The node whose removal counts ("" when none is bound).
void watchRemoval(const std::string& boundNode);
// The node whose arrival counts ("" for any).
void watchArrival(const std::string& node);

// Reports the bound node's removal once per binding (the capture thread and the monitor may
// both see it), or an arrival.
void report(const std::string& node, bool bArrived);

} // namespace V4l2Hotplug
