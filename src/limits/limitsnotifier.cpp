#include "limits/limitsnotifier.h"

#if TARV_LIMITS_DBUS
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QVariantMap>
#endif

namespace tarv::limits {

LimitsNotifier::LimitsNotifier(Balloon balloon, QObject *parent) : QObject(parent), m_balloon(std::move(balloon)) {}

void LimitsNotifier::balloon(const QString &title, const QString &text) {
    if (m_balloon && m_balloon(title, text)) emit delivered(title, text, false);
}

void LimitsNotifier::notify(const QString &title, const QString &text) {
#if TARV_LIMITS_DBUS
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected()) {
        QDBusMessage call = QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("/org/freedesktop/Notifications"),
            QStringLiteral("org.freedesktop.Notifications"), QStringLiteral("Notify"));
        // The program's name and its installed icon; the desktop entry lets the desktop group
        // the notifications under the program. -1 leaves the time on screen to the desktop.
        const QVariantMap hints{{QStringLiteral("desktop-entry"), QStringLiteral("example.pelmo.tarv")},
                                {QStringLiteral("urgency"), QVariant::fromValue(uchar(1))}};
        call << QStringLiteral("Tarv") << uint(0) << QStringLiteral("tarv") << title << text << QStringList() << hints
             << int(-1);
        // Where no service owns the name the bus answers at once with an error; one that holds
        // the answer back gets a few seconds, and the balloon stands in after them.
        auto *watcher = new QDBusPendingCallWatcher(bus.asyncCall(call, 5000), this);
        connect(watcher, &QDBusPendingCallWatcher::finished, this, [this, title, text](QDBusPendingCallWatcher *w) {
            w->deleteLater();
            if (w->isError()) {
                balloon(title, text);
            } else {
                emit delivered(title, text, true);
            }
        });
        return;
    }
#endif
    balloon(title, text);
}

} // namespace tarv::limits
