#include "app/statusclient.h"

#include "framework/instancepaths.h"

#ifdef Q_OS_WIN
#include <QLocalSocket>
#else
#include "app/statuschannel.h"
#endif

#include <QDeadlineTimer>
#include <cstdio>

namespace tarv {

QString statusLine(const MeterStatus &status, bool json) {
    return json ? QString::fromUtf8(statusJson(status)) : statusText(status);
}

QString absentLine(bool json) {
    return json ? QStringLiteral("{\"online\":false,\"running\":false}")
                : QStringLiteral("offline | Το πρόγραμμα δεν εκτελείται");
}

#ifdef Q_OS_WIN

std::optional<QByteArray> askStatus(const QString &dataFolder, QString &why, int timeoutMs) {
    const InstancePaths paths = instancePaths(dataFolder, false);
    QLocalSocket socket;
    socket.connectToServer(paths.socket);
    if (!socket.waitForConnected(timeoutMs)) return std::nullopt;
    socket.write("status\n");
    QByteArray answer;
    QDeadlineTimer deadline(timeoutMs);
    while (!answer.contains('\n') && !deadline.hasExpired() && answer.size() <= kMaxStatusLine) {
        if (!socket.waitForReadyRead(int(deadline.remainingTime()))) break;
        answer += socket.readAll();
    }
    socket.disconnectFromServer();
    const qsizetype end = answer.indexOf('\n');
    (void)why;
    return end < 0 ? QByteArray() : answer.left(end);
}

int watchStatus(const QString &, bool, Messages messages) {
    fprintf(stderr, "%s\n",
            (messages == Messages::Greek ? QStringLiteral("tarv: το --watch δεν υπάρχει σε αυτό το σύστημα")
                                         : QStringLiteral("tarv: --watch is not available on this system"))
                .toUtf8()
                .constData());
    return ExitUsage;
}

#else

std::optional<QByteArray> askStatus(const QString &dataFolder, QString &why, int timeoutMs) {
    const InstancePaths paths = instancePaths(dataFolder, false);
    if (!paths.error.isEmpty()) {
        why = paths.error;
        return std::nullopt;
    }
    StatusChannel channel;
    if (!channel.open(paths.socket) || !channel.send("status\n")) return std::nullopt;
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (std::optional<QByteArray> line = channel.takeLine()) return line;
        if (channel.overflowing() || channel.ended() || !channel.receive(int(deadline.remainingTime()))) break;
    }
    // It listens but gave no line in time.
    return QByteArray();
}

int watchStatus(const QString &dataFolder, bool json, Messages messages) {
    StatusWatch watch(dataFolder);
    if (!watch.error().isEmpty()) {
        fprintf(stderr, "tarv: %s\n", watch.error().toUtf8().constData());
        return ExitNotRunning;
    }
    (void)messages;
    bool absentShown = false;
    for (;;) {
        StatusChannel channel;
        if (watch.connect(channel)) {
            absentShown = false;
            // One line per change, until the program ends or the output closes.
            for (;;) {
                const StatusWatch::Event event = watch.waitForLine(channel);
                if (event == StatusWatch::Event::OutputClosed) return ExitOk;
                if (event == StatusWatch::Event::ProgramEnded) break;
                while (std::optional<QByteArray> line = channel.takeLine()) {
                    MeterStatus status;
                    if (!parseStatusJson(*line, status)) continue;
                    if (!writeOutputLine(statusLine(status, json))) return ExitOk;
                }
            }
        }
        if (!absentShown) {
            if (!writeOutputLine(absentLine(json))) return ExitOk;
            absentShown = true;
        }
        if (!watch.waitForProgram()) return ExitOk;
    }
}

#endif

} // namespace tarv
