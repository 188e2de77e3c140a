// The notify-icon record, the shell calls and the hook on the owner window's procedure.

#include "check.h"

#include "platform/windows/notifyicon.h"

#include <windows.h>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

using namespace tarv::win32;

namespace {

constexpr bool k64 = sizeof(void *) == 8;
constexpr UINT kOwnMessage = WM_USER + 77;
constexpr LRESULT kOwnResult = 4242;

std::vector<UINT> g_ownerMessages;

// The owner window's own procedure: it answers kOwnMessage with kOwnResult and notes what it saw.
LRESULT CALLBACK ownerProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message >= WM_USER) g_ownerMessages.push_back(message);
    if (message == kOwnMessage) return kOwnResult + static_cast<LRESULT>(wParam);
    return DefWindowProcW(window, message, wParam, lParam);
}

// A top-level window when a display is there, else a message-only window, which the hook serves
// just as well. displayed tells which one it became.
HWND makeOwner(bool *displayed = nullptr) {
    static const ATOM cls = [] {
        WNDCLASSW wc{};
        wc.lpfnWndProc = ownerProc;
        wc.hInstance = GetModuleHandleW(nullptr);
        wc.lpszClassName = L"TarvNotifyIconTestOwner";
        return RegisterClassW(&wc);
    }();
    (void)cls;
    HWND w = CreateWindowExW(0, L"TarvNotifyIconTestOwner", L"owner", WS_OVERLAPPEDWINDOW, 0, 0, 100, 100,
                             nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    if (displayed) *displayed = w != nullptr;
    if (!w)
        w = CreateWindowExW(0, L"TarvNotifyIconTestOwner", L"owner", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                            GetModuleHandleW(nullptr), nullptr);
    return w;
}

void putLittleEndian(std::vector<unsigned char> &bytes, size_t at, unsigned long long value, size_t width) {
    for (size_t i = 0; i < width; ++i)
        bytes[at + i] = static_cast<unsigned char>(value >> (8 * i));
}

struct ShellCall {
    DWORD operation;
    NotifyIconRecord record;
};

} // namespace

TARV_TEST(recordBytesForALongTip) {
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(0x12345678));
    HICON icon = reinterpret_cast<HICON>(static_cast<uintptr_t>(0x0badf00d));
    std::wstring tip;
    for (int i = 0; i < 70; ++i)
        tip += static_cast<wchar_t>(0x391 + i % 24); // Greek capitals, which no single-byte page of most systems holds
    const NotifyIconRecord r = makeNotifyIconRecord(window, 1, icon, tip);

    // The record written out by hand, offset by offset.
    const size_t ptr = k64 ? 8 : 4;
    std::vector<unsigned char> expected(k64 ? 952 : 936, 0);
    putLittleEndian(expected, 0, expected.size(), 4);
    putLittleEndian(expected, ptr, 0x12345678, ptr);     // window
    putLittleEndian(expected, 2 * ptr, 1, 4);            // identifier
    putLittleEndian(expected, 2 * ptr + 4, 3 + 4, 4);    // message, icon and tip flags
    putLittleEndian(expected, 2 * ptr + 8, 1024 + 1, 4); // callback message
    putLittleEndian(expected, k64 ? 32 : 20, 0x0badf00d, ptr);
    const size_t tipAt = k64 ? 40 : 24;
    for (size_t i = 0; i < 63; ++i) // 63 UTF-16 characters, then the zero already there
        putLittleEndian(expected, tipAt + 2 * i, tip[i], 2);

    CHECK_EQ(sizeof r, expected.size());
    std::vector<unsigned char> actual(sizeof r);
    std::memcpy(actual.data(), &r, sizeof r);
    for (size_t i = 0; i < actual.size() && i < expected.size(); ++i)
        CHECK_EQ_IN("byte " + std::to_string(i), int(actual[i]), int(expected[i]));
}

TARV_TEST(recordWithoutTipOrIcon) {
    const NotifyIconRecord r = makeNotifyIconRecord(nullptr, 2, nullptr, L"");
    CHECK_EQ(r.uFlags, UINT(3));
    CHECK_EQ(r.uCallbackMessage, UINT(1026));
    const wchar_t zeros[128] = {};
    CHECK(std::memcmp(r.szTip, zeros, sizeof zeros) == 0);
    // No image of its own: the stock logo.
    CHECK(r.hIcon != nullptr);
    CHECK(r.hIcon == LoadIconA(nullptr, MAKEINTRESOURCEA(32517)));
    // Exactly 63 characters fit whole; a cut never leaves half a surrogate pair behind.
    const NotifyIconRecord full = makeNotifyIconRecord(nullptr, 1, nullptr, std::wstring(63, L'x'));
    CHECK(std::wstring(full.szTip) == std::wstring(63, L'x'));
    const std::wstring pairAtTheCut = std::wstring(62, L'x') + L"\xD83D\xDCDE";
    CHECK(std::wstring(makeNotifyIconRecord(nullptr, 1, nullptr, pairAtTheCut).szTip) == std::wstring(62, L'x'));
}

