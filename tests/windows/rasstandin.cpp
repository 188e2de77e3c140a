// A stand-in for the remote-access library, built as rasapi32.dll and put beside the test program.
// Each call reads its script from the environment variable TARV_RASSTUB, for example
// "count=2;states=8192,0;device=modem;enum=0;status=0", the connection statistics with
// "received=4294967000;sent=10;duration=5000;statistics=0" (the same for every connection), and appends what it was given to
// TARV_RASSTUB_SEEN. With TARV_RASSTUB_FILE set, the script is that file's first line instead,
// read again at every call, so that a test can change the connection while the program runs. The record layouts are written out here by hand, byte offset by byte offset,
// so that a mistake in the program's own declarations cannot hide itself.
// Built three times: complete, without the status and statistics queries (TARV_STANDIN_NO_STATUS)
// and without any function (TARV_STANDIN_NO_FUNCTIONS).

#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

constexpr bool k64 = sizeof(void *) == 8;
constexpr DWORD kConnSize = k64 ? 424 : 412;
constexpr size_t kConnHandleAt = k64 ? 8 : 4;
constexpr size_t kConnEntryAt = k64 ? 16 : 8;
constexpr size_t kConnDeviceTypeAt = k64 ? 273 : 265;
constexpr DWORD kStatusSize = 64;
constexpr size_t kStatusStateAt = 4;
constexpr size_t kStatusDeviceTypeAt = 12;
constexpr size_t kStatusDeviceNameAt = 29;
constexpr DWORD kStatsSize = 60;
constexpr size_t kStatsSentAt = 4;
constexpr size_t kStatsReceivedAt = 8;
constexpr size_t kStatsDurationAt = 56;
constexpr uintptr_t kFirstHandle = 0x1001;

struct Script {
    DWORD enumResult = 0;
    DWORD statusResult = 0;
    DWORD count = 0;
    std::vector<DWORD> states;
    std::string device = "modem";
    DWORD statisticsResult = 0;
    DWORD received = 0;
    DWORD sent = 0;
    DWORD duration = 0;
};

std::string env(const char *name) {
    char buffer[1024] = {};
    const DWORD n = GetEnvironmentVariableA(name, buffer, sizeof buffer);
    return n < sizeof buffer ? std::string(buffer, n) : std::string();
}

// The script file's first line; empty when it cannot be read.
std::string scriptFileLine(const std::string &path) {
    std::string line;
    if (FILE *f = std::fopen(path.c_str(), "rb")) {
        char buffer[1024] = {};
        if (std::fgets(buffer, sizeof buffer, f)) line = buffer;
        std::fclose(f);
    }
    while (!line.empty() && (line.back() == '\n' || line.back() == '\r'))
        line.pop_back();
    return line;
}

[[maybe_unused]] Script script() {
    Script s;
    const std::string file = env("TARV_RASSTUB_FILE");
    const std::string text = file.empty() ? env("TARV_RASSTUB") : scriptFileLine(file);
    size_t pos = 0;
    while (pos < text.size()) {
        size_t end = text.find(';', pos);
        if (end == std::string::npos) end = text.size();
        const std::string item = text.substr(pos, end - pos);
        pos = end + 1;
        const size_t eq = item.find('=');
        if (eq == std::string::npos) continue;
        const std::string key = item.substr(0, eq), value = item.substr(eq + 1);
        if (key == "enum")
            s.enumResult = std::strtoul(value.c_str(), nullptr, 0);
        else if (key == "status")
            s.statusResult = std::strtoul(value.c_str(), nullptr, 0);
        else if (key == "count")
            s.count = std::strtoul(value.c_str(), nullptr, 0);
        else if (key == "statistics")
            s.statisticsResult = std::strtoul(value.c_str(), nullptr, 0);
        else if (key == "received")
            s.received = std::strtoul(value.c_str(), nullptr, 0);
        else if (key == "sent")
            s.sent = std::strtoul(value.c_str(), nullptr, 0);
        else if (key == "duration")
            s.duration = std::strtoul(value.c_str(), nullptr, 0);
        else if (key == "device")
            s.device = value;
        else if (key == "states") {
            const char *p = value.c_str();
            while (*p) {
                char *next = nullptr;
                s.states.push_back(std::strtoul(p, &next, 0));
                p = (*next == ',') ? next + 1 : next;
            }
        }
    }
    return s;
}

[[maybe_unused]] void seen(const std::string &what) {
    const std::string all = env("TARV_RASSTUB_SEEN") + what + ";";
    SetEnvironmentVariableA("TARV_RASSTUB_SEEN", all.c_str());
}

[[maybe_unused]] DWORD readDword(const unsigned char *p) {
    DWORD v;
    std::memcpy(&v, p, sizeof v);
    return v;
}

} // namespace

