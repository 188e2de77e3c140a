// Feeds arbitrary bytes, as a server's reply, to the HTTP client's response header reader and
// then to the body reader, over one end of a local socket pair that the client adopts.
#include "framework/errors.h"
#include "fuzzsupport.h"
#include "net/httpclient.h"

#include <QCoreApplication>
#include <QEvent>
#include <cstdint>
#include <cstdlib>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

using namespace tarv;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::environment();
    static THttpClient *http = new THttpClient;
    int pair[2] = {-1, -1};
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, pair) != 0) std::abort();
    // The server sends the reply from a thread of its own, since a reply of several line pieces
    // is larger than the pair's buffer, and closes right after it (or when the client has gone).
    std::thread server([&] {
        const char *at = reinterpret_cast<const char *>(data);
        size_t left = size;
        while (left > 0) {
            const ssize_t n = ::send(pair[1], at, left, MSG_NOSIGNAL);
            if (n <= 0) break;
            at += n;
            left -= size_t(n);
        }
        ::close(pair[1]);
    });

    http->OutputFileMode = false;
    http->adoptConnected(pair[0]);
    try {
        http->ReadResponseHeader();
        QByteArray body;
        http->CaptureString(body, -1);
        // Nothing is read twice or made up: header and body come from the reply's bytes.
        check(size_t(http->Header.size() + body.size()) <= size);
    } catch (const Exception &) {
    }
    check(http->redirectLocation().size() <= THttpClient::kMaxValueLength);
    check(http->responseCookie().size() <= THttpClient::kMaxValueLength);
    http->Disconnect();
    server.join();
    // The closed socket's notifiers go now rather than piling up for the whole run.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    return 0;
}
