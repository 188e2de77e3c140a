#include "platform/windows/notifytrayhost.h"

#include "platform/windows/windowhook.h"

#include <QCursor>
#include <QImage>
#include <QMenu>
#include <QPixmap>
#include <QWidget>

namespace tarv {

namespace {

// A Qt icon as a small icon handle, at the size the notification area draws.
HICON toIconHandle(const QIcon &icon) {
    const int side = GetSystemMetrics(SM_CXSMICON) > 0 ? GetSystemMetrics(SM_CXSMICON) : 16;
    const QPixmap pixmap = icon.pixmap(side, side);
    return pixmap.isNull() ? nullptr : pixmap.toImage().toHICON();
}

class NotifyTrayHost final : public TrayHost {
public:
    explicit NotifyTrayHost(win32::NotifyIcon::ShellFunction shell) : m_shell(std::move(shell)) {}
    ~NotifyTrayHost() override {
        if (m_added) send(win32::kNotifyDelete);
        unhook();
        if (m_icon) DestroyIcon(m_icon);
    }

    bool notify(NotifyOp op, const NotifyIconData &data) override {
        switch (op) {
        case NotifyOp::Add: {
            if (m_added || !data.window) return false;
            // The owner's native window: created here if the owner was never shown.
            m_window = reinterpret_cast<HWND>(data.window->winId());
            m_id = data.id;
            apply(data);
            hook();
            m_added = send(win32::kNotifyAdd);
            if (!m_added) unhook();
            return m_added;
        }
        case NotifyOp::Modify:
            if (!m_added) return false;
            apply(data);
            return send(win32::kNotifyModify);
        case NotifyOp::Delete: {
            if (!m_added) return false;
            m_added = false;
            const bool ok = send(win32::kNotifyDelete);
            unhook();
            return ok;
        }
        }
        return false;
    }

    QIcon stockIcon() const override {
        // The Windows logo, as the shell shows for an icon record without an image.
        HICON logo = LoadIconW(nullptr, MAKEINTRESOURCEW(win32::kStockLogoIcon));
        return logo ? QIcon(QPixmap::fromImage(QImage::fromHICON(logo))) : QIcon();
    }

    QPoint cursorPos() const override { return QCursor::pos(); }

    void bringToForeground(QWidget *window) override {
        // Also for a hidden owner: a tray menu closes on a click elsewhere only when its owner
        // is the foreground window.
        if (window) SetForegroundWindow(reinterpret_cast<HWND>(window->winId()));
    }

    bool showBalloon(const QString &title, const QString &text) override {
        // A balloon comes from an icon the shell has; before the add there is none.
        if (!m_added) return false;
        const win32::NotifyBalloon balloon{title.toStdWString(), text.toStdWString()};
        return m_shell && m_shell(win32::kNotifyModify,
                                  win32::makeNotifyIconRecord(m_window, m_id, m_icon, m_tip, &balloon)) != FALSE;
    }

    void popupMenu(QMenu *menu, const QPoint &at) override {
        menu->exec(at);
        // Lets the owner's message loop run once, so that the next click on the icon opens the
        // menu again instead of only closing the last one.
        if (m_window) PostMessageW(m_window, WM_NULL, 0, 0);
    }

private:
    // Keeps the record's fields; the shell gets them with the next send.
    void apply(const NotifyIconData &data) {
        if ((data.flags & NifIcon) && data.icon.cacheKey() != m_iconKey) {
            HICON next = toIconHandle(data.icon);
            // The shell copies the image when it takes the record; the old handle goes after.
            m_pendingOld = m_icon;
            m_icon = next;
            m_iconKey = data.icon.cacheKey();
        }
        // Without the tip flag the shell keeps the tip it has.
        if (data.flags & NifTip) m_tip = data.tip.toStdWString();
    }

    bool send(DWORD operation) {
        const win32::NotifyIconRecord record = win32::makeNotifyIconRecord(m_window, m_id, m_icon, m_tip);
        const bool ok = m_shell && m_shell(operation, record) != FALSE;
        if (m_pendingOld) {
            DestroyIcon(m_pendingOld);
            m_pendingOld = nullptr;
        }
        return ok;
    }

    // The icon's callback message and the shell's restart message, on the owner's procedure.
    void hook() {
        const UINT taskbarCreated = RegisterWindowMessageW(L"TaskbarCreated");
        m_iconRoute = std::make_unique<win32::MessageRoute>(
            m_window, WM_USER + m_id, [this](WPARAM w, LPARAM l) { return forward(w, l); });
        m_restartRoute = std::make_unique<win32::MessageRoute>(m_window, taskbarCreated, [this](WPARAM, LPARAM) {
            // A restarted shell has lost every icon: this one is added again.
            if (m_added) send(win32::kNotifyAdd);
            return LRESULT(0);
        });
    }

    void unhook() {
        m_iconRoute.reset();
        m_restartRoute.reset();
    }

    LRESULT forward(WPARAM wParam, LPARAM lParam) {
        if (!deliver) return 1;
        TrayMessage m{WM_USER + m_id, quintptr(wParam), qintptr(lParam), 0};
        deliver(m);
        return LRESULT(m.result);
    }

    win32::NotifyIcon::ShellFunction m_shell;
    HWND m_window = nullptr;
    unsigned m_id = 0;
    HICON m_icon = nullptr;
    HICON m_pendingOld = nullptr;
    qint64 m_iconKey = 0;
    std::wstring m_tip;
    bool m_added = false;
    std::unique_ptr<win32::MessageRoute> m_iconRoute;
    std::unique_ptr<win32::MessageRoute> m_restartRoute;
};

} // namespace

std::unique_ptr<TrayHost> makeNotifyTrayHost(win32::NotifyIcon::ShellFunction shell) {
    return std::make_unique<NotifyTrayHost>(std::move(shell));
}

std::unique_ptr<TrayHost> makeSystemTrayHost() {
    return makeNotifyTrayHost(win32::shellNotifyIcon);
}

} // namespace tarv
