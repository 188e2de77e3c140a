// The connection probe over the stand-in remote-access library.

#include "check.h"

#include "platform/windows/rasprobe.h"
#include "platform/windows/rasrecords.h"

#include <windows.h>

#include <string>

using namespace tarv::win32;

namespace {

// The folder of the test program, where the loader would look for rasapi32.dll first.
std::wstring programFolder() {
    wchar_t path[MAX_PATH] = {};
    GetModuleFileNameW(nullptr, path, MAX_PATH);
    std::wstring folder(path);
    return folder.substr(0, folder.find_last_of(L"\\/") + 1);
}

// The system folder, the only place the probe loads the library from. The tests run in a Wine
// prefix of their own, where the stand-in takes the place of Wine's library.
std::wstring systemFolder() {
    wchar_t path[MAX_PATH] = {};
    GetSystemDirectoryW(path, MAX_PATH);
    return std::wstring(path) + L"\\";
}

// Puts one build of the stand-in into folder, or none when variant is null.
bool putStandIn(const std::wstring &folder, const wchar_t *variant) {
    const std::wstring target = folder + L"rasapi32.dll";
    if (!variant) return DeleteFileW(target.c_str()) || GetLastError() == ERROR_FILE_NOT_FOUND;
    const std::wstring source = programFolder() + L"standins\\" + variant + L"\\rasapi32.dll";
    return CopyFileW(source.c_str(), target.c_str(), FALSE) != FALSE;
}

bool useStandIn(const wchar_t *variant) {
    return putStandIn(systemFolder(), variant);
}

std::string seen() {
    char buffer[2048] = {};
    const DWORD n = GetEnvironmentVariableA("TARV_RASSTUB_SEEN", buffer, sizeof buffer);
    return std::string(buffer, n < sizeof buffer ? n : 0);
}

void runScript(const char *script) {
    SetEnvironmentVariableA("TARV_RASSTUB", script);
    SetEnvironmentVariableA("TARV_RASSTUB_SEEN", "");
}

// What the stand-in must have been given: the 30-record buffer with only the first size field set,
// and the cleared 64-byte status record for the connection numbered handle.
const std::string kEnumSeen = "enum bytes=" + std::to_string(kRasBufferBytes) +
                              " size=" + std::to_string(sizeof(RasConnRecord)) + " others=0;";
std::string statusSeen(int handle) {
    return "status size=64 cleared=1 handle=" + std::to_string(handle) + ";";
}

constexpr char kUnchanged[] = " (earlier text)";

struct ProbeCase {
    const char *name;
    const wchar_t *variant; // null: no library at all
    const char *script;
    RasProbeStep step;
    bool connected;
    const char *suffix; // the suffix after the probe; kUnchanged when it must be left alone
    std::string seen;
    size_t connections;
};

} // namespace

TARV_TEST(standInIsTheOneLoaded) {
    CHECK(useStandIn(L"full"));
    HMODULE library = LoadLibraryExW(kRasLibraryFile, nullptr, LOAD_LIBRARY_SEARCH_SYSTEM32);
    CHECK(library != nullptr);
    // Without this the system's own library would answer and every case below would be meaningless.
    CHECK(library && GetProcAddress(library, "TarvRasStandIn") != nullptr);
    if (library) FreeLibrary(library);
}

TARV_TEST(probeReadsTheFirstConnection) {
    const std::string both = kEnumSeen + statusSeen(1);
    const ProbeCase cases[] = {
        {"no library", nullptr, "count=1;states=8192", RasProbeStep::NoLibrary, false, kUnchanged, "", 0},
        {"no functions", L"none", "count=1;states=8192", RasProbeStep::NoEnumFunction, false, kUnchanged, "",
         0},
        {"no status function", L"enumonly", "count=1;states=8192", RasProbeStep::NoStatusFunction, false,
         kUnchanged, kEnumSeen, 1},
        {"more than 30 connections", L"full", "count=31;states=8192", RasProbeStep::EnumerationFailed, false,
         kUnchanged, kEnumSeen, 0},
        {"enumeration error", L"full", "enum=87;count=1;states=8192", RasProbeStep::EnumerationFailed, false,
         kUnchanged, kEnumSeen, 0},
        {"zero connections", L"full", "count=0", RasProbeStep::NoConnection, false, kUnchanged, kEnumSeen, 0},
        {"thirty connections", L"full", "count=30;states=8192;device=isdn", RasProbeStep::StatusObtained,
         true, " (isdn)", both, 30},
        {"first connected, second not", L"full", "count=2;states=8192,1;device=modem",
         RasProbeStep::StatusObtained, true, " (modem)", both, 2},
        {"first not connected, second is", L"full", "count=2;states=1,8192", RasProbeStep::StatusObtained,
         false, "", both, 2},
        {"dialing", L"full", "count=1;states=2", RasProbeStep::StatusObtained, false, " (Dialing ...)", both,
         1},
        {"authenticating", L"full", "count=1;states=5", RasProbeStep::StatusObtained, false,
         " (Verify User/Password ...)", both, 1},
        {"device connected, a state in between", L"full", "count=1;states=14", RasProbeStep::StatusObtained,
         false, "", both, 1},
        {"17-character device type without NUL", L"full", "count=1;states=8192;device=ABCDEFGHIJKLMNOPQ",
         RasProbeStep::StatusObtained, true, " (ABCDEFGHIJKLMNOPQ)", both, 1},
        {"status query fails", L"full", "count=1;states=8192;status=6", RasProbeStep::StatusObtained, false,
         "", both, 1},
    };
    for (const ProbeCase &c : cases) {
        CHECK_EQ_IN(c.name, useStandIn(c.variant), true);
        runScript(c.script);
        const RasSnapshot snapshot = probeRas();
        std::string suffix = kUnchanged;
        const bool connected = applyToStatusSuffix(snapshot, suffix);
        CHECK_EQ_IN(c.name, static_cast<int>(snapshot.step), static_cast<int>(c.step));
        CHECK_EQ_IN(c.name, connected, c.connected);
        CHECK_EQ_IN(c.name, suffix, std::string(c.suffix));
        CHECK_EQ_IN(c.name, seen(), c.seen);
        CHECK_EQ_IN(c.name, snapshot.connections.size(), c.connections);
        // The library is loaded for the probe only.
        CHECK_EQ_IN(c.name, GetModuleHandleA(kRasLibraryName) == nullptr, true);
    }
    CHECK(useStandIn(L"full"));
}

