// The download rate of a 50 MB body from a local nginx into a file, by the program's HTTP
// client and, for comparison, by curl -o. Each is run three times; the best run counts.
#include "net/httpclient.h"
#include "net/nginxserver.h" // the tests' helper: tests/net/nginxserver.h

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <cstdio>

namespace {

constexpr qint64 kBodySize = 50 * 1024 * 1024;
constexpr int kRuns = 3;

double rate(qint64 bytes, qint64 nanoseconds) {
    return double(bytes) / (1024.0 * 1024.0) / (double(nanoseconds) / 1e9);
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    tarv::test::NginxServer server;
    QByteArray body(kBodySize, '\0');
    for (qint64 i = 0; i < kBodySize; ++i)
        body[i] = char('a' + i % 23);
    server.writeDoc("big.bin", body);
    body.clear();
    if (!server.start()) {
        std::fprintf(stderr, "nginx did not start:\n%s\n", qPrintable(server.log()));
        return 1;
    }
    QTemporaryDir dir;
    const QString url = server.url("/big.bin");

    double best = 0;
    for (int i = 0; i < kRuns; ++i) {
        tarv::THttpClient client;
        client.InputFileMode = true;
        client.Body = dir.filePath("client.bin");
        QElapsedTimer t;
        t.start();
        client.Get(url);
        const qint64 ns = t.nsecsElapsed();
        if (QFileInfo(client.Body).size() != kBodySize) {
            std::fprintf(stderr, "client: wrong size %lld\n", QFileInfo(client.Body).size());
            return 1;
        }
        best = qMax(best, rate(kBodySize, ns));
    }
    std::printf("THttpClient into a file: %.1f MB/s\n", best);

    double bestCurl = 0;
    for (int i = 0; i < kRuns; ++i) {
        const QString out = dir.filePath("curl.bin");
        QElapsedTimer t;
        t.start();
        const int rc = QProcess::execute("curl", {"-s", "-o", out, url});
        const qint64 ns = t.nsecsElapsed();
        if (rc != 0 || QFileInfo(out).size() != kBodySize) {
            std::printf("curl -o: not available (exit %d)\n", rc);
            return 0;
        }
        bestCurl = qMax(bestCurl, rate(kBodySize, ns));
    }
    std::printf("curl -o:                 %.1f MB/s\n", bestCurl);
    return 0;
}