TARV_TEST(balloonRecords) {
    const std::wstring tip = L"\x03A3\x03CD\x03BD\x03B4\x03B5\x03C3\x03B7: \x0391\x03BD\x03B5\x03BD\x03B5\x03C1\x03B3\x03AE";
    const struct {
        const char *name;
        std::wstring title, text, expectTitle, expectText;
    } rows[] = {
        {"Greek", L"\x03A4\x03B1\x03C1\x03B2", tip, L"\x03A4\x03B1\x03C1\x03B2", tip},
        {"long", std::wstring(80, L't'), std::wstring(300, L'b'), std::wstring(63, L't'), std::wstring(255, L'b')},
        // An empty text would take a balloon away instead of showing one.
        {"empty text", L"", L"", L"", L" "},
    };
    for (const auto &row : rows) {
        const NotifyBalloon balloon{row.title, row.text};
        const NotifyIconRecord r = makeNotifyIconRecord(nullptr, 1, nullptr, tip, &balloon);
        CHECK_EQ_IN(row.name, r.uFlags, UINT(1 | 2 | 4 | 0x10));
        CHECK_EQ_IN(row.name, r.dwInfoFlags, DWORD(1));
        CHECK_EQ_IN(row.name, std::wstring(r.szInfoTitle) == row.expectTitle, true);
        CHECK_EQ_IN(row.name, std::wstring(r.szInfo) == row.expectText, true);
        CHECK_EQ_IN(row.name, std::wstring(r.szTip) == tip, true);
    }
    // Without a balloon the balloon's fields stay clear.
    const NotifyIconRecord plain = makeNotifyIconRecord(nullptr, 1, nullptr, tip);
    CHECK_EQ(plain.uFlags & 0x10, UINT(0));
    CHECK(plain.szInfo[0] == 0 && plain.szInfoTitle[0] == 0);
}

TARV_TEST(shellCallsOfTheIconsLife) {
    HWND owner = makeOwner();
    std::vector<ShellCall> calls;
    HICON image = LoadIconA(nullptr, MAKEINTRESOURCEA(32516));
    {
        NotifyIcon icon(owner);
        icon.setShellFunction([&](DWORD op, const NotifyIconRecord &r) {
            calls.push_back({op, r});
            return TRUE;
        });
        icon.show();
        icon.setTip(L"Today: 12,5 Euro");
        icon.setTip(L"");
        CHECK(icon.showBalloon({L"Title", L"Text"}));
        icon.setIcon(image);
    }
    CHECK_EQ(calls.size(), size_t(6));
    if (calls.size() == 6) {
        const DWORD ops[] = {kNotifyAdd, kNotifyModify, kNotifyModify, kNotifyModify, kNotifyModify, kNotifyDelete};
        const UINT flags[] = {3, 7, 3, 3 | 0x10, 3, 3};
        for (size_t i = 0; i < 6; ++i) {
            const std::string row = "call " + std::to_string(i);
            CHECK_EQ_IN(row, calls[i].operation, ops[i]);
            CHECK_EQ_IN(row, calls[i].record.uFlags, flags[i]);
            CHECK_EQ_IN(row, calls[i].record.hWnd == owner, true);
            CHECK_EQ_IN(row, calls[i].record.uID, UINT(1));
            CHECK_EQ_IN(row, calls[i].record.uCallbackMessage, UINT(1025));
        }
        CHECK(std::wstring(calls[1].record.szTip) == L"Today: 12,5 Euro");
        CHECK(calls[2].record.szTip[0] == 0);
        CHECK(std::wstring(calls[3].record.szInfo) == L"Text");
        CHECK(calls[4].record.hIcon == image);
    }
    DestroyWindow(owner);
}

TARV_TEST(theShellTakesTheRecord) {
    bool displayed = false;
    HWND owner = makeOwner(&displayed);
    if (!displayed) {
        tarv::wintest::skip("no display: the shell keeps no notification area");
        DestroyWindow(owner);
        return;
    }
    {
        NotifyIcon icon(owner);
        CHECK(icon.show());
        // Greek, which the shell keeps whatever the system's code page is.
        icon.setTip(L"\x03A3\x03CD\x03BD\x03B4\x03B5\x03C3\x03B7: \x0391\x03BD\x03B5\x03BD\x03B5\x03C1\x03B3\x03AE");
        CHECK(icon.notifyShell(kNotifyModify));
        CHECK(icon.showBalloon({L"\x03A4\x03B1\x03C1\x03B2", L"\x0394\x03C1\x03C7"}));
        icon.setTip(std::wstring(70, L't'));
        CHECK(icon.notifyShell(kNotifyModify));
        CHECK(icon.notifyShell(kNotifyDelete));
        // Gone: the shell knows the icon no more.
        CHECK(!icon.notifyShell(kNotifyModify));
    }
    DestroyWindow(owner);
}

