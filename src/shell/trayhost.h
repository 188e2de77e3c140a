#pragma once

#include <QIcon>
#include <QList>
#include <QPoint>
#include <QString>
#include <functional>
#include <memory>

class QDBusConnection;
class QMenu;
class QWidget;

namespace tarv {

// The notification area's operations on one icon.
enum class NotifyOp { Add = 0, Modify = 1, Delete = 2 };

// Flags of the icon record: which of its fields the notification area takes.
enum NotifyFlag : unsigned { NifMessage = 1, NifIcon = 2, NifTip = 4 };

// Mouse messages that the notification area reports for an icon.
enum TrayMouse : unsigned {
    MouseMove = 512,
    LeftDown = 513,
    LeftUp = 514,
    LeftDblClk = 515,
    RightDown = 516,
    RightUp = 517,
    RightDblClk = 518,
    MiddleDown = 519,
    MiddleUp = 520,
    MiddleDblClk = 521,
};

// The first message number free for a program's own use; an icon reports on WM_USER + its id.
constexpr unsigned WmUser = 1024;

// A message to the window that owns an icon.
struct TrayMessage {
    unsigned msg = 0;
    quintptr wParam = 0;
    qintptr lParam = 0;
    qintptr result = 0;
};

// What the component hands the notification area for its icon.
struct NotifyIconData {
    unsigned size = 88;
    QWidget *window = nullptr;
    unsigned id = 0;
    unsigned flags = 0;
    unsigned callbackMessage = 0;
    QIcon icon;
    // At most 63 characters: the record's field holds 64 bytes with the terminating zero.
    QString tip;
};

// The platform's notification area and the few window services the tray component needs.
class TrayHost {
public:
    virtual ~TrayHost() = default;
    // Adds, changes or removes the icon; true when the notification area took the request.
    virtual bool notify(NotifyOp op, const NotifyIconData &data) = 0;
    // The icon shown when the component's own icon holds no image.
    virtual QIcon stockIcon() const = 0;
    virtual QPoint cursorPos() const = 0;
    virtual void bringToForeground(QWidget *window) = 0;
    // Pops the menu up with its top-left corner at a screen point; returns when it closes.
    virtual void popupMenu(QMenu *menu, const QPoint &at) = 0;
    // The icon's menu, for a notification area that shows it by itself (a status-notifier host
    // reads it over D-Bus and never reports the right press); others leave it to the press.
    virtual void setMenu(QMenu *menu) { (void)menu; }
    // Shows a balloon (a passing notification) from the icon; false where the host cannot.
    virtual bool showBalloon(const QString &title, const QString &text) { (void)title; (void)text; return false; }

    // Where the host delivers the mouse messages that it sees over the icon of the given id,
    // as the owner window's callback message (WM_USER + id) with the mouse message in lParam.
    std::function<void(TrayMessage &)> deliver;
};

// The mouse messages that stand for one activation that Qt reports for a tray icon (a value of
// QSystemTrayIcon::ActivationReason). A status-notifier host reports one activation for a click
// and never a double click, so there an activation counts as a double click; an XEmbed tray
// reports a left press as Trigger and a double click as Trigger then DoubleClick.
QList<unsigned> trayMouseMessages(int activationReason, bool statusNotifierHost);

// The mouse messages for each activation as it arrives. A status-notifier host sends one
// activation per click, so a double click arrives as two: the first stands for a double click
// (the icon's action happens at once), and a second one within the double-click interval after
// it is swallowed, so that a double click acts once, as on an XEmbed tray.
class TrayActivations final {
public:
    TrayActivations(bool statusNotifierHost, int doubleClickMs)
        : m_statusNotifier(statusNotifierHost), m_doubleClickMs(doubleClickMs) {}
    QList<unsigned> messages(int activationReason, qint64 nowMs);
    bool statusNotifierHost() const { return m_statusNotifier; }

private:
    bool m_statusNotifier = false;
    int m_doubleClickMs = 400;
    // True after an activation that counted, until a second one has been swallowed or the
    // interval has passed.
    bool m_armed = false;
    qint64 m_lastMs = 0;
};

// Whether Qt docks a tray icon through a status-notifier host, asked as Qt asks it: the watcher
// is on the bus and reports a registered host. A watcher without a host leaves Qt on XEmbed.
bool statusNotifierHostRegistered(const QDBusConnection &bus);

// The notification area of this desktop.
std::unique_ptr<TrayHost> makeSystemTrayHost();

} // namespace tarv
