#pragma once

// Small helpers shared by the Win32 back-ends. No Qt here.

#include <windows.h>

#include <string>

namespace tarv::win32 {

// A library of the system, loaded from the system folder only and released when the scope ends.
// A library of that name in the program's folder, the current folder or on the PATH is never
// loaded in its place: any of those may be writable by someone other than the user.
class ScopedLibrary final {
public:
    explicit ScopedLibrary(const wchar_t *fileName) : m_module(loadSystemLibrary(fileName)) {}
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
    static HMODULE loadSystemLibrary(const wchar_t *fileName);

    HMODULE m_module = nullptr;
};

inline HMODULE ScopedLibrary::loadSystemLibrary(const wchar_t *fileName) {
    HMODULE module = LoadLibraryExW(fileName, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    // A system without the search flags (Windows 7 before its 2011 loader update) rejects them as
    // a bad parameter: there the library's full path in the system folder says the same.
    if (module || GetLastError() != ERROR_INVALID_PARAMETER) return module;
    wchar_t folder[MAX_PATH] = {};
    const UINT n = GetSystemDirectoryW(folder, MAX_PATH);
    if (n == 0 || n >= MAX_PATH) return nullptr;
    return LoadLibraryW((std::wstring(folder, n) + L"\\" + fileName).c_str());
}

} // namespace tarv::win32
