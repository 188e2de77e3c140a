#include "platform/windows/windowhook.h"

#include <algorithm>
#include <vector>

namespace tarv::win32 {

// The hook of one window: the procedure it replaced and the live routes, newest last.
struct WindowRoutes {
    WNDPROC saved = nullptr;
    std::vector<MessageRoute *> routes;

    static LRESULT CALLBACK procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

    MessageRoute *routeFor(UINT message) const {
        for (auto it = routes.rbegin(); it != routes.rend(); ++it)
            if ((*it)->m_message == message) return *it;
        return nullptr;
    }
};

namespace {

// The window property under which a hooked window keeps its routes.
constexpr wchar_t kRoutesProperty[] = L"TarvMessageRoutes";

WindowRoutes *routesOf(HWND window) {
    return window ? static_cast<WindowRoutes *>(GetPropW(window, kRoutesProperty)) : nullptr;
}

LONG_PTR hookAddress() {
    return reinterpret_cast<LONG_PTR>(&WindowRoutes::procedure);
}

} // namespace

LRESULT CALLBACK WindowRoutes::procedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    WindowRoutes *hook = routesOf(window);
    if (!hook) return DefWindowProcW(window, message, wParam, lParam);
    if (MessageRoute *route = hook->routeFor(message)) {
        // An exception must not unwind through the system's frames that called this procedure.
        try {
            return route->m_handler(wParam, lParam);
        } catch (...) {
            return 0;
        }
    }
    const WNDPROC saved = hook->saved;
    if (message == WM_NCDESTROY) {
        // The window's last message: give it back its own procedure so that nothing refers to the
        // hook afterwards. Routes that outlive the window find no hook to leave.
        SetWindowLongPtrW(window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(saved));
        RemovePropW(window, kRoutesProperty);
        for (MessageRoute *route : hook->routes)
            route->m_active = false;
        delete hook;
    }
    return CallWindowProcW(saved, window, message, wParam, lParam);
}

MessageRoute::MessageRoute(HWND window, UINT message, Handler handler)
    : m_window(window), m_message(message), m_handler(std::move(handler)) {
    if (!window || !IsWindow(window) || !m_handler) return;
    WindowRoutes *hook = routesOf(window);
    if (!hook) {
        hook = new WindowRoutes;
        hook->saved = reinterpret_cast<WNDPROC>(GetWindowLongPtrW(window, GWLP_WNDPROC));
        if (!SetPropW(window, kRoutesProperty, hook)) {
            delete hook;
            return;
        }
        SetWindowLongPtrW(window, GWLP_WNDPROC, hookAddress());
    }
    hook->routes.push_back(this);
    m_active = true;
}

MessageRoute::~MessageRoute() {
    if (!m_active) return;
    WindowRoutes *hook = routesOf(m_window);
    if (!hook) return;
    hook->routes.erase(std::remove(hook->routes.begin(), hook->routes.end(), this), hook->routes.end());
    if (hook->routes.empty() && GetWindowLongPtrW(m_window, GWLP_WNDPROC) == hookAddress()) {
        SetWindowLongPtrW(m_window, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(hook->saved));
        RemovePropW(m_window, kRoutesProperty);
        delete hook;
    }
}

bool MessageRoute::isRouted(HWND window, UINT message) {
    const WindowRoutes *hook = routesOf(window);
    return hook && hook->routeFor(message) != nullptr;
}

} // namespace tarv::win32
