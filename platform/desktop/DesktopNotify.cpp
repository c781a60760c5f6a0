#include "platform/desktop/DesktopNotify.h"

#ifdef THERMAVA_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QStringList>
#include <QVariantMap>
#endif

namespace DesktopNotify {

namespace {
const char* const kService = "org.freedesktop.Notifications";
} // namespace

bool isAvailable()
{
#ifdef THERMAVA_HAVE_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    return bus.isConnected() && bus.interface() && bus.interface()->isServiceRegistered(QString::fromLatin1(kService));
#else
    return false;
#endif
}

bool notify(const QString& qStrSummary, const QString& qStrBody)
{
#ifdef THERMAVA_HAVE_DBUS
    if (!isAvailable())
        return false;
    QDBusMessage call = QDBusMessage::createMethodCall(QString::fromLatin1(kService),
                                                       QStringLiteral("/org/freedesktop/Notifications"),
                                                       QString::fromLatin1(kService), QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("urgency"), QVariant::fromValue<uchar>(2));   // critical
    // app_name, replaces_id, app_icon, summary, body, actions, hints, expire_timeout (-1: server's default)
    call << QStringLiteral("Thermava") << uint(0) << QStringLiteral("dialog-warning") << qStrSummary << qStrBody
         << QStringList() << hints << int(-1);
    // Asynchronous: the user-interface thread never waits for the desktop.
    return QDBusConnection::sessionBus().send(call);
#else
    Q_UNUSED(qStrSummary);
    Q_UNUSED(qStrBody);
    return false;
#endif
}

} // namespace DesktopNotify
