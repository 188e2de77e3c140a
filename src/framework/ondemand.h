#pragma once

#include "framework/application.h"

#include <functional>
#include <memory>
#include <utility>

namespace tarv {

// A window made the first time it is asked for: the program seldom opens its other windows, and
// building them at start-up costs time and memory that the tray does not need. A window given
// from outside (a test's own) stands in for the one the factory would make.
template <typename T> class OnDemand final {
public:
    using Factory = std::function<std::unique_ptr<T>()>;

    void setFactory(Factory factory) { m_factory = std::move(factory); }
    void setGiven(T *window) { m_window = window; }
    // The window once it exists, null before.
    T *get() const { return m_window; }
    // The window, made now if need be. A factory that fails is shown as an error and is cleared
    // first, so that it is not asked again at every click; null then.
    T *make() {
        if (!m_window && m_factory) {
            const Factory factory = std::exchange(m_factory, nullptr);
            runGuarded([&] { m_own = factory(); });
            m_window = m_own.get();
        }
        return m_window;
    }
    // Destroys a window made here, for an owner whose other members the window uses.
    void reset() {
        m_window = nullptr;
        m_own.reset();
    }

private:
    Factory m_factory;
    std::unique_ptr<T> m_own;
    T *m_window = nullptr;
};

} // namespace tarv
