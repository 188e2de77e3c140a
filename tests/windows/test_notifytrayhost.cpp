// The notification-area host on a real owner window (run with Qt's Windows platform): what it
// hands the shell, and how the shell's callback messages reach the tray component.
#include "platform/windows/notifytrayhost.h"
#include "shell/trayicon.h"

#include <QPixmap>
#include <QWidget>
#include <gtest/gtest.h>

#include <vector>

namespace tarv {
namespace {

struct ShellCall {
    DWORD op;
    win32::NotifyIconRecord record;
};

class NotifyTrayHostTest : public ::testing::Test {
protected:
    void SetUp() override {
        host = makeNotifyTrayHost([this](DWORD op, const win32::NotifyIconRecord &r) {
            calls.push_back({op, r});
            return TRUE;
        });
        window = reinterpret_cast<HWND>(owner.winId());
        ASSERT_TRUE(IsWindow(window)) << "run with -platform windows";
    }

    NotifyIconData data(const QString &tip = QStringLiteral("Tarv")) {
        NotifyIconData d;
        d.window = &owner;
        d.id = 1;
        d.flags = NifMessage | NifIcon | (tip.isEmpty() ? 0u : unsigned(NifTip));
        QPixmap red(16, 16);
        red.fill(Qt::red);
        d.icon = QIcon(red);
        d.tip = tip;
        return d;
    }

    QWidget owner;
    HWND window = nullptr;
    std::vector<ShellCall> calls;
    std::unique_ptr<TrayHost> host;
};

TEST_F(NotifyTrayHostTest, HandsTheShellTheOwnersRecordOnceAdded) {
    EXPECT_FALSE(host->notify(NotifyOp::Modify, data())) << "nothing to modify before the add";
    ASSERT_TRUE(host->notify(NotifyOp::Add, data()));
    EXPECT_FALSE(host->notify(NotifyOp::Add, data())) << "one icon per host";
    ASSERT_EQ(calls.size(), 1u);
    const win32::NotifyIconRecord &r = calls[0].record;
    EXPECT_EQ(calls[0].op, win32::kNotifyAdd);
    EXPECT_EQ(r.hWnd, window);
    EXPECT_EQ(r.uID, 1u);
    EXPECT_EQ(r.uCallbackMessage, UINT(WM_USER + 1));
    EXPECT_NE(r.hIcon, nullptr);
    EXPECT_EQ(QString::fromWCharArray(r.szTip), QStringLiteral("Tarv"));

    // A modify without the tip flag keeps the earlier tip.
    ASSERT_TRUE(host->notify(NotifyOp::Modify, data(QString())));
    EXPECT_EQ(QString::fromWCharArray(calls.back().record.szTip), QStringLiteral("Tarv"));
    ASSERT_TRUE(host->notify(NotifyOp::Delete, data()));
    EXPECT_EQ(calls.back().op, win32::kNotifyDelete);
    EXPECT_FALSE(host->notify(NotifyOp::Delete, data()));
}

// Run under a code page other than 1253 (the test script sees to it): the Greek tip and balloon
// reach the shell's record as they were written, not as question marks.
TEST_F(NotifyTrayHostTest, GreekTipAndBalloonReachTheRecordWhateverTheCodePage) {
    EXPECT_NE(GetACP(), 1253u) << "this test proves something only under another code page";
    const QString tip = QStringLiteral("Σύνδεση: Ανενεργή");
    EXPECT_FALSE(host->showBalloon(QStringLiteral("Tarv"), tip)) << "no balloon before the icon is there";
    ASSERT_TRUE(host->notify(NotifyOp::Add, data(tip)));
    EXPECT_EQ(QString::fromWCharArray(calls.back().record.szTip), tip);

    TTrayIcon tray(&owner, std::move(host));
    tray.setTip(tip);
    ASSERT_TRUE(tray.showBalloon(QStringLiteral("Μετρητής"), QStringLiteral("Διπλό κλικ για το παράθυρο")));
    const win32::NotifyIconRecord &r = calls.back().record;
    EXPECT_EQ(calls.back().op, win32::kNotifyModify);
    EXPECT_TRUE(r.uFlags & win32::kNotifyFlagInfo);
    EXPECT_EQ(QString::fromWCharArray(r.szInfoTitle), QStringLiteral("Μετρητής"));
    EXPECT_EQ(QString::fromWCharArray(r.szInfo), QStringLiteral("Διπλό κλικ για το παράθυρο"));
    EXPECT_EQ(QString::fromWCharArray(r.szTip), tip) << "the balloon keeps the tip";
}

TEST_F(NotifyTrayHostTest, RoutesTheIconsMessagesWhileAddedAndReaddsAfterAShellRestart) {
    std::vector<TrayMessage> seen;
    host->deliver = [&](TrayMessage &m) {
        seen.push_back(m);
        m.result = 7;
    };
    ASSERT_TRUE(host->notify(NotifyOp::Add, data()));
    EXPECT_EQ(SendMessageW(window, WM_USER + 1, 1, WM_LBUTTONDBLCLK), 7);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].msg, unsigned(WM_USER + 1));
    EXPECT_EQ(seen[0].lParam, WM_LBUTTONDBLCLK);
    SendMessageW(window, WM_USER + 2, 2, WM_LBUTTONDBLCLK);
    EXPECT_EQ(seen.size(), 1u) << "another icon's message is not this one's";

    SendMessageW(window, RegisterWindowMessageW(L"TaskbarCreated"), 0, 0);
    EXPECT_EQ(calls.back().op, win32::kNotifyAdd);

    ASSERT_TRUE(host->notify(NotifyOp::Delete, data()));
    SendMessageW(window, WM_USER + 1, 1, WM_LBUTTONDBLCLK);
    EXPECT_EQ(seen.size(), 1u) << "no route once the icon is gone";
}

TEST_F(NotifyTrayHostTest, TheTrayComponentsRulesRunOnTheShellsMessages) {
    int doubleClicks = 0, presses = 0;
    {
        TTrayIcon tray(&owner, std::move(host));
        tray.OnDblClick = [&](QObject *) { ++doubleClicks; };
        tray.OnClick = [&](QObject *) { ++presses; };
        tray.ShowIcon();
        ASSERT_EQ(calls.size(), 1u);
        const UINT callback = calls[0].record.uCallbackMessage;
        SendMessageW(window, callback, 0, WM_LBUTTONDOWN);
        SendMessageW(window, callback, 0, WM_LBUTTONDBLCLK);
        EXPECT_EQ(presses, 1);
        EXPECT_EQ(doubleClicks, 1);
    }
    EXPECT_EQ(calls.back().op, win32::kNotifyDelete) << "the icon leaves with the component";
}

} // namespace
} // namespace tarv
