#include "platform/windows/notifyicon.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace tarv::win32 {

namespace {

// The window property under which an owner window keeps its hook.
constexpr wchar_t kHookProperty[] = L"TarvNotifyIconHook";

// One hook per owner window, shared by all of that window's icons: each icon has its own callback
// message, and every other message goes on to the procedure the window had before.
struct WindowHook {
    WNDPROC saved = nullptr;
    std::vector<NotifyIcon *> icons;
};

WindowHook *hookOf(HWND window) {
    return static_cast<WindowHook *>(GetPropW(window, kHookProperty));
}

LRESULT CALLBACK hookWndProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowHook *hook = hookOf(window);
    if (!hook) return DefWindowProcW(window, message, wParam, lParam);
    if (message > WM_USER) {
        for (NotifyIcon *icon : hook->icons)
            if (icon->callbackMessage() == message) return icon->handleCallback(lParam);
    }
    const WNDPROC saved = hook->saved;
    if (message == WM_NCDESTROY) {
        // The window's last message: give it back its own procedure, so that nothing refers to the
        // hook afterwards. Icons that outlive the window find no hook to leave.
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
        RemovePropW(window, kHookProperty);
        delete hook;
    }
    return CallWindowProcW(saved, window, message, wParam, lParam);
}

} // namespace

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
    m_owner = owner;
    WindowHook *hook = hookOf(owner);
    if (!hook) {
        hook = new WindowHook;
        hook->saved = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(owner, GWLP_WNDPROC));
        SetPropW(owner, kHookProperty, hook);
        SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&hookWndProc));
    }
    // The smallest identifier not in use: 1 for a window's first icon, 2 for a second one, and
    // no two live icons of one window ever share one.
    UINT id = 1;
    while (std::any_of(hook->icons.begin(), hook->icons.end(), [id](NotifyIcon *i) { return i->m_id == id; }))
        ++id;
    m_id = id;
    hook->icons.push_back(this);
}

NotifyIcon::~NotifyIcon() {
    notifyShell(kNotifyDelete);
    if (!m_owner) return;
    WindowHook *hook = hookOf(m_owner);
    if (!hook) return;
    hook->icons.erase(std::remove(hook->icons.begin(), hook->icons.end(), this), hook->icons.end());
    // The window gets its procedure back only when no icon is left and nobody has replaced the
    // procedure since; otherwise the hook stays and passes every message through.
    if (hook->icons.empty() &&
        GetWindowLongPtrW(m_owner, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&hookWndProc)) {
        SetWindowLongPtrW(m_owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->saved));
        RemovePropW(m_owner, kHookProperty);
        delete hook;
    }
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
