#pragma once

#include <QString>
#include <QStringList>
#include <QtGlobal>

// The few calls of the system's socket library that the socket component makes, in one place
// per system (nativesocket_posix.cpp, nativesocket_win.cpp). Everything else of the component
// (its states, waits, events and errors) is shared. Error results are the system's own numbers
// (errno, or the Winsock error); TSocketClient::mapPlatformError turns them into the component's.
namespace tarv::native {

// A socket of the system: a file descriptor, or a Winsock SOCKET (whose invalid value also
// reads as -1 here).
using Handle = qintptr;
constexpr Handle kInvalid = -1;

// Platform errors without a number of their own in the component's table are reported above
// this base, so that they still count as socket errors and show as "Unknown Error No. ...".
constexpr int kUnmappedBase = 20000;

// Makes the socket library ready for one more user; false (and the error) when it cannot be.
// info describes the library in "Name= value" lines.
bool startup(QStringList &info, int &error);
// Ends one user's use of the library: once per successful startup.
void cleanup();

// A fresh non-blocking IPv4 stream socket that is not inherited by child processes and whose
// close resets the connection instead of lingering; kInvalid (and the error) on failure.
Handle openStream(int &error);
// Makes a socket made elsewhere non-blocking and not inherited.
void adopt(Handle socket);
// 0, or the error of closing.
int close(Handle socket);

// Starts a connection to an IPv4 address and port (both in host byte order); 0 when it is
// made at once, else the error (the "would block" or "in progress" ones mean it goes on).
int connectTo(Handle socket, quint32 address, quint16 port);
// The outcome of a connection attempt that went on: 0 or its error.
int pendingError(Handle socket);
// Asks, without waiting, how a connection attempt stands: 0 while it goes on, 1 when it is
// made, -1 (and the error) when it failed.
int connectState(Handle socket, int &error);
// How often (milliseconds) a connection attempt is asked about besides its notification; 0 for
// never. Winsock does not notify an attempt that ended before the notification was registered,
// which on the loopback interface is the rule rather than the exception.
extern const int kConnectCheckMs;

// The bytes received or sent; 0 on receive means the peer has closed; -1 with error set.
qint64 receive(Handle socket, char *into, qint64 max, bool peek, int &error);
qint64 send(Handle socket, const char *data, qint64 length, int &error);

// Reads a numeric IPv4 address the way the system's resolver does ("127.0.0.1", "127.1");
// false for anything else. The address comes in host byte order.
bool parseNumeric(const QString &text, quint32 &address);

} // namespace tarv::native