TARV_TEST(hookRoutesTheShellsMouseMessages) {
    HWND owner = makeOwner();
    const LONG_PTR ownProc = GetWindowLongPtrW(owner, GWLP_WNDPROC);
    std::string fired;
    int popups = 0, pumps = 0;
    {
        NotifyIcon icon(owner);
        CHECK(GetWindowLongPtrW(owner, GWLP_WNDPROC) != ownProc);
        icon.setShellFunction([](DWORD, const NotifyIconRecord &) { return TRUE; });
        icon.events.onClick = [&] { fired += "click "; };
        icon.events.onDblClick = [&] { fired += "dbl "; };
        icon.events.onMouseDown = [&] { fired += "down "; };
        icon.events.onMouseMove = [&] { fired += "move "; };
        icon.events.onMouseUp = [&] { fired += "up "; };
        icon.events.processMessages = [&] { ++pumps; };

        const struct {
            LPARAM mouse;
            const char *event;
            LRESULT result;
        } rows[] = {
            {WM_MOUSEMOVE, "move ", 0},    {WM_LBUTTONDOWN, "down ", 0},  {WM_RBUTTONDOWN, "down ", 0},
            {WM_MBUTTONDOWN, "down ", 0},  {WM_LBUTTONUP, "up ", 0},      {WM_RBUTTONUP, "up ", 0},
            {WM_MBUTTONUP, "up ", 0},      {WM_LBUTTONDBLCLK, "dbl ", 0}, {WM_RBUTTONDBLCLK, "dbl ", 0},
            {WM_MBUTTONDBLCLK, "dbl ", 0}, {WM_KEYDOWN, "", 1},           {0, "", 1},
        };
        for (const auto &row : rows) {
            fired.clear();
            const LRESULT result = SendMessageW(owner, 1025, 0, row.mouse);
            const std::string name = "mouse message " + std::to_string(row.mouse);
            CHECK_EQ_IN(name, fired, std::string(row.event));
            CHECK_EQ_IN(name, result, row.result);
        }

        // Without a handler for the press, the click handler takes it.
        icon.events.onMouseDown = nullptr;
        fired.clear();
        SendMessageW(owner, 1025, 0, WM_LBUTTONDOWN);
        CHECK_EQ(fired, std::string("click "));

        // With a menu that pops up by itself, a right press opens it at the cursor and fires nothing.
        POINT poppedAt{-1, -1};
        icon.events.popupMenu = [&](POINT at) {
            ++popups;
            poppedAt = at;
        };
        fired.clear();
        SendMessageW(owner, 1025, 0, WM_RBUTTONDOWN);
        CHECK_EQ(fired, std::string());
        CHECK_EQ(popups, 1);
        CHECK_EQ(pumps, 2);
        POINT cursor{};
        GetCursorPos(&cursor);
        CHECK(poppedAt.x == cursor.x && poppedAt.y == cursor.y);
        // The left button still clicks.
        SendMessageW(owner, 1025, 0, WM_LBUTTONDOWN);
        CHECK_EQ(fired, std::string("click "));

        // Every other message reaches the window's own procedure, whose answer comes back.
        g_ownerMessages.clear();
        CHECK_EQ(SendMessageW(owner, kOwnMessage, 5, 0), kOwnResult + 5);
        CHECK_EQ(SendMessageW(owner, 1026, 0, WM_LBUTTONDOWN), LRESULT(0));
        CHECK_EQ(g_ownerMessages.size(), size_t(2));

        // An error in an event goes to the error handler instead of through the window procedure.
        std::exception_ptr caught;
        icon.events.onDblClick = [] { throw std::runtime_error("from the event"); };
        icon.events.onError = [&](std::exception_ptr e) { caught = e; };
        CHECK_EQ(SendMessageW(owner, 1025, 0, WM_LBUTTONDBLCLK), LRESULT(0));
        CHECK(caught != nullptr);
    }
    // The window has its own procedure back.
    CHECK(GetWindowLongPtrW(owner, GWLP_WNDPROC) == ownProc);
    DestroyWindow(owner);
}

