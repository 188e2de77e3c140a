#pragma once

#include <QByteArray>
#include <QHostAddress>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>
#include <functional>

namespace tarv::test {

// A web server on 127.0.0.1 whose next answers a test scripts. It runs on the test's own event
// loop, which the HTTP client keeps turning while it waits.
class ScriptedServer final : public QObject {
public:
    struct Answer {
        QByteArray status = "200 OK";
        QByteArray body;
        qint64 announcedLength = -1; // a Content-Length other than the body's; -1 for the body's
        bool silentClose = false;    // close the connection without a word
        int delayMs = 0;
    };

    ScriptedServer() {
        server.listen(QHostAddress::LocalHost, 0);
        connect(&server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = server.nextPendingConnection()) {
                connect(s, &QTcpSocket::readyRead, s, [this, s] { onRequest(s); });
                connect(s, &QTcpSocket::disconnected, s, &QObject::deleteLater);
            }
        });
    }
    quint16 port() const { return server.serverPort(); }
    QString url(const QString &path = {}) const {
        return QStringLiteral("http://127.0.0.1:%1/").arg(port()) + path;
    }

    Answer answer;
    QStringList paths;
    std::function<void()> whileAnswering; // runs while the answer is delayed

private:
    void onRequest(QTcpSocket *s) {
        const QByteArray request = s->readAll();
        if (!request.contains("\r\n\r\n")) return;
        paths << QString::fromLatin1(request.split(' ').value(1));
        const Answer a = answer;
        auto reply = [s, a] {
            if (!a.silentClose) {
                const qint64 length = a.announcedLength >= 0 ? a.announcedLength : a.body.size();
                s->write("HTTP/1.0 " + a.status + "\r\nContent-Type: text/plain\r\nContent-Length: " +
                         QByteArray::number(length) + "\r\n\r\n" + a.body);
            }
            s->disconnectFromHost();
        };
        if (a.delayMs <= 0) {
            reply();
            return;
        }
        QTimer::singleShot(a.delayMs, s, reply);
        if (whileAnswering) QTimer::singleShot(a.delayMs / 2, this, whileAnswering);
    }

    QTcpServer server;
};

} // namespace tarv::test
