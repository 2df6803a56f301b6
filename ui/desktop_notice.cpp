#include "ui/desktop_notice.h"

#ifdef ZENVIRA_HAVE_DBUS
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>
#endif

namespace zenvira::ui {

void notifyDesktop(const QString& summary, const QString& body) {
#ifdef ZENVIRA_HAVE_DBUS
    static const QString kService = QStringLiteral("org.freedesktop.Notifications");
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() || !bus.interface()->isServiceRegistered(kService)) return;
    QDBusMessage call = QDBusMessage::createMethodCall(kService, QStringLiteral("/org/freedesktop/Notifications"),
                                                      kService, QStringLiteral("Notify"));
    call << QStringLiteral("Zenvira") << 0u << QStringLiteral("zenvira") << summary << body << QStringList()
         << QVariantMap() << -1;
    bus.call(call, QDBus::NoBlock);  // a notification is never waited for
#else
    (void)summary;
    (void)body;
#endif
}

}  // namespace zenvira::ui