TARV_TEST(iconsShareTheirOwnersHook) {
    HWND owner = makeOwner();
    const LONG_PTR ownProc = GetWindowLongPtrW(owner, GWLP_WNDPROC);
    const auto quiet = [](DWORD, const NotifyIconRecord &) { return TRUE; };
    int firstClicks = 0, secondClicks = 0;
    auto first = std::make_unique<NotifyIcon>(owner);
    auto second = std::make_unique<NotifyIcon>(owner);
    first->setShellFunction(quiet);
    second->setShellFunction(quiet);
    first->events.onClick = [&] { ++firstClicks; };
    second->events.onClick = [&] { ++secondClicks; };
    CHECK_EQ(first->iconId(), UINT(1));
    CHECK_EQ(second->iconId(), UINT(2));
    CHECK_EQ(second->callbackMessage(), UINT(1026));
    SendMessageW(owner, 1025, 0, WM_LBUTTONDOWN);
    SendMessageW(owner, 1026, 0, WM_LBUTTONDOWN);
    SendMessageW(owner, 1026, 0, WM_LBUTTONDOWN);
    CHECK_EQ(firstClicks, 1);
    CHECK_EQ(secondClicks, 2);

    // The first one goes: its message passes through again, and a new icon takes the free identifier.
    first.reset();
    g_ownerMessages.clear();
    SendMessageW(owner, 1025, 0, WM_LBUTTONDOWN);
    CHECK_EQ(g_ownerMessages.size(), size_t(1));
    auto third = std::make_unique<NotifyIcon>(owner);
    third->setShellFunction(quiet);
    CHECK_EQ(third->iconId(), UINT(1));
    second.reset();
    third.reset();
    CHECK(GetWindowLongPtrW(owner, GWLP_WNDPROC) == ownProc);
    DestroyWindow(owner);
}

TARV_TEST(iconWithoutOwnerOrOutlivingIt) {
    NotifyIcon orphan(nullptr);
    orphan.setShellFunction([](DWORD, const NotifyIconRecord &) { return TRUE; });
    CHECK_EQ(orphan.iconId(), UINT(0));
    CHECK(orphan.ownerWindow() == nullptr);

    // The window goes first: the icon must not touch it afterwards.
    HWND owner = makeOwner();
    {
        NotifyIcon icon(owner);
        icon.setShellFunction([](DWORD, const NotifyIconRecord &) { return TRUE; });
        CHECK(DestroyWindow(owner));
        CHECK(!IsWindow(owner));
    }
    // A new window may be handed the same handle value; it starts without a hook.
    HWND next = makeOwner();
    g_ownerMessages.clear();
    CHECK_EQ(SendMessageW(next, kOwnMessage, 0, 0), kOwnResult);
    CHECK_EQ(g_ownerMessages.size(), size_t(1));
    DestroyWindow(next);
}

namespace {
WNDPROC g_laterSaved = nullptr;
int g_laterSeen = 0;
// A procedure that another part of the program puts in after the hook, forwarding everything.
LRESULT CALLBACK laterProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == kOwnMessage) ++g_laterSeen;
    return CallWindowProcW(g_laterSaved, window, message, wParam, lParam);
}
} // namespace

TARV_TEST(routesNewestFirstAndProceduresReplacedLater) {
    HWND owner = makeOwner();
    const LONG_PTR ownProc = GetWindowLongPtrW(owner, GWLP_WNDPROC);
    {
        MessageRoute older(owner, kOwnMessage, [](WPARAM, LPARAM) { return LRESULT(1); });
        {
            MessageRoute newer(owner, kOwnMessage, [](WPARAM, LPARAM) { return LRESULT(2); });
            CHECK_EQ(SendMessageW(owner, kOwnMessage, 0, 0), LRESULT(2));
        }
        CHECK_EQ(SendMessageW(owner, kOwnMessage, 0, 0), LRESULT(1));

        g_laterSaved = reinterpret_cast<WNDPROC>(
            SetWindowLongPtrW(owner, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&laterProc)));
    }
    // The later procedure must stay: taking the window's own back would cut it out of the chain.
    CHECK(GetWindowLongPtrW(owner, GWLP_WNDPROC) == reinterpret_cast<LONG_PTR>(&laterProc));
    g_laterSeen = 0;
    CHECK_EQ(SendMessageW(owner, kOwnMessage, 1, 0), kOwnResult + 1);
    CHECK_EQ(g_laterSeen, 1);
    // A new route on the same window still works through the hook left behind.
    {
        MessageRoute again(owner, kOwnMessage, [](WPARAM, LPARAM) { return LRESULT(3); });
        CHECK_EQ(SendMessageW(owner, kOwnMessage, 0, 0), LRESULT(3));
    }
    CHECK(ownProc != 0);
    DestroyWindow(owner);
}
