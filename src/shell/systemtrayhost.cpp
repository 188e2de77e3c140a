#include "shell/trayhost.h"

#include <QApplication>
#include <QCursor>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QMenu>
#include <QStyle>
#include <QSystemTrayIcon>

namespace tarv {

namespace {

// A status-notifier host (the D-Bus tray protocol) reports one activation for a click and never
// a double click; an XEmbed tray reports a press as Trigger and a double click as Trigger then
// DoubleClick. Qt picks the D-Bus protocol when a watcher is on the session bus.
bool statusNotifierHostPresent() {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface()) return false;
    return bus.interface()->isServiceRegistered(QStringLiteral("org.kde.StatusNotifierWatcher")).value();
}

// The notification area of this desktop, on Qt's system tray icon.
class SystemTrayHost final : public TrayHost {
public:
    SystemTrayHost() : m_tray(new QSystemTrayIcon), m_statusNotifier(statusNotifierHostPresent()) {
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
        for (unsigned mouse : trayMouseMessages(reason, m_statusNotifier))
            send(mouse);
    }

    std::unique_ptr<QSystemTrayIcon> m_tray;
    bool m_statusNotifier = false;
    bool m_added = false;
    unsigned m_id = 0;
};

} // namespace

std::unique_ptr<TrayHost> makeSystemTrayHost() {
    return std::make_unique<SystemTrayHost>();
}

} // namespace tarv
