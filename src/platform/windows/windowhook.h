#pragma once

// Replacing a window's procedure to catch single messages: the routes of one window share one
// hook, which hands each routed message to its handler and passes every other message on to the
// procedure the window had before, returning that procedure's result. No Qt here.

#include <windows.h>

#include <functional>

namespace tarv::win32 {

// One message of one window routed to a handler while the route lives.
class MessageRoute final {
public:
    using Handler = std::function<LRESULT(WPARAM, LPARAM)>;

    // Hooks the window's procedure if no route has yet. The handler's result is the message's
    // result; it should not throw (an exception is stopped at the window procedure and reads as 0). A message
    // that is routed already is taken over by the newer route until that one ends.
    MessageRoute(HWND window, UINT message, Handler handler);
    // Ends the route; the last route of a window gives the window its own procedure back, unless
    // someone replaced the procedure since, in which case the hook stays and passes everything on.
    ~MessageRoute();
    MessageRoute(const MessageRoute &) = delete;
    MessageRoute &operator=(const MessageRoute &) = delete;

    // False when the window did not exist: such a route never receives anything.
    bool active() const { return m_active; }
    HWND window() const { return m_window; }
    UINT message() const { return m_message; }

    // Whether some live route of the window takes that message.
    static bool isRouted(HWND window, UINT message);

private:
    friend struct WindowRoutes;
    HWND m_window = nullptr;
    UINT m_message = 0;
    Handler m_handler;
    bool m_active = false;
};

} // namespace tarv::win32
