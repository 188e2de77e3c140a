// Memory of the program idle in the tray without a connection: the proportional set size (PSS)
// of all its processes, beside a bare Qt tray program. Run from the build folder:
//
//     ./bench/bench_memory [settle seconds]
//
// Each case starts in a fresh folder with its own cache folder; the figures are read once the
// process has settled. Without a display the programs run on the offscreen platform.
#include "shell/bannercache.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

// The process and every process below it.
QList<qint64> processTree(qint64 root) {
    QMultiHash<qint64, qint64> children;
    for (const QString &entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        bool ok = false;
        const qint64 pid = entry.toLongLong(&ok);
        if (!ok) continue;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (!stat.open(QIODevice::ReadOnly)) continue;
        const QByteArray text = stat.readAll();
        // The fields after the command name, which is in parentheses and may hold spaces.
        const QList<QByteArray> fields = text.mid(text.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1) children.insert(fields.at(1).toLongLong(), pid);
    }
    QList<qint64> tree{root};
    for (qsizetype i = 0; i < tree.size(); ++i)
        tree += children.values(tree.at(i));
    return tree;
}

struct Memory {
    qint64 pssKb = 0;
    // Pages of the program's own (not shared with any other process): steadier on a busy machine.
    qint64 privateKb = 0;
};

// The summed PSS and private memory of a process tree.
Memory memoryOf(qint64 root) {
    Memory m;
    for (qint64 pid : processTree(root)) {
        QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!f.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const qint64 kb = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong();
            if (line.startsWith("Pss:")) m.pssKb += kb;
            if (line.startsWith("Private_Clean:") || line.startsWith("Private_Dirty:")) m.privateKb += kb;
        }
    }
    return m;
}

// A saved banner copy as the banner view keeps it: a one-part MHTML page.
void writeSavedCopy(const QString &cacheFolder, const QString &address) {
    tarv::BannerCache cache(cacheFolder);
    cache.ensureFolder();
    QFile f(cache.pathFor(address));
    if (!f.open(QIODevice::WriteOnly)) return;
    f.write("From: <Saved>\r\nSnapshot-Content-Location: " + address.toLatin1() +
            "\r\nSubject: Banner\r\nMIME-Version: 1.0\r\n"
            "Content-Type: multipart/related; type=\"text/html\"; boundary=\"----B\"\r\n\r\n"
            "------B\r\nContent-Type: text/html\r\nContent-Transfer-Encoding: 8bit\r\nContent-Location: " +
            address.toLatin1() +
            "\r\n\r\n<html><body style=\"background:#1d3f6e;color:white\"><h3>Banner</h3></body></html>\r\n"
            "------B--\r\n");
}

struct Case {
    const char *name;
    QString program;
    QStringList args;
    bool savedCopy = false;
};

Memory measure(const Case &c, int settleSeconds, int *processes) {
    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("cache"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("WAYLAND_DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    if (::geteuid() == 0) env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    if (c.savedCopy) {
        const QUrl home(QStringLiteral(TARV_MAKER_URL));
        QString authority = home.host();
        if (home.port() > 0 && home.port() != 80)
            authority += QLatin1Char(':') + QString::number(home.port());
        writeSavedCopy(cache + QStringLiteral("/tarv/banner"),
                       QStringLiteral("http://") + authority +
                           QStringLiteral("/services/tarv/index.asp?tarv=10"));
    }
    // The program keeps its data beside itself: a copy in the case's own folder.
    QString program = c.program;
    QStringList args = c.args;
    for (QString &a : args)
        a.replace(QStringLiteral("{dir}"), dir.path());
    if (program.endsWith(QStringLiteral("/tarv"))) {
        const QString copy = dir.filePath(QStringLiteral("tarv"));
        QFile::copy(program, copy);
        program = copy;
    }
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForStarted(5000)) return {-1, -1};
    QThread::sleep(static_cast<unsigned long>(settleSeconds));
    *processes = int(processTree(p.processId()).size());
    const Memory m = memoryOf(p.processId());
    for (qint64 pid : processTree(p.processId()))
        ::kill(pid_t(pid), SIGTERM);
    p.waitForFinished(5000);
    return m;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int settle = argc > 1 ? std::max(2, atoi(argv[1])) : 8;
    const QString bin = QCoreApplication::applicationDirPath();
    const Case cases[] = {
        {"bare Qt tray program", bin + QStringLiteral("/bench_memory_bare"), {}, false},
        {"program, no saved banner copy", QStringLiteral(TARV_EXE), {}, false},
        {"program, with a saved banner copy", QStringLiteral(TARV_EXE), {}, true},
        {"program, window shown once (saved copy on view), hidden again",
         bin + QStringLiteral("/bench_memory_probe"),
         {QStringLiteral("{dir}"), QStringLiteral("--show-once")},
         true},
    };
    std::printf("Memory idle in the tray without a connection, %d s after start (all processes)\n", settle);
    std::printf("  %-60s %10s %10s %10s\n", "", "PSS MB", "private MB", "procs");
    Memory bare;
    for (const Case &c : cases) {
        int processes = 0;
        const Memory m = measure(c, settle, &processes);
        if (bare.pssKb == 0) bare = m;
        if (m.pssKb < 0) {
            std::printf("  %-60s did not start\n", c.name);
            continue;
        }
        std::printf("  %-60s %10.1f %10.1f %10d   (PSS %+.1f MB beside bare)\n", c.name, m.pssKb / 1024.0,
                    m.privateKb / 1024.0, processes, (m.pssKb - bare.pssKb) / 1024.0);
    }
    return 0;
}
