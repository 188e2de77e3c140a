#include "shell/trayhost.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMenu>
#include <QStyle>
#include <QStyleHints>
#include <QSystemTrayIcon>

namespace tarv {

namespace {

const char *const kWatcher = "org.kde.StatusNotifierWatcher";

// Qt asks once per process, when it makes its first tray icon, and keeps the answer for every
// icon after it, whatever the bus does later. The program asks at the same moment and keeps the
// answer too, so that both agree on the protocol for the life of the process.
bool qtDocksThroughStatusNotifier() {
    static const bool answer = statusNotifierHostRegistered(QDBusConnection::sessionBus());
    return answer;
}

// The notification area of this desktop, on Qt's system tray icon.
class SystemTrayHost final : public TrayHost {
public:
    SystemTrayHost()
        : m_activations(qtDocksThroughStatusNotifier(), QGuiApplication::styleHints()->mouseDoubleClickInterval()),
          m_tray(new QSystemTrayIcon) {
        m_clock.start();
        QObject::connect(m_tray.get(), &QSystemTrayIcon::activated, m_tray.get(),
                         [this](QSystemTrayIcon::ActivationReason reason) { activated(reason); });
    }

    bool notify(NotifyOp op, const NotifyIconData &data) override {
        switch (op) {
        case NotifyOp::Add:
            if (m_added) return false;
            m_added = true;
            m_id = data.id;
            apply(data, true);
            // Qt docks the icon as soon as a tray appears, also when one starts later.
            m_tray->show();
            return true;
        case NotifyOp::Modify:
            if (!m_added) return false;
            apply(data, false);
            return true;
        case NotifyOp::Delete:
            if (!m_added) return false;
            m_added = false;
            m_tray->hide();
            return true;
        }
        return false;
    }

    QIcon stockIcon() const override {
        QIcon icon = QIcon::fromTheme(QStringLiteral("computer"));
        if (icon.isNull() || icon.pixmap(16, 16).isNull())
            icon = QApplication::style()->standardIcon(QStyle::SP_ComputerIcon);
        return icon;
    }

    QPoint cursorPos() const override { return QCursor::pos(); }

    void bringToForeground(QWidget *window) override {
        // A hidden window has nothing to bring forward; the menu grabs the pointer by itself.
        if (!window || !window->isVisible()) return;
        window->raise();
        window->activateWindow();
    }

    void popupMenu(QMenu *menu, const QPoint &at) override { menu->exec(at); }

    void setMenu(QMenu *menu) override {
        // An XEmbed tray reports the right press, which pops the menu up; a menu set on Qt's
        // icon there would open a second time.
        if (m_activations.statusNotifierHost()) m_tray->setContextMenu(menu);
    }

    bool showBalloon(const QString &title, const QString &text) override {
        // Qt shows the message itself where the tray has no balloons of its own.
        if (!m_added) return false;
        m_tray->showMessage(title, text, m_tray->icon(), 15000);
        return true;
    }

private:
    void apply(const NotifyIconData &data, bool always) {
        if ((data.flags & NifIcon) && (always || data.icon.cacheKey() != m_tray->icon().cacheKey()))
            m_tray->setIcon(data.icon);
        // Without the tip flag the notification area keeps the tip it has.
        if ((data.flags & NifTip) && (always || data.tip != m_tray->toolTip())) m_tray->setToolTip(data.tip);
    }

    void send(unsigned mouse) {
        if (!deliver) return;
        TrayMessage m{WmUser + m_id, m_id, static_cast<qintptr>(mouse), 0};
        deliver(m);
    }

    void activated(QSystemTrayIcon::ActivationReason reason) {
        for (unsigned mouse : m_activations.messages(reason, m_clock.elapsed()))
            send(mouse);
    }

    TrayActivations m_activations;
    QElapsedTimer m_clock;
    std::unique_ptr<QSystemTrayIcon> m_tray;
    bool m_added = false;
    unsigned m_id = 0;
};

} // namespace

bool statusNotifierHostRegistered(const QDBusConnection &bus) {
    if (!bus.isConnected() || !bus.interface()) return false;
    const QString watcher = QLatin1String(kWatcher);
    if (!bus.interface()->isServiceRegistered(watcher).value()) return false;
    QDBusMessage get = QDBusMessage::createMethodCall(watcher, QStringLiteral("/StatusNotifierWatcher"),
                                                      QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << watcher << QStringLiteral("IsStatusNotifierHostRegistered");
    // A watcher that does not answer must not hold the start-up for D-Bus's default 25 seconds.
    const QDBusMessage reply = bus.call(get, QDBus::Block, 3000);
    if (reply.type() != QDBusMessage::ReplyMessage || reply.arguments().isEmpty()) return false;
    return reply.arguments().first().value<QDBusVariant>().variant().toBool();
}

std::unique_ptr<TrayHost> makeSystemTrayHost() {
    return std::make_unique<SystemTrayHost>();
}

} // namespace tarv
