#pragma once

// The records that the remote-access library exchanges with the probe, declared here rather than
// taken from the system's headers: those define later, longer layouts depending on the Windows
// version they target, and the probe relies on the oldest one that every version accepts.
// No Qt here: this file is built by the cross-compiled tests as well.

#include <windows.h>

#include <cstddef>

namespace tarv::win32 {

// The records are plain C layouts without member initialisers: they are cleared as a whole, padding
// included, before they are handed to the service.

// RASCONNA in the form with a device type and a device name (412 bytes in a 32-bit program).
struct RasConnRecord {
    DWORD dwSize;
    HANDLE hrasconn;
    char szEntryName[257];
    char szDeviceType[17];
    char szDeviceName[129];
};

// RASCONNSTATUSA in its first form (64 bytes): no pointers, so the same size in 32 and 64 bits.
struct RasConnStatusRecord {
    DWORD dwSize;
    DWORD rasconnstate;
    DWORD dwError;
    char szDeviceType[17];
    char szDeviceName[33];
};

// RAS_STATS (60 bytes): a connection's counters since it came up. The byte counts are 32 bits
// wide and wrap; the duration is in milliseconds.
struct RasStatsRecord {
    DWORD dwSize;
    DWORD dwBytesXmited;
    DWORD dwBytesRcved;
    DWORD dwFramesXmited;
    DWORD dwFramesRcved;
    DWORD dwCrcErr;
    DWORD dwTimeoutErr;
    DWORD dwAlignmentErr;
    DWORD dwHardwareOverrunErr;
    DWORD dwFramingErr;
    DWORD dwBufferOverrunErr;
    DWORD dwCompressionRatioIn;
    DWORD dwCompressionRatioOut;
    DWORD dwBps;
    DWORD dwConnectDuration;
};

// The connection states that the probe tells apart.
constexpr DWORD kRasConnectDevice = 2;
constexpr DWORD kRasAuthenticate = 5;
constexpr DWORD kRasConnected = 0x2000;

// The enumeration's answer when the buffer cannot hold every active connection.
constexpr DWORD kRasBufferTooSmall = 603;

// Room for this many connections is given to the enumeration.
constexpr DWORD kRasConnectionSlots = 30;

// A pointer-sized handle moves the later fields of the connection record in a 64-bit program.
constexpr bool kWin32Is64Bit = sizeof(void *) == 8;

static_assert(offsetof(RasConnRecord, dwSize) == 0);
static_assert(offsetof(RasConnRecord, hrasconn) == (kWin32Is64Bit ? 8 : 4));
static_assert(offsetof(RasConnRecord, szEntryName) == (kWin32Is64Bit ? 16 : 8));
static_assert(offsetof(RasConnRecord, szDeviceType) == (kWin32Is64Bit ? 273 : 265));
static_assert(offsetof(RasConnRecord, szDeviceName) == (kWin32Is64Bit ? 290 : 282));
static_assert(sizeof(RasConnRecord) == (kWin32Is64Bit ? 424 : 412));

static_assert(offsetof(RasConnStatusRecord, rasconnstate) == 4);
static_assert(offsetof(RasConnStatusRecord, dwError) == 8);
static_assert(offsetof(RasConnStatusRecord, szDeviceType) == 12);
static_assert(offsetof(RasConnStatusRecord, szDeviceName) == 29);
static_assert(sizeof(RasConnStatusRecord) == 64);

static_assert(offsetof(RasStatsRecord, dwBytesXmited) == 4);
static_assert(offsetof(RasStatsRecord, dwBytesRcved) == 8);
static_assert(offsetof(RasStatsRecord, dwConnectDuration) == 56);
static_assert(sizeof(RasStatsRecord) == 60);

// The enumeration buffer in bytes: 12360 in a 32-bit program.
constexpr DWORD kRasBufferBytes = kRasConnectionSlots * sizeof(RasConnRecord);
static_assert(kRasBufferBytes == (kWin32Is64Bit ? 12720 : 12360));

} // namespace tarv::win32
