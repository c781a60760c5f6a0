#pragma once
// Desktop notifications through the freedesktop notification service on the session bus
// (org.freedesktop.Notifications). Sends nothing, and says so, when no such service runs.

#include <QString>

namespace DesktopNotify {

// Whether a notification service is registered on the session bus now.
bool isAvailable();
// Queues one notification without waiting for the answer. False when no service runs.
bool notify(const QString& qStrSummary, const QString& qStrBody);

} // namespace DesktopNotify
