#pragma once

// The notification-area icon on Windows: the record handed to the shell, the shell calls that add,
// update and remove the icon, and the hook on the owner window's procedure that turns the shell's
// mouse notifications into events. No Qt here; the program's tray component builds on it.

#include "platform/windows/windowhook.h"

#include <windows.h>

#include <cstddef>
#include <exception>
#include <functional>
#include <memory>
#include <string>

namespace tarv::win32 {

// NOTIFYICONDATAW in the layout of the shell's version 5, the first with balloons: 936 bytes in a
// 32-bit program, 952 in a 64-bit one. The text is UTF-16, so that the tip and the balloons read
// in Greek whatever the system's ANSI code page is (an English Windows, one set to UTF-8). The
// shell of every version since then accepts this size. No member initialisers: makeNotifyIconRecord
// clears it as a whole, padding included.
struct NotifyIconRecord {
    DWORD cbSize;
    HWND hWnd;
    UINT uID;
    UINT uFlags;
    UINT uCallbackMessage;
    HICON hIcon;
    wchar_t szTip[128];
    DWORD dwState;
    DWORD dwStateMask;
    wchar_t szInfo[256];
    UINT uTimeout;
    wchar_t szInfoTitle[64];
    DWORD dwInfoFlags;
};

constexpr bool kNotifyIs64Bit = sizeof(void *) == 8;
static_assert(offsetof(NotifyIconRecord, hWnd) == (kNotifyIs64Bit ? 8 : 4));
static_assert(offsetof(NotifyIconRecord, uID) == (kNotifyIs64Bit ? 16 : 8));
static_assert(offsetof(NotifyIconRecord, uFlags) == (kNotifyIs64Bit ? 20 : 12));
static_assert(offsetof(NotifyIconRecord, uCallbackMessage) == (kNotifyIs64Bit ? 24 : 16));
static_assert(offsetof(NotifyIconRecord, hIcon) == (kNotifyIs64Bit ? 32 : 20));
static_assert(offsetof(NotifyIconRecord, szTip) == (kNotifyIs64Bit ? 40 : 24));
static_assert(offsetof(NotifyIconRecord, szInfo) == (kNotifyIs64Bit ? 304 : 288));
static_assert(offsetof(NotifyIconRecord, uTimeout) == (kNotifyIs64Bit ? 816 : 800));
static_assert(offsetof(NotifyIconRecord, szInfoTitle) == (kNotifyIs64Bit ? 820 : 804));
static_assert(offsetof(NotifyIconRecord, dwInfoFlags) == (kNotifyIs64Bit ? 948 : 932));
static_assert(sizeof(NotifyIconRecord) == (kNotifyIs64Bit ? 952 : 936));

// The record's flags and the shell's operations.
constexpr UINT kNotifyFlagMessage = 1;
constexpr UINT kNotifyFlagIcon = 2;
constexpr UINT kNotifyFlagTip = 4;
constexpr UINT kNotifyFlagInfo = 0x10;
constexpr DWORD kNotifyAdd = 0;
constexpr DWORD kNotifyModify = 1;
constexpr DWORD kNotifyDelete = 2;
// A balloon with the information symbol, and how long it asks to stay (older shells honour it).
constexpr DWORD kNotifyInfoIcon = 1;
constexpr UINT kNotifyBalloonMs = 15000;

// The stock Windows-logo icon shown when the component has no image of its own.
constexpr WORD kStockLogoIcon = 32517;

// The longest tip: 63 characters, as the oldest record held, although this one has room for more,
// so that the tip reads the same on every shell.
constexpr size_t kNotifyTipChars = 63;
// The longest balloon title and text the record holds, each before its terminating zero.
constexpr size_t kNotifyTitleChars = sizeof(NotifyIconRecord::szInfoTitle) / sizeof(wchar_t) - 1;
constexpr size_t kNotifyInfoChars = sizeof(NotifyIconRecord::szInfo) / sizeof(wchar_t) - 1;

// A passing notification shown from the icon.
struct NotifyBalloon {
    std::wstring title;
    std::wstring text;
};

// The record for an icon. A null icon stands for the stock logo; a tip longer than 63 characters
// is cut there (never between the two halves of a surrogate pair), and an empty tip sets no tip
// flag. With a balloon, the record also asks the shell to show it, its title and text cut likewise.
NotifyIconRecord makeNotifyIconRecord(HWND window, UINT id, HICON icon, const std::wstring &tip,
                                      const NotifyBalloon *balloon = nullptr);

// What the component calls for the shell's mouse notifications. All are optional.
struct NotifyIconEvents {
    std::function<void()> onClick;
    std::function<void()> onDblClick;
    std::function<void()> onMouseDown;
    std::function<void()> onMouseMove;
    std::function<void()> onMouseUp;
    // Set while a menu with automatic pop-up is attached: pops it up with its top-left corner at
    // the given screen point and returns when it closes.
    std::function<void(POINT)> popupMenu;
    // Lets the GUI process pending messages, before and after the menu pops up.
    std::function<void()> processMessages;
    // Receives an error thrown by one of the above: it must not unwind through the window procedure.
    std::function<void(std::exception_ptr)> onError;
};

// One icon in the notification area on behalf of an owner window.
class NotifyIcon final {
public:
    // The shell's notify-icon call; tests put a recorder in its place.
    using ShellFunction = std::function<BOOL(DWORD operation, const NotifyIconRecord &record)>;

    // With an owner window, routes the icon's callback message to it through the window's
    // procedure, taking the smallest identifier from 1 up whose message the window does not route. Without
    // one, the icon gets identifier 0 and no hook, so no notification can reach it.
    explicit NotifyIcon(HWND owner);
    // Removes the icon from the notification area and ends the route.
    ~NotifyIcon();
    NotifyIcon(const NotifyIcon &) = delete;
    NotifyIcon &operator=(const NotifyIcon &) = delete;

    HWND ownerWindow() const { return m_owner; }
    UINT iconId() const { return m_id; }
    // WM_USER + the identifier: the message through which the shell reports the mouse.
    UINT callbackMessage() const { return WM_USER + m_id; }

    // Adds the icon to the notification area.
    bool show() { return notifyShell(kNotifyAdd); }
    // The image shown (not owned); null shows the stock logo. Updates the shown icon.
    void setIcon(HICON icon);
    HICON icon() const { return m_icon; }
    // The tooltip. Updates the shown icon; an empty tip leaves the shell's earlier tip in place.
    void setTip(const std::wstring &tip);
    const std::wstring &tip() const { return m_tip; }
    // Shows a balloon from the icon; true when the shell took it.
    bool showBalloon(const NotifyBalloon &balloon);

    // Sends the current record with add, modify or delete; true when the shell accepted it.
    bool notifyShell(DWORD operation);
    NotifyIconRecord record() const { return makeNotifyIconRecord(m_owner, m_id, m_icon, m_tip); }

    void setShellFunction(ShellFunction shell) { m_shell = std::move(shell); }

    // Handles one callback message: mouseMessage is the window message the shell saw over the icon.
    LRESULT handleCallback(LPARAM mouseMessage);

    NotifyIconEvents events;

private:
    HWND m_owner = nullptr;
    UINT m_id = 0;
    HICON m_icon = nullptr;
    std::wstring m_tip;
    ShellFunction m_shell;
    std::unique_ptr<MessageRoute> m_route;
};

// The shell's own notify-icon call.
BOOL shellNotifyIcon(DWORD operation, const NotifyIconRecord &record);

} // namespace tarv::win32
