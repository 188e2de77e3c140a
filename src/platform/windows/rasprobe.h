#pragma once

// The once-a-second question to the remote-access library: which dial-up connections are active
// and in what state is the first of them. No Qt here, so that the cross-compiled tests can run it.

#include <windows.h>

#include <string>
#include <vector>

namespace tarv::win32 {

// How far a probe got. Everything before StatusObtained means "no status was obtained".
enum class RasProbeStep {
    NoLibrary,         // the library could not be loaded
    NoEnumFunction,    // the library lacks the enumeration
    EnumerationFailed, // the enumeration answered an error (for example more than 30 connections)
    NoConnection,      // the enumeration succeeded with no active connection
    NoStatusFunction,  // the library lacks the status query
    StatusObtained,    // the first connection's state and device type were read
};

// What one probe learnt.
struct RasSnapshot {
    RasProbeStep step = RasProbeStep::NoLibrary;
    // The enumeration's return code (0 on success), when it was called.
    DWORD enumResult = 0;
    // The active connections in the service's order (at most 30).
    std::vector<HANDLE> connections;
    // The first connection's state; 0 when the status query failed.
    DWORD state = 0;
    // The status record's device type, up to its first NUL and at most 17 characters.
    std::string deviceType;
    // The first connection's phone-book entry name, up to its first NUL; empty for a single
    // connection's query.
    std::string entryName;
};

// The library loaded at every probe, from the system folder only.
constexpr char kRasLibraryName[] = "rasapi32";
constexpr wchar_t kRasLibraryFile[] = L"rasapi32.dll";

// Loads the remote-access library from the system folder, enumerates the active connections, asks for the status of
// the first one and releases the library again before it returns. Never fails: every failure
// is recorded in the snapshot's step.
RasSnapshot probeRas();

// The status of one connection, with the library loaded and released around the query.
// A missing library or function, or a failed query, reads as state 0 with no device type.
RasSnapshot queryRasStatus(HANDLE connection);

// What the service counted for one connection since it came up: 32-bit byte counters that wrap,
// and the time it has been up in milliseconds.
struct RasTraffic {
    // False when the library or its statistics query is missing, or the query failed; the
    // counters are then zero and mean nothing.
    bool obtained = false;
    DWORD received = 0;
    DWORD sent = 0;
    DWORD durationMs = 0;
};

// The statistics of one connection, with the library loaded and released around the query.
RasTraffic queryRasTraffic(HANDLE connection);

// Applies a probe to the status line's suffix: " (Dialing ...)" while the device dials,
// " (Verify User/Password ...)" while the user is checked, " (" + device type + ")" once connected,
// empty in any other state, and untouched when no status was obtained. True only when the first
// active connection is connected.
bool applyToStatusSuffix(const RasSnapshot &snapshot, std::string &statusSuffix);

} // namespace tarv::win32
