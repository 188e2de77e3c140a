#pragma once

// The per-user Run key: the programs that Windows starts with the user's session, one string
// value each, holding the program's full path. No Qt here, so that the cross-compiled tests can
// exercise it against a real registry.

#include <windows.h>

#include <string>

namespace tarv::win32 {

// The Run key below HKEY_CURRENT_USER.
constexpr wchar_t kRunKeyPath[] = L"Software\\Microsoft\\Windows\\CurrentVersion\\Run";

// What a registry operation came to.
enum class RegistryStatus {
    Ok,
    KeyNotCreated,  // the key could not be created or opened for writing
    KeyNotOpened,   // the key exists but could not be opened
    ValueNotRead,   // the value exists but could not be read
    InvalidType,    // the value is not a string
    ValueNotSet,    // the value could not be written
    ValueNotDeleted // the value exists but could not be deleted
};

struct RegistryResult {
    RegistryStatus status = RegistryStatus::Ok;
    // The system's error code, ERROR_SUCCESS when status is Ok.
    LONG error = ERROR_SUCCESS;
    bool ok() const { return status == RegistryStatus::Ok; }
};

// The Run value for a program: its full path in double quotes. Unquoted, a path with spaces
// such as C:\Program Files\Tarv\tarvw.exe would be run as C:\Program.exe with the rest as
// arguments when such a file exists, and anyone able to write C:\ could plant one.
std::wstring runCommandFor(const std::wstring &programPath);
// The program of a Run value, written either way: the quoted form this program writes, or the bare
// path of earlier versions (a path is all they ever wrote, spaces included). Empty stays empty.
std::wstring programOfRunCommand(const std::wstring &command);

// String values under one key. The default is the user's Run key; tests use keys of their own.
class RunKey final {
public:
    explicit RunKey(HKEY root = HKEY_CURRENT_USER, std::wstring subKey = kRunKeyPath)
        : m_root(root), m_subKey(std::move(subKey)) {}

    // Reads the string value name into data. A missing key or value reads as an empty text;
    // a value of another type is an error.
    RegistryResult read(const std::wstring &name, std::wstring &data) const;
    // Writes data as a string value (REG_SZ), creating the key if it is missing.
    RegistryResult write(const std::wstring &name, const std::wstring &data) const;
    // Deletes the value. A missing key or value is no error, and a missing key is not created.
    RegistryResult remove(const std::wstring &name) const;

private:
    HKEY m_root = HKEY_CURRENT_USER;
    std::wstring m_subKey;
};

} // namespace tarv::win32
