#include "platform/windows/rasprobe.h"

#include "platform/windows/rasrecords.h"
#include "platform/windows/win32util.h"

#include <cstring>
#include <memory>

namespace tarv::win32 {

namespace {

using RasEnumConnectionsFn = DWORD(WINAPI *)(RasConnRecord *, DWORD *, DWORD *);
using RasGetConnectStatusFn = DWORD(WINAPI *)(HANDLE, RasConnStatusRecord *);
using RasGetConnectionStatisticsFn = DWORD(WINAPI *)(HANDLE, RasStatsRecord *);

// Fills the snapshot's state and device type from a status query on an already loaded library.
void readStatus(RasGetConnectStatusFn getStatus, HANDLE connection, RasSnapshot &snapshot) {
    RasConnStatusRecord status;
    std::memset(&status, 0, sizeof status);
    status.dwSize = sizeof(RasConnStatusRecord);
    // The return value tells nothing the record does not: a failed query leaves it cleared,
    // which reads as state 0 with no device type.
    getStatus(connection, &status);
    snapshot.step = RasProbeStep::StatusObtained;
    snapshot.state = status.rasconnstate;
    // The device type need not end with a NUL inside its 17 characters.
    snapshot.deviceType.assign(status.szDeviceType, strnlen(status.szDeviceType, sizeof status.szDeviceType));
}

} // namespace

RasSnapshot probeRas() {
    RasSnapshot snapshot;
    const ScopedLibrary library(kRasLibraryFile);
    if (!library) return snapshot;

    const auto enumConnections = library.function<RasEnumConnectionsFn>("RasEnumConnectionsA");
    if (!enumConnections) {
        snapshot.step = RasProbeStep::NoEnumFunction;
        return snapshot;
    }

    // Only the first record's size field tells the service which layout it is given; the other
    // records are cleared so that nothing the service might read is left to chance.
    const auto buffer = std::make_unique<RasConnRecord[]>(kRasConnectionSlots);
    std::memset(buffer.get(), 0, kRasBufferBytes);
    buffer[0].dwSize = sizeof(RasConnRecord);
    DWORD bufferBytes = kRasBufferBytes;
    DWORD count = 0;
    snapshot.enumResult = enumConnections(buffer.get(), &bufferBytes, &count);
    if (snapshot.enumResult != 0) {
        snapshot.step = RasProbeStep::EnumerationFailed;
        return snapshot;
    }
    if (count == 0) {
        snapshot.step = RasProbeStep::NoConnection;
        return snapshot;
    }
    // A service that claims more records than the buffer holds is believed only as far as the buffer.
    if (count > kRasConnectionSlots) count = kRasConnectionSlots;
    for (DWORD i = 0; i < count; ++i)
        snapshot.connections.push_back(buffer[i].hrasconn);
    // The service's text ends at its NUL; a field without one is taken no further than it goes.
    const char *entry = buffer[0].szEntryName;
    snapshot.entryName.assign(entry, strnlen(entry, sizeof buffer[0].szEntryName));

    const auto getStatus = library.function<RasGetConnectStatusFn>("RasGetConnectStatusA");
    if (!getStatus) {
        snapshot.step = RasProbeStep::NoStatusFunction;
        return snapshot;
    }
    // Only the first connection in the service's order is ever examined.
    readStatus(getStatus, snapshot.connections.front(), snapshot);
    return snapshot;
}

RasSnapshot queryRasStatus(HANDLE connection) {
    RasSnapshot snapshot;
    const ScopedLibrary library(kRasLibraryFile);
    if (!library) return snapshot;
    const auto getStatus = library.function<RasGetConnectStatusFn>("RasGetConnectStatusA");
    if (!getStatus) {
        snapshot.step = RasProbeStep::NoStatusFunction;
        return snapshot;
    }
    snapshot.connections.push_back(connection);
    readStatus(getStatus, connection, snapshot);
    return snapshot;
}

RasTraffic queryRasTraffic(HANDLE connection) {
    RasTraffic traffic;
    const ScopedLibrary library(kRasLibraryFile);
    if (!library) return traffic;
    // Not in every version of the library: without it the connection's bytes are not known.
    const auto getStatistics = library.function<RasGetConnectionStatisticsFn>("RasGetConnectionStatistics");
    if (!getStatistics) return traffic;
    RasStatsRecord stats;
    std::memset(&stats, 0, sizeof stats);
    stats.dwSize = sizeof(RasStatsRecord);
    if (getStatistics(connection, &stats) != 0) return traffic;
    traffic.obtained = true;
    traffic.received = stats.dwBytesRcved;
    traffic.sent = stats.dwBytesXmited;
    traffic.durationMs = stats.dwConnectDuration;
    return traffic;
}

bool applyToStatusSuffix(const RasSnapshot &snapshot, std::string &statusSuffix) {
    if (snapshot.step != RasProbeStep::StatusObtained) return false;
    statusSuffix.clear();
    switch (snapshot.state) {
    case kRasConnectDevice:
        statusSuffix = " (Dialing ...)";
        return false;
    case kRasAuthenticate:
        statusSuffix = " (Verify User/Password ...)";
        return false;
    case kRasConnected:
        statusSuffix = " (" + snapshot.deviceType + ")";
        return true;
    default:
        return false;
    }
}

} // namespace tarv::win32
