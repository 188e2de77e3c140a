#pragma once

// Small helpers shared by the Win32 back-ends. No Qt here.

#include <windows.h>

namespace tarv::win32 {

// A library loaded by name and released when the scope ends.
class ScopedLibrary final {
public:
    explicit ScopedLibrary(const char *name) : m_module(LoadLibraryA(name)) {}
    ~ScopedLibrary() {
        if (m_module) FreeLibrary(m_module);
    }
    ScopedLibrary(const ScopedLibrary &) = delete;
    ScopedLibrary &operator=(const ScopedLibrary &) = delete;

    explicit operator bool() const { return m_module != nullptr; }

    // The exported function of that name as a pointer of type Fn, or null.
    template <typename Fn> Fn function(const char *name) const {
        if (!m_module) return nullptr;
        // A detour through void (*)() keeps the compiler from warning about the cast between
        // unrelated function types, which is what looking up an export by name requires.
        return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(GetProcAddress(m_module, name)));
    }

private:
    HMODULE m_module = nullptr;
};

} // namespace tarv::win32
