// Feeds arbitrary text to the HTTP client's URL parser, the way a redirect's "Location:" value
// reaches it, and builds the request header from the result, once directly and once through a
// proxy (where the whole URL goes into the request line).
#include "framework/errors.h"
#include "fuzzsupport.h"
#include "net/httpclient.h"

#include <cstdint>
#include <cstdlib>

using namespace tarv;

namespace {

void check(bool condition) {
    if (!condition) std::abort();
}

void parseOnce(THttpClient &http, const QString &url, bool viaProxy) {
    http.Proxy = viaProxy ? QStringLiteral("127.0.0.1") : QString();
    http.ProxyPort = viaProxy ? 3128 : 0;
    http.setTargetURL(url);
    try {
        http.ParseURL();
    } catch (const Exception &) {
        // An empty URL, an https one or a port that is no number: refused with a message.
        return;
    }
    // Every parsed URL leaves a path that begins with "/" and is kept short.
    const QString path = http.requestPath();
    check(!path.isEmpty() && path.startsWith(QLatin1Char('/')));
    check(path.size() <= THttpClient::kMaxValueLength);
    check(!http.targetURL().isEmpty());
    http.BuildRequestHeader();
    check(!http.requestHeader().lines().isEmpty());
    check(http.requestHeader().lines().first().startsWith(QLatin1String("GET ")));
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::environment();
    static THttpClient *http = new THttpClient;
    const QString url =
        QString::fromLatin1(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const bool viaProxy : {false, true}) {
        // A URL that begins with "/" keeps the host and port of the one before.
        http->Host = QStringLiteral("127.0.0.1");
        http->Port = 0;
        parseOnce(*http, url, viaProxy);
    }
    return 0;
}
