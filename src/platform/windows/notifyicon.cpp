#include "platform/windows/notifyicon.h"

#include <shellapi.h>

#include <algorithm>
#include <cstring>

namespace tarv::win32 {

namespace {

// Copies at most max UTF-16 units of text into a field already cleared, never ending on the first
// half of a surrogate pair, so that a cut text still ends in a whole character and its zero.
void copyCut(wchar_t *field, const std::wstring &text, size_t max) {
    size_t n = std::min(text.size(), max);
    if (n < text.size() && n > 0 && text[n - 1] >= 0xD800 && text[n - 1] <= 0xDBFF) --n;
    std::copy_n(text.data(), n, field);
}

} // namespace

NotifyIconRecord makeNotifyIconRecord(HWND window, UINT id, HICON icon, const std::wstring &tip,
                                      const NotifyBalloon *balloon) {
    // Cleared as a whole, padding included, so that the shell is handed nothing left to chance.
    NotifyIconRecord r;
    std::memset(&r, 0, sizeof r);
    r.cbSize = sizeof(NotifyIconRecord);
    r.hWnd = window;
    r.uID = id;
    r.uFlags = kNotifyFlagMessage | kNotifyFlagIcon;
    r.uCallbackMessage = WM_USER + id;
    r.hIcon = icon ? icon : LoadIconW(nullptr, MAKEINTRESOURCEW(kStockLogoIcon));
    if (!tip.empty()) {
        r.uFlags |= kNotifyFlagTip;
        copyCut(r.szTip, tip, kNotifyTipChars);
    }
    if (balloon) {
        r.uFlags |= kNotifyFlagInfo;
        r.uTimeout = kNotifyBalloonMs;
        r.dwInfoFlags = kNotifyInfoIcon;
        copyCut(r.szInfoTitle, balloon->title, kNotifyTitleChars);
        // A balloon without text is how the shell is told to take one away: an empty text is
        // sent as one space, so that asking to show a balloon always shows one.
        copyCut(r.szInfo, balloon->text.empty() ? std::wstring(L" ") : balloon->text, kNotifyInfoChars);
    }
    return r;
}

BOOL shellNotifyIcon(DWORD operation, const NotifyIconRecord &record) {
    // The shell reads the record's size field and takes only as many bytes as that names.
    NotifyIconRecord copy = record;
    return Shell_NotifyIconW(operation, reinterpret_cast<NOTIFYICONDATAW *>(&copy));
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

void NotifyIcon::setTip(const std::wstring &tip) {
    m_tip = tip;
    notifyShell(kNotifyModify);
}

bool NotifyIcon::showBalloon(const NotifyBalloon &balloon) {
    const NotifyIconRecord r = makeNotifyIconRecord(m_owner, m_id, m_icon, m_tip, &balloon);
    return m_shell && m_shell(kNotifyModify, r) != FALSE;
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
