// The Run-key autostart store against Wine's registry.

#include "check.h"

#include "platform/windows/runkey.h"

#include <windows.h>

#include <string>

using namespace tarv::win32;

namespace {

constexpr wchar_t kScratchKey[] = L"Software\\TarvTests\\Scratch";

bool keyExists(const wchar_t *subKey) {
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, subKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return false;
    RegCloseKey(key);
    return true;
}

void dropScratchKey() {
    RegDeleteKeyW(HKEY_CURRENT_USER, kScratchKey);
}

// Stores a value of any type and size under the scratch key, as another program might have.
void storeRaw(const wchar_t *name, DWORD type, const void *data, DWORD bytes) {
    HKEY key = nullptr;
    RegCreateKeyExW(HKEY_CURRENT_USER, kScratchKey, 0, nullptr, 0, KEY_SET_VALUE, nullptr, &key, nullptr);
    RegSetValueExW(key, name, 0, type, static_cast<const BYTE *>(data), bytes);
    RegCloseKey(key);
}

} // namespace

TARV_TEST(runKeyWritesReadsAndDeletesTarv) {
    const RunKey run;
    const std::wstring path = L"C:\\Program Files\\Tarv\\tarv.exe";
    CHECK(run.write(L"Tarv", path).ok());

    // A plain string value with the path as it is: no quotes, no arguments, NUL counted.
    HKEY key = nullptr;
    CHECK_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, kRunKeyPath, 0, KEY_READ, &key), LONG(ERROR_SUCCESS));
    wchar_t stored[MAX_PATH] = {};
    DWORD type = 0, bytes = sizeof stored;
    CHECK_EQ(RegQueryValueExW(key, L"Tarv", nullptr, &type, reinterpret_cast<BYTE *>(stored), &bytes),
             LONG(ERROR_SUCCESS));
    RegCloseKey(key);
    CHECK_EQ(type, DWORD(REG_SZ));
    CHECK_EQ(bytes, DWORD((path.size() + 1) * sizeof(wchar_t)));
    CHECK(std::wstring(stored) == path);

    std::wstring data;
    CHECK(run.read(L"Tarv", data).ok());
    CHECK(data == path);

    CHECK(run.remove(L"Tarv").ok());
    data = L"left over";
    CHECK(run.read(L"Tarv", data).ok());
    CHECK(data.empty());
    // Deleting a value that is not there is no error.
    CHECK(run.remove(L"Tarv").ok());
}

TARV_TEST(runKeyMissingKey) {
    dropScratchKey();
    const RunKey scratch(HKEY_CURRENT_USER, kScratchKey);
    std::wstring data = L"left over";
    CHECK(scratch.read(L"Tarv", data).ok());
    CHECK(data.empty());
    CHECK(scratch.remove(L"Tarv").ok());
    CHECK(!keyExists(kScratchKey));
    // Writing creates what is missing.
    CHECK(scratch.write(L"Tarv", L"C:\\tarv.exe").ok());
    CHECK(keyExists(kScratchKey));
    CHECK(scratch.read(L"Tarv", data).ok());
    CHECK(data == L"C:\\tarv.exe");
    dropScratchKey();
}

TARV_TEST(runKeyValuesOfOtherShapes) {
    dropScratchKey();
    const RunKey scratch(HKEY_CURRENT_USER, kScratchKey);
    std::wstring data;

    const DWORD number = 1;
    storeRaw(L"Number", REG_DWORD, &number, sizeof number);
    const RegistryResult wrongType = scratch.read(L"Number", data);
    CHECK_EQ(static_cast<int>(wrongType.status), static_cast<int>(RegistryStatus::InvalidType));
    CHECK(data.empty());

    // Stored without its NUL by a careless writer: still the whole text and nothing after it.
    const std::wstring bare = L"C:\\bare.exe";
    storeRaw(L"Bare", REG_SZ, bare.c_str(), DWORD(bare.size() * sizeof(wchar_t)));
    CHECK(scratch.read(L"Bare", data).ok());
    CHECK(data == bare);

    const std::wstring expandable = L"%ProgramFiles%\\Tarv\\tarv.exe";
    storeRaw(L"Expand", REG_EXPAND_SZ, expandable.c_str(), DWORD((expandable.size() + 1) * sizeof(wchar_t)));
    CHECK(scratch.read(L"Expand", data).ok());
    CHECK(data == expandable);

    // Longer than the first read's buffer.
    const std::wstring longPath = L"C:\\" + std::wstring(3000, L'a') + L"\\tarv.exe";
    CHECK(scratch.write(L"Long", longPath).ok());
    CHECK(scratch.read(L"Long", data).ok());
    CHECK_EQ(data.size(), longPath.size());
    CHECK(data == longPath);

    // Characters outside the single-byte code page survive.
    const std::wstring greek = L"C:\\Προγράμματα\\Χρέωση\\tarv.exe";
    CHECK(scratch.write(L"Greek", greek).ok());
    CHECK(scratch.read(L"Greek", data).ok());
    CHECK(data == greek);

    // An empty value reads as empty, which means "off".
    CHECK(scratch.write(L"Empty", L"").ok());
    data = L"left over";
    CHECK(scratch.read(L"Empty", data).ok());
    CHECK(data.empty());

    dropScratchKey();
    RegDeleteKeyW(HKEY_CURRENT_USER, L"Software\\TarvTests");
}

TARV_TEST(runValueIsQuotedAndBothFormsReadAsTheProgram) {
    const std::wstring spaced = L"C:\\Program Files\\Tarv\\tarvw.exe";
    CHECK(runCommandFor(spaced) == L"\"" + spaced + L"\"");
    const struct {
        const char *name;
        std::wstring stored, program;
    } rows[] = {
        {"quoted, as written now", runCommandFor(spaced), spaced},
        {"bare, as earlier versions wrote it", spaced, spaced},
        {"quoted with an argument", L"\"" + spaced + L"\" -minimized", spaced},
        {"leading blanks", L"  \"" + spaced + L"\"", spaced},
        {"unclosed quote", L"\"" + spaced, spaced},
        {"empty", L"", L""},
        {"blanks only", L"   ", L""},
    };
    for (const auto &row : rows)
        CHECK_EQ_IN(row.name, programOfRunCommand(row.stored) == row.program, true);
}
