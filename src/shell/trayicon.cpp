#include "shell/trayicon.h"

#include <QCoreApplication>
#include <QMenu>
#include <QVariant>
#include <QWidget>

namespace tarv {

namespace {

const char *const kAutoPopup = "tarvAutoPopup";

std::function<std::unique_ptr<TrayHost>()> &hostFactory() {
    static std::function<std::unique_ptr<TrayHost>()> factory;
    return factory;
}

// The tip field holds 63 characters and a terminating zero; a longer tip is cut there, never in
// the middle of a character that takes two UTF-16 units.
QString shortenTip(const QString &tip) {
    constexpr int kMax = 63;
    if (tip.size() <= kMax) return tip;
    const int n = tip.at(kMax - 1).isHighSurrogate() ? kMax - 1 : kMax;
    return tip.left(n);
}

bool holdsImage(const QIcon &icon) {
    return !icon.isNull() && !icon.pixmap(16, 16).isNull();
}

} // namespace

bool menuAutoPopup(const QMenu *menu) {
    const QVariant v = menu->property(kAutoPopup);
    return !v.isValid() || v.toBool();
}

void setMenuAutoPopup(QMenu *menu, bool on) {
    menu->setProperty(kAutoPopup, on);
}

void TTrayIcon::setHostFactory(std::function<std::unique_ptr<TrayHost>()> factory) {
    hostFactory() = std::move(factory);
}

TTrayIcon::TTrayIcon(QObject *owner, std::unique_ptr<TrayHost> host)
    : QObject(owner), m_host(std::move(host)) {
    if (!m_host) m_host = hostFactory() ? hostFactory()() : makeSystemTrayHost();
    auto *form = qobject_cast<QWidget *>(owner);
    if (form && form->isWindow()) {
        m_ownerWindow = form;
        // The icon's messages reach this component through the owner window only.
        m_host->deliver = [this](TrayMessage &m) { HookWndProc(m); };
        unsigned count = 0;
        for (QObject *child : form->children())
            if (qobject_cast<TTrayIcon *>(child)) ++count;
        m_iconId = count;
    }
}

TTrayIcon::~TTrayIcon() {
    NotifyShell(NotifyOp::Delete);
    m_host->deliver = nullptr;
}

void TTrayIcon::setIcon(const QIcon &icon) {
    m_icon = icon;
    IconChanged();
    NotifyShell(NotifyOp::Modify);
}

void TTrayIcon::IconChanged() {
    NotifyShell(NotifyOp::Modify);
}

void TTrayIcon::setPopupMenu(QMenu *menu) {
    m_menu = menu;
    m_host->setMenu(menu);
}

void TTrayIcon::setTip(const QString &tip) {
    m_tip = tip;
    NotifyShell(NotifyOp::Modify);
}

void TTrayIcon::ShowIcon() {
    NotifyShell(NotifyOp::Add);
    m_active = true;
}

NotifyIconData TTrayIcon::notifyData(NotifyOp op) const {
    NotifyIconData d;
    d.window = m_ownerWindow;
    d.id = m_iconId;
    d.flags = NifMessage | NifIcon;
    d.callbackMessage = callbackMessage();
    // The stock icon can cost a theme lookup that probes thousands of files, so it is fetched
    // only when the area will show it: not for a change before the icon is added (the program
    // sets its own picture then) and not for the removal.
    if (holdsImage(m_icon))
        d.icon = m_icon;
    else if (op == NotifyOp::Add || (op == NotifyOp::Modify && m_active))
        d.icon = m_host->stockIcon();
    if (!m_tip.isEmpty()) {
        d.flags |= NifTip;
        d.tip = shortenTip(m_tip);
    }
    return d;
}

bool TTrayIcon::showBalloon(const QString &title, const QString &text) {
    return m_host->showBalloon(title, text);
}

bool TTrayIcon::NotifyShell(NotifyOp op) {
    return m_host->notify(op, notifyData(op));
}

void TTrayIcon::HookWndProc(TrayMessage &message) {
    if (message.msg != callbackMessage()) {
        if (savedWindowProc) savedWindowProc(message);
        return;
    }
    const auto mouse = static_cast<unsigned>(message.lParam);
    switch (mouse) {
    case MouseMove:
        if (OnMouseMove) OnMouseMove(this);
        break;
    case LeftDown:
    case RightDown:
    case MiddleDown:
        pressRule(mouse);
        break;
    case LeftUp:
    case RightUp:
    case MiddleUp:
        if (OnMouseUp) OnMouseUp(this);
        break;
    case LeftDblClk:
    case RightDblClk:
    case MiddleDblClk:
        if (OnDblClick) OnDblClick(this);
        break;
    default:
        message.result = 1;
        break;
    }
}

void TTrayIcon::pressRule(unsigned mouse) {
    if (mouse == RightDown && m_menu && menuAutoPopup(m_menu)) {
        // The owner comes to the foreground first, so that the menu closes when the user clicks
        // elsewhere; the menu runs its own loop, in which the meter keeps ticking.
        m_host->bringToForeground(m_ownerWindow);
        QCoreApplication::processEvents();
        const QPoint at = m_host->cursorPos();
        m_host->popupMenu(m_menu, at);
        QCoreApplication::processEvents();
        return;
    }
    if (OnMouseDown)
        OnMouseDown(this);
    else if (OnClick)
        OnClick(this);
}

} // namespace tarv
