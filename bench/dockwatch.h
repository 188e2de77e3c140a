#pragma once

#include <QtGlobal>
#include <xcb/xcb.h>

#include <cstring>
#include <vector>

namespace tarv::bench {

// Watches the X display for a process's tray icon to be docked: a window that carries the
// process id in _NET_WM_PID and has been taken into another window (the tray's) instead of
// staying a child of the root window.
class DockWatch final {
public:
    DockWatch() {
        m_connection = xcb_connect(nullptr, nullptr);
        if (xcb_connection_has_error(m_connection)) return;
        m_root = xcb_setup_roots_iterator(xcb_get_setup(m_connection)).data->root;
        m_pidAtom = atom("_NET_WM_PID");
        m_trayAtom = atom("_NET_SYSTEM_TRAY_S0");
    }
    ~DockWatch() { xcb_disconnect(m_connection); }
    DockWatch(const DockWatch &) = delete;
    DockWatch &operator=(const DockWatch &) = delete;

    // A tray is running on the display.
    bool trayPresent() const {
        if (xcb_connection_has_error(m_connection) || m_trayAtom == 0) return false;
        auto *reply = xcb_get_selection_owner_reply(m_connection, xcb_get_selection_owner(m_connection, m_trayAtom), nullptr);
        const bool owned = reply && reply->owner != 0;
        free(reply);
        return owned;
    }

    // Whether a window of pid sits inside another program's window now.
    bool docked(qint64 pid) const {
        if (xcb_connection_has_error(m_connection)) return false;
        // The root's children are top-level windows; the tray's icons are further down.
        for (xcb_window_t top : children(m_root))
            for (xcb_window_t w : descendants(top))
                if (pidOf(w) == pid) return true;
        return false;
    }

private:
    xcb_atom_t atom(const char *name) const {
        auto *reply = xcb_intern_atom_reply(
            m_connection, xcb_intern_atom(m_connection, 1, uint16_t(std::strlen(name)), name), nullptr);
        const xcb_atom_t a = reply ? reply->atom : 0;
        free(reply);
        return a;
    }

    std::vector<xcb_window_t> children(xcb_window_t w) const {
        std::vector<xcb_window_t> out;
        auto *reply = xcb_query_tree_reply(m_connection, xcb_query_tree(m_connection, w), nullptr);
        if (!reply) return out;
        const xcb_window_t *c = xcb_query_tree_children(reply);
        out.assign(c, c + xcb_query_tree_children_length(reply));
        free(reply);
        return out;
    }

    std::vector<xcb_window_t> descendants(xcb_window_t w) const {
        std::vector<xcb_window_t> out = children(w);
        for (size_t i = 0; i < out.size(); ++i) {
            const std::vector<xcb_window_t> more = children(out[i]);
            out.insert(out.end(), more.begin(), more.end());
        }
        return out;
    }

    qint64 pidOf(xcb_window_t w) const {
        auto *reply = xcb_get_property_reply(
            m_connection, xcb_get_property(m_connection, 0, w, m_pidAtom, XCB_ATOM_CARDINAL, 0, 1), nullptr);
        qint64 pid = -1;
        if (reply && xcb_get_property_value_length(reply) == 4)
            pid = *static_cast<const uint32_t *>(xcb_get_property_value(reply));
        free(reply);
        return pid;
    }

    xcb_connection_t *m_connection = nullptr;
    xcb_window_t m_root = 0;
    xcb_atom_t m_pidAtom = 0;
    xcb_atom_t m_trayAtom = 0;
};

} // namespace tarv::bench
