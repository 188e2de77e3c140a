#include "platform/windows/notifyicon.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

namespace tarv::win32 {

NotifyIconRecord makeNotifyIconRecord(HWND window, UINT id, HICON icon, const std::string &tip) {
    // Cleared as a whole, padding included, so that the shell is handed nothing left to chance.
    NotifyIconRecord r;
    std::memset(&r, 0, sizeof r);
    r.cbSize = sizeof(NotifyIconRecord);
    r.hWnd = window;
    r.uID = id;
    r.uFlags = kNotifyFlagMessage | kNotifyFlagIcon;
    r.uCallbackMessage = WM_USER + id;
    r.hIcon = icon ? icon : LoadIconA(nullptr, MAKEINTRESOURCEA(kStockLogoIcon));
    if (!tip.empty()) {
        r.uFlags |= kNotifyFlagTip;
        // The field holds 63 characters and a zero; a longer tip is cut, never overrun.
        std::memcpy(r.szTip, tip.data(), std::min(tip.size(), kNotifyTipChars));
    }
    return r;
}

BOOL shellNotifyIcon(DWORD operation, const NotifyIconRecord &record) {
    // The shell reads the record's size field and takes only as many bytes as that names.
    NotifyIconRecord copy = record;
    return Shell_NotifyIconA(operation, reinterpret_cast<NOTIFYICONDATAA *>(&copy));
}

NotifyIcon::NotifyIcon(HWND owner) : m_shell(shellNotifyIcon) {
    if (!owner || !IsWindow(owner)) return;
    // The smallest identifier whose callback message the window does not route yet: 1 for a
    // window's first icon, 2 for a second one, and no two live icons of one window share one.
    UINT id = 1;
    while (MessageRoute::isRouted(owner, WM_USER + id))
        ++id;
    m_route = std::make_unique<MessageRoute>(owner, WM_USER + id,
                                             [this](WPARAM, LPARAM mouse) { return handleCallback(mouse); });
    if (!m_route->active()) {
        m_route.reset();
        return;
    }
    m_owner = owner;
    m_id = id;
}

NotifyIcon::~NotifyIcon() {
    notifyShell(kNotifyDelete);
}

void NotifyIcon::setIcon(HICON icon) {
    m_icon = icon;
    notifyShell(kNotifyModify);
}

void NotifyIcon::setTip(const std::string &tip) {
    m_tip = tip;
    notifyShell(kNotifyModify);
}

bool NotifyIcon::notifyShell(DWORD operation) {
    return m_shell && m_shell(operation, record()) != FALSE;
}

LRESULT NotifyIcon::handleCallback(LPARAM mouseMessage) {
    const auto fire = [](const std::function<void()> &event) {
        if (event) event();
    };
    try {
        switch (mouseMessage) {
        case WM_MOUSEMOVE:
            fire(events.onMouseMove);
            return 0;
        case WM_LBUTTONDOWN:
        case WM_RBUTTONDOWN:
        case WM_MBUTTONDOWN:
            if (mouseMessage == WM_RBUTTONDOWN && events.popupMenu) {
                // The owner must be in the foreground, or the menu would not close when the
                // user clicks elsewhere.
                SetForegroundWindow(m_owner);
                fire(events.processMessages);
                POINT at{};
                GetCursorPos(&at);
                events.popupMenu(at);
                fire(events.processMessages);
            } else if (events.onMouseDown) {
                events.onMouseDown();
            } else {
                fire(events.onClick);
            }
            return 0;
        case WM_LBUTTONUP:
        case WM_RBUTTONUP:
        case WM_MBUTTONUP:
            fire(events.onMouseUp);
            return 0;
        case WM_LBUTTONDBLCLK:
        case WM_RBUTTONDBLCLK:
        case WM_MBUTTONDBLCLK:
            fire(events.onDblClick);
            return 0;
        default:
            return 1;
        }
    } catch (...) {
        if (events.onError) events.onError(std::current_exception());
        return 0;
    }
}

} // namespace tarv::win32
