// How much processor time a line read costs while the server stays silent: ReadLn waits
// three seconds (its time-out) on a connection that never delivers a byte. A wait that sleeps
// in the event loop shows a share near 0 %; a polling wait would show one near 100 %.
#include "net/socketclient.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <arpa/inet.h>
#include <cstdio>
#include <ctime>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

namespace {

double processCpuSeconds() {
    timespec t{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
    return double(t.tv_sec) + double(t.tv_nsec) / 1e9;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);

    // A listener on 127.0.0.1 that completes the handshake (the kernel does) and never answers.
    const int listener = ::socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    ::bind(listener, reinterpret_cast<sockaddr *>(&a), sizeof a);
    ::listen(listener, 1);
    socklen_t len = sizeof a;
    ::getsockname(listener, reinterpret_cast<sockaddr *>(&a), &len);

    tarv::TSocketClient client;
    client.Host = "127.0.0.1";
    client.Port = ntohs(a.sin_port);
    client.Connect();
    client.TimeOut = 3000;

    QElapsedTimer wall;
    const double cpuBefore = processCpuSeconds();
    wall.start();
    try {
        client.ReadLn();
    } catch (const tarv::EAbortError &) {
        // The expected end: the time-out.
    }
    const double wallSeconds = double(wall.nsecsElapsed()) / 1e9;
    const double cpuSeconds = processCpuSeconds() - cpuBefore;
    std::printf("ReadLn on a silent server: wall %.3f s, process CPU %.4f s, CPU share %.2f %%\n",
                wallSeconds, cpuSeconds, 100.0 * cpuSeconds / wallSeconds);
    ::close(listener);
    return 0;
}
