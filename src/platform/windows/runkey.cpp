#include "platform/windows/runkey.h"

#include <vector>

namespace tarv::win32 {

namespace {

// An open registry key, closed when the scope ends.
class ScopedKey final {
public:
    ScopedKey() = default;
    ~ScopedKey() {
        if (key) RegCloseKey(key);
    }
    ScopedKey(const ScopedKey &) = delete;
    ScopedKey &operator=(const ScopedKey &) = delete;
    HKEY key = nullptr;
};

RegistryResult failure(RegistryStatus status, LONG error) {
    return RegistryResult{status, error};
}

bool isMissing(LONG error) {
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
}

} // namespace

std::wstring runCommandFor(const std::wstring &programPath) {
    return L'"' + programPath + L'"';
}

std::wstring programOfRunCommand(const std::wstring &command) {
    const size_t first = command.find_first_not_of(L" \t");
    if (first == std::wstring::npos) return {};
    if (command[first] != L'"') return command.substr(first);
    // The quoted path ends at the next quote; what follows would be arguments, which this
    // program never writes.
    const size_t end = command.find(L'"', first + 1);
    return command.substr(first + 1, end == std::wstring::npos ? std::wstring::npos : end - first - 1);
}

RegistryResult RunKey::read(const std::wstring &name, std::wstring &data) const {
    data.clear();
    ScopedKey k;
    LONG rc = RegOpenKeyExW(m_root, m_subKey.c_str(), 0, KEY_QUERY_VALUE, &k.key);
    if (isMissing(rc)) return {};
    if (rc != ERROR_SUCCESS) return failure(RegistryStatus::KeyNotOpened, rc);

    // The value may grow between asking for its size and reading it; a few rounds settle that.
    std::vector<wchar_t> buffer(MAX_PATH + 1);
    for (int round = 0; round < 4; ++round) {
        DWORD type = REG_NONE;
        // One character is kept back so that a value stored without its NUL still ends in one.
        DWORD bytes = static_cast<DWORD>((buffer.size() - 1) * sizeof(wchar_t));
        rc = RegQueryValueExW(k.key, name.c_str(), nullptr, &type, reinterpret_cast<BYTE *>(buffer.data()),
                              &bytes);
        if (isMissing(rc)) return {};
        if (rc == ERROR_MORE_DATA) {
            buffer.assign(bytes / sizeof(wchar_t) + 2, L'\0');
            continue;
        }
        if (rc != ERROR_SUCCESS) return failure(RegistryStatus::ValueNotRead, rc);
        if (type != REG_SZ && type != REG_EXPAND_SZ)
            return failure(RegistryStatus::InvalidType, ERROR_INVALID_DATATYPE);
        size_t chars = bytes / sizeof(wchar_t);
        buffer[chars] = L'\0';
        // The text ends at its first NUL, whether or not the stored size counted it.
        data.assign(buffer.data());
        return {};
    }
    return failure(RegistryStatus::ValueNotRead, ERROR_MORE_DATA);
}

RegistryResult RunKey::write(const std::wstring &name, const std::wstring &data) const {
    ScopedKey k;
    const LONG created = RegCreateKeyExW(m_root, m_subKey.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                         KEY_SET_VALUE, nullptr, &k.key, nullptr);
    if (created != ERROR_SUCCESS) return failure(RegistryStatus::KeyNotCreated, created);
    // The stored size counts the terminating NUL, as string values are expected to.
    const DWORD bytes = static_cast<DWORD>((data.size() + 1) * sizeof(wchar_t));
    const LONG set =
        RegSetValueExW(k.key, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE *>(data.c_str()), bytes);
    if (set != ERROR_SUCCESS) return failure(RegistryStatus::ValueNotSet, set);
    return {};
}

RegistryResult RunKey::remove(const std::wstring &name) const {
    ScopedKey k;
    const LONG opened = RegOpenKeyExW(m_root, m_subKey.c_str(), 0, KEY_SET_VALUE, &k.key);
    if (isMissing(opened)) return {};
    if (opened != ERROR_SUCCESS) return failure(RegistryStatus::KeyNotOpened, opened);
    const LONG deleted = RegDeleteValueW(k.key, name.c_str());
    if (deleted == ERROR_SUCCESS || isMissing(deleted)) return {};
    return failure(RegistryStatus::ValueNotDeleted, deleted);
}

} // namespace tarv::win32
