#pragma once

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <csignal>
#include <sys/prctl.h>

namespace tarv::test {

// A local nginx on 127.0.0.1 and a free port, serving a folder of files, with its access log.
class LocalNginx final {
public:
    explicit LocalNginx(const QString &prefix) : m_prefix(prefix) {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        m_port = probe.serverPort();
        probe.close();
        QDir().mkpath(root());
        QDir().mkpath(m_prefix + QStringLiteral("/tmp"));
    }
    ~LocalNginx() { stop(); }

    quint16 port() const { return m_port; }
    QString root() const { return m_prefix + QStringLiteral("/www"); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(m_port); }

    void put(const QString &path, const QByteArray &bytes) const {
        const QString file = root() + path;
        QDir().mkpath(QFileInfo(file).path());
        QFile f(file);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
    }
    void remove(const QString &path) const { QFile::remove(root() + path); }

    bool start() {
        const QString conf = m_prefix + QStringLiteral("/nginx.conf");
        QFile f(conf);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return false;
        const QString p = m_prefix;
        f.write(QStringLiteral("daemon off;\nmaster_process off;\nworker_processes 1;\n"
                               "pid %1/nginx.pid;\nerror_log %1/error.log;\n"
                               "events { worker_connections 64; }\n"
                               "http {\n  access_log %1/access.log;\n"
                               "  client_body_temp_path %1/tmp/body;\n  proxy_temp_path %1/tmp/proxy;\n"
                               "  fastcgi_temp_path %1/tmp/fastcgi;\n  uwsgi_temp_path %1/tmp/uwsgi;\n"
                               "  scgi_temp_path %1/tmp/scgi;\n"
                               "  types { text/html asp html; text/plain txt; }\n  default_type text/plain;\n"
                               "  server { listen 127.0.0.1:%2; root %1/www; }\n}\n")
                    .arg(p)
                    .arg(m_port)
                    .toUtf8());
        f.close();
        // The server ends with the test even when the test itself dies.
        m_process.setChildProcessModifier([] { ::prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(QStringLiteral("nginx"),
                        {QStringLiteral("-p"), p, QStringLiteral("-e"), p + QStringLiteral("/error.log"),
                         QStringLiteral("-c"), conf});
        if (!m_process.waitForStarted(5000)) return false;
        return QTest::qWaitFor(
            [this] {
                QTcpSocket s;
                s.connectToHost(QHostAddress::LocalHost, m_port);
                return s.waitForConnected(200);
            },
            10000);
    }

    void stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

    // The request lines the server has logged so far.
    QStringList requests() const {
        QFile f(m_prefix + QStringLiteral("/access.log"));
        QStringList lines;
        if (!f.open(QIODevice::ReadOnly)) return lines;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const int a = line.indexOf('"');
            const int b = line.indexOf('"', a + 1);
            if (a >= 0 && b > a) lines << QString::fromLatin1(line.mid(a + 1, b - a - 1));
        }
        return lines;
    }
    // How often a request for path has been answered with status.
    int count(const QString &path, int status) const {
        QFile f(m_prefix + QStringLiteral("/access.log"));
        if (!f.open(QIODevice::ReadOnly)) return 0;
        int n = 0;
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.contains(path.toLatin1() + ' ') &&
                line.contains("\" " + QByteArray::number(status) + ' '))
                ++n;
        return n;
    }

private:
    QString m_prefix;
    quint16 m_port = 0;
    QProcess m_process;
};

} // namespace tarv::test
