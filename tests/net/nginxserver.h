#pragma once

#include "scriptedserver.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <arpa/inet.h>
#include <chrono>
#include <netinet/in.h>
#include <sys/socket.h>
#include <thread>
#include <unistd.h>

namespace tarv::test {

// Debian's nginx on a free 127.0.0.1 port, with its configuration, logs and documents in a
// temporary folder; it is stopped when the object goes.
class NginxServer {
public:
    static constexpr const char *kBinary = "/usr/sbin/nginx";

    NginxServer() { QDir(m_dir.path()).mkpath("www"); }
    ~NginxServer() { stop(); }
    NginxServer(const NginxServer &) = delete;
    NginxServer &operator=(const NginxServer &) = delete;

    static bool installed() { return QFile::exists(kBinary); }

    QString docPath(const QString &name) const { return m_dir.filePath("www/" + name); }
    void writeDoc(const QString &name, const QByteArray &bytes) const {
        QFile f(docPath(name));
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate)) f.write(bytes);
    }
    int port() const { return m_port; }
    QString url(const QString &path) const { return QString("http://127.0.0.1:%1%2").arg(m_port).arg(path); }

    // Starts nginx with extra lines for its server block ("%PORT%" stands for the port); true
    // once it accepts connections.
    bool start(const QString &serverLines = {}) {
        m_port = ScriptedServer::closedPort();
        const QString tmp = m_dir.path();
        QString conf;
        // As root, nginx would hand its workers to an unprivileged user who cannot read the
        // temporary folder.
        if (::geteuid() == 0) conf += "user root;\n";
        conf += "worker_processes 1;\n"
                "error_log " +
                tmp +
                "/error.log;\n"
                "events { worker_connections 64; }\n"
                "http {\n"
                "  access_log " +
                tmp +
                "/access.log;\n"
                "  client_body_temp_path " +
                tmp +
                "/client_body;\n"
                "  proxy_temp_path " +
                tmp +
                "/proxy;\n"
                "  fastcgi_temp_path " +
                tmp +
                "/fastcgi;\n"
                "  uwsgi_temp_path " +
                tmp +
                "/uwsgi;\n"
                "  scgi_temp_path " +
                tmp +
                "/scgi;\n"
                "  default_type text/plain;\n"
                "  server {\n"
                "    listen 127.0.0.1:" +
                QString::number(m_port) +
                ";\n"
                "    root " +
                tmp + "/www;\n" + QString(serverLines).replace("%PORT%", QString::number(m_port)) +
                "  }\n"
                "}\n";
        QFile f(tmp + "/nginx.conf");
        if (!f.open(QIODevice::WriteOnly)) return false;
        f.write(conf.toUtf8());
        f.close();
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.start(kBinary, {"-p", tmp + "/", "-c", tmp + "/nginx.conf", "-e", tmp + "/error.log", "-g",
                                  "daemon off; pid " + tmp + "/nginx.pid;"});
        if (!m_process.waitForStarted(5000)) return false;
        for (int i = 0; i < 250; ++i) {
            if (m_process.state() != QProcess::Running) return false;
            if (accepts()) return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    }

    QString log() {
        QFile f(m_dir.path() + "/error.log");
        f.open(QIODevice::ReadOnly);
        return QString::fromUtf8(m_process.readAll() + f.readAll());
    }

    void stop() {
        if (m_process.state() == QProcess::NotRunning) return;
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished(2000);
        }
    }

private:
    bool accepts() const {
        const int s = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_port = htons(quint16(m_port));
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        const bool ok = ::connect(s, reinterpret_cast<sockaddr *>(&a), sizeof a) == 0;
        ::close(s);
        return ok;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    int m_port = 0;
};

} // namespace tarv::test