// A library planted beside the program (or in the current folder, the same one here) is never
// loaded: the probe takes the system's, and without it has no library at all.
TARV_TEST(probeIgnoresALibraryBesideTheProgram) {
    CHECK(putStandIn(programFolder(), L"none"));
    CHECK(useStandIn(L"full"));
    runScript("count=1;states=8192;device=modem");
    CHECK_EQ(static_cast<int>(probeRas().step), static_cast<int>(RasProbeStep::StatusObtained));
    CHECK(putStandIn(programFolder(), L"full"));
    CHECK(useStandIn(nullptr));
    CHECK_EQ(static_cast<int>(probeRas().step), static_cast<int>(RasProbeStep::NoLibrary));
    CHECK(putStandIn(programFolder(), nullptr));
    CHECK(useStandIn(L"full"));
}

TARV_TEST(probeReportsWhatTheServiceAnswered) {
    CHECK(useStandIn(L"full"));
    runScript("count=31");
    RasSnapshot snapshot = probeRas();
    CHECK_EQ(snapshot.enumResult, DWORD(kRasBufferTooSmall));

    // The device type ends at its NUL even though the stand-in fills the rest of the field.
    runScript("count=2;states=8192,2;device=modem");
    snapshot = probeRas();
    CHECK_EQ(snapshot.deviceType, std::string("modem"));
    CHECK_EQ(snapshot.entryName, std::string("Connection 0"));
    CHECK_EQ(snapshot.state, DWORD(kRasConnected));
    CHECK_EQ(snapshot.connections.size(), size_t(2));

    // The second connection's own status, with the library loaded once more for it.
    if (snapshot.connections.size() == 2) {
        runScript("count=2;states=8192,2;device=modem");
        const RasSnapshot second = queryRasStatus(snapshot.connections[1]);
        CHECK_EQ(static_cast<int>(second.step), static_cast<int>(RasProbeStep::StatusObtained));
        CHECK_EQ(second.state, DWORD(kRasConnectDevice));
        CHECK_EQ(seen(), statusSeen(2));
        CHECK(GetModuleHandleA(kRasLibraryName) == nullptr);
    }

    // A dial that is given up leaves its suffix until a later probe obtains a status.
    std::string suffix;
    runScript("count=1;states=2");
    applyToStatusSuffix(probeRas(), suffix);
    runScript("count=0");
    CHECK(!applyToStatusSuffix(probeRas(), suffix));
    CHECK_EQ(suffix, std::string(" (Dialing ...)"));
}

// The statistics query: handed a cleared 60-byte record, read by the connection's handle, and
// nothing taken from it when the function is missing or answers an error.
TARV_TEST(trafficReadsTheConnectionsCounters) {
    const HANDLE first = reinterpret_cast<HANDLE>(uintptr_t(0x1001));
    CHECK(useStandIn(L"full"));
    runScript("count=1;received=4294967295;sent=7;duration=9000");
    const RasTraffic traffic = queryRasTraffic(first);
    CHECK(traffic.obtained);
    CHECK_EQ(traffic.received, DWORD(4294967295u));
    CHECK_EQ(traffic.sent, DWORD(7));
    CHECK_EQ(traffic.durationMs, DWORD(9000));
    CHECK_EQ(seen(), std::string("statistics size=60 cleared=1 handle=1;"));
    CHECK(GetModuleHandleA(kRasLibraryName) == nullptr);

    runScript("count=1;received=5;statistics=6");
    CHECK(!queryRasTraffic(first).obtained);
    CHECK(useStandIn(L"enumonly"));
    CHECK(!queryRasTraffic(first).obtained);
    CHECK(useStandIn(nullptr));
    CHECK(!queryRasTraffic(first).obtained);
    CHECK(useStandIn(L"full"));
}
