#pragma once

#include "shell/trayhost.h"

#include <QList>
#include <QMenu>
#include <QPointer>
#include <memory>

namespace tarv::test {

// A notification area that records what it is told and lets a test click the icon.
class FakeTrayHost final : public TrayHost {
public:
    struct Call {
        NotifyOp op;
        NotifyIconData data;
    };
    bool notify(NotifyOp op, const NotifyIconData &data) override {
        calls.append({op, data});
        if (log) log->append(op);
        return true;
    }
    QIcon stockIcon() const override {
        ++stockLookups;
        return stock;
    }
    QPoint cursorPos() const override { return cursor; }
    void bringToForeground(QWidget *window) override { foreground = window; }
    void popupMenu(QMenu *menu, const QPoint &at) override { popups.append({menu, at}); }
    void setMenu(QMenu *m) override { menu = m; }
    // The mouse message the host saw over the icon, as the owner window receives it.
    qintptr mouse(unsigned message, unsigned id = 1) {
        TrayMessage m{WmUser + id, id, static_cast<qintptr>(message), 0};
        if (deliver) deliver(m);
        return m.result;
    }

    QList<Call> calls;
    // Outlives the host, which the component owns and frees.
    std::shared_ptr<QList<NotifyOp>> log;
    QIcon stock;
    mutable int stockLookups = 0;
    QPoint cursor{0, 0};
    QWidget *foreground = nullptr;
    QList<QPair<QPointer<QMenu>, QPoint>> popups;
    QMenu *menu = nullptr;
};

} // namespace tarv::test
