#pragma once

#include "shell/trayhost.h"

#include <QIcon>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QMenu;
class QWidget;

namespace tarv {

// Whether a menu pops up by itself when its owner asks (on unless switched off).
bool menuAutoPopup(const QMenu *menu);
void setMenuAutoPopup(QMenu *menu, bool on);

// The program's notification-area icon on behalf of the window that owns it: its image and tip,
// the mouse messages turned into events, and the attached menu popped up on a right press.
class TTrayIcon final : public QObject {
    Q_OBJECT
public:
    using NotifyEvent = std::function<void(QObject *sender)>;

    // The host defaults to this desktop's notification area (tests pass their own).
    explicit TTrayIcon(QObject *owner, std::unique_ptr<TrayHost> host = nullptr);
    ~TTrayIcon() override;

    QIcon Icon() const { return m_icon; }
    // Copies the icon and tells the notification area.
    void setIcon(const QIcon &icon);
    QString Tip() const { return m_tip; }
    void setTip(const QString &tip);
    QMenu *PopupMenu() const { return m_menu; }
    // The menu pops up on a right press, or where the notification area shows menus itself,
    // from there.
    void setPopupMenu(QMenu *menu);

    NotifyEvent OnClick;
    NotifyEvent OnDblClick;
    NotifyEvent OnMouseDown;
    NotifyEvent OnMouseMove;
    NotifyEvent OnMouseUp;

    // Adds the icon to the notification area.
    void ShowIcon();
    // Shows a balloon (a passing notification) from the icon, where the notification area can.
    bool showBalloon(const QString &title, const QString &text);
    bool NotifyShell(NotifyOp op);
    // The record NotifyShell hands over for op (an addition when none is named).
    NotifyIconData notifyData(NotifyOp op = NotifyOp::Add) const;

    // The owner window's message procedure while the component lives: the icon's callback
    // message becomes events, every other message goes to the saved procedure.
    void HookWndProc(TrayMessage &message);
    // The owner window's own procedure, which the hook passes other messages to.
    std::function<void(TrayMessage &)> savedWindowProc;

    QWidget *ownerWindow() const { return m_ownerWindow; }
    unsigned iconId() const { return m_iconId; }
    unsigned callbackMessage() const { return WmUser + m_iconId; }
    // True between ShowIcon and the component's end.
    bool Active() const { return m_active; }
    TrayHost &host() { return *m_host; }

    // Tests make every new component use their host instead of the desktop's.
    static void setHostFactory(std::function<std::unique_ptr<TrayHost>()> factory);

private:
    void IconChanged();
    void pressRule(unsigned mouse);

    QIcon m_icon;
    QString m_tip;
    QMenu *m_menu = nullptr;
    QWidget *m_ownerWindow = nullptr;
    unsigned m_iconId = 0;
    bool m_active = false;
    std::unique_ptr<TrayHost> m_host;
};

} // namespace tarv
