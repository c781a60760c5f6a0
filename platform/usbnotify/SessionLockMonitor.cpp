#include "platform/usbnotify/SessionLockMonitor.h"

#include <QCoreApplication>
#include <QDebug>

#ifdef THERMAVA_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#endif

namespace {
#ifdef THERMAVA_HAVE_DBUS
const char* const kService = "org.freedesktop.login1";
const char* const kManagerPath = "/org/freedesktop/login1";
const char* const kManagerInterface = "org.freedesktop.login1.Manager";
const char* const kSessionInterface = "org.freedesktop.login1.Session";
#endif
} // namespace

SessionLockMonitor::SessionLockMonitor(QObject* parent) : QObject(parent)
{
#ifdef THERMAVA_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::systemBus();
    if (!bus.isConnected())
        return;
    // Asked without waiting: start-up must not hang on a slow or absent logind.
    QDBusMessage msg = QDBusMessage::createMethodCall(kService, kManagerPath, kManagerInterface, "GetSessionByPID");
    msg << static_cast<quint32>(QCoreApplication::applicationPid());
    auto* pWatcher = new QDBusPendingCallWatcher(bus.asyncCall(msg, 5000), this);
    connect(pWatcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher* w) {
        QDBusPendingReply<QDBusObjectPath> reply = *w;
        w->deleteLater();
        if (reply.isValid())
            subscribe(reply.value().path());
    });
#endif
}

void SessionLockMonitor::subscribe(const QString& qStrPath)
{
#ifdef THERMAVA_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::systemBus();
    const bool bLock = bus.connect(kService, qStrPath, kSessionInterface, "Lock", this, SLOT(onLock()));
    const bool bUnlock = bus.connect(kService, qStrPath, kSessionInterface, "Unlock", this, SLOT(onUnlock()));
    if (bLock && bUnlock)
        m_qStrSessionPath = qStrPath;
#else
    Q_UNUSED(qStrPath);
#endif
}

void SessionLockMonitor::onLock() { emit sessionLocked(); }

void SessionLockMonitor::onUnlock() { emit sessionUnlocked(); }