extern "C" __declspec(dllexport) int WINAPI TarvRasStandIn() {
    return 1;
}

#ifndef TARV_STANDIN_NO_FUNCTIONS

extern "C" __declspec(dllexport) DWORD WINAPI RasEnumConnectionsA(void *buffer, DWORD *bytes, DWORD *count) {
    if (!buffer || !bytes || !count) return ERROR_INVALID_PARAMETER;
    auto *b = static_cast<unsigned char *>(buffer);
    const DWORD given = *bytes;
    // Everything after the first size field, as the caller left it.
    size_t otherBytes = 0;
    for (size_t i = sizeof(DWORD); i < given; ++i)
        otherBytes += b[i] != 0;
    char line[160];
    std::snprintf(line, sizeof line, "enum bytes=%lu size=%lu others=%zu", static_cast<unsigned long>(given),
                  static_cast<unsigned long>(readDword(b)), otherBytes);
    seen(line);

    if (readDword(b) != kConnSize) return 632; // the record size is not one the service knows
    const Script s = script();
    if (s.enumResult != 0) return s.enumResult;
    const DWORD needed = s.count * kConnSize;
    if (given < needed) {
        *bytes = needed;
        *count = s.count;
        return 603;
    }
    for (DWORD i = 0; i < s.count; ++i) {
        unsigned char *r = b + i * kConnSize;
        std::memcpy(r, &kConnSize, sizeof kConnSize);
        const uintptr_t handle = kFirstHandle + i;
        std::memcpy(r + kConnHandleAt, &handle, sizeof handle);
        std::snprintf(reinterpret_cast<char *>(r + kConnEntryAt), 257, "Connection %lu",
                      static_cast<unsigned long>(i));
        std::memcpy(r + kConnDeviceTypeAt, "modem", 6);
    }
    *bytes = needed;
    *count = s.count;
    return 0;
}

#ifndef TARV_STANDIN_NO_STATUS

// Notes a call for a record of a connection as the tests read it ("<what> size=… cleared=…
// handle=…"), then checks the record's size and the handle as the system does; 0 when both are right.
static DWORD takeCall(const char *what, HANDLE connection, const unsigned char *r, size_t size, const Script &s) {
    bool cleared = true;
    for (size_t i = sizeof(DWORD); i < size; ++i)
        cleared = cleared && r[i] == 0;
    const uintptr_t handle = reinterpret_cast<uintptr_t>(connection);
    char line[160];
    std::snprintf(line, sizeof line, "%s size=%lu cleared=%d handle=%lu", what,
                  static_cast<unsigned long>(readDword(r)), cleared ? 1 : 0,
                  static_cast<unsigned long>(handle - kFirstHandle + 1));
    seen(line);
    if (readDword(r) != size) return 632;
    if (handle < kFirstHandle || handle >= kFirstHandle + s.count) return ERROR_INVALID_HANDLE;
    return 0;
}

extern "C" __declspec(dllexport) DWORD WINAPI RasGetConnectStatusA(HANDLE connection, void *record) {
    if (!record) return ERROR_INVALID_PARAMETER;
    auto *r = static_cast<unsigned char *>(record);
    const Script s = script();
    if (const DWORD error = takeCall("status", connection, r, kStatusSize, s)) return error;
    if (s.statusResult != 0) return s.statusResult;
    const size_t index = reinterpret_cast<uintptr_t>(connection) - kFirstHandle;
    const DWORD state = index < s.states.size() ? s.states[index] : 0;
    std::memcpy(r + kStatusStateAt, &state, sizeof state);
    // Whatever follows the device type's NUL must not be taken for part of it.
    std::memset(r + kStatusDeviceTypeAt, 'Z', 17);
    std::memcpy(r + kStatusDeviceTypeAt, s.device.c_str(), s.device.size() < 17 ? s.device.size() + 1 : 17);
    std::memcpy(r + kStatusDeviceNameAt, "Stand-in modem", 15);
    return 0;
}

extern "C" __declspec(dllexport) DWORD WINAPI RasGetConnectionStatistics(HANDLE connection, void *record) {
    if (!record) return ERROR_INVALID_PARAMETER;
    auto *r = static_cast<unsigned char *>(record);
    const Script s = script();
    if (const DWORD error = takeCall("statistics", connection, r, kStatsSize, s)) return error;
    if (s.statisticsResult != 0) return s.statisticsResult;
    std::memcpy(r + kStatsSentAt, &s.sent, sizeof s.sent);
    std::memcpy(r + kStatsReceivedAt, &s.received, sizeof s.received);
    std::memcpy(r + kStatsDurationAt, &s.duration, sizeof s.duration);
    return 0;
}

#endif
#endif
