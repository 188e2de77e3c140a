// The program's footprint beside a bare Qt tray program, in one run on one display: the time
// from starting a program to its icon docked in the tray, the memory (PSS of all its
// processes) and processor time idle in the tray without a connection, and the memory with
// the window shown and the banner loaded, then 10 s after the window was hidden. Run from the
// build folder on a display with a tray (bench/footprint.sh starts Xvfb and trayer for it):
//
//     ./bench/bench_memory [idle seconds]
//
// Each case starts in a fresh folder with its own cache folder.
#include "dockwatch.h"
#include "shell/bannercache.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <QUrl>
#include <csignal>
#include <cstdio>
#include <memory>
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
    // PSS shares each page among the processes that map it, so it moves with whatever else runs
    // Qt on the machine; RSS and the written pages do not.
    qint64 pssKb = 0;
    qint64 rssKb = 0;
    // Pages the process has written: its heap, stacks and relocated data.
    qint64 dirtyKb = 0;
};

// The summed PSS, RSS and written memory of a process tree.
Memory memoryOf(qint64 root) {
    Memory m;
    for (qint64 pid : processTree(root)) {
        QFile f(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
        if (!f.open(QIODevice::ReadOnly)) continue;
        for (const QByteArray &line : f.readAll().split('\n')) {
            const qint64 kb = line.mid(line.indexOf(':') + 1).trimmed().split(' ').value(0).toLongLong();
            if (line.startsWith("Pss:")) m.pssKb += kb;
            if (line.startsWith("Rss:")) m.rssKb += kb;
            if (line.startsWith("Private_Dirty:") || line.startsWith("Shared_Dirty:")) m.dirtyKb += kb;
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

// Processor time of a process tree so far, in seconds: the scheduler's nanosecond count of every
// thread, fine enough for programs that sleep nearly all the time (clock ticks are not).
double cpuSecondsOf(qint64 root) {
    double ns = 0;
    for (qint64 pid : processTree(root)) {
        const QString tasks = QStringLiteral("/proc/%1/task").arg(pid);
        for (const QString &task : QDir(tasks).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
            QFile stat(tasks + QLatin1Char('/') + task + QStringLiteral("/schedstat"));
            if (stat.open(QIODevice::ReadOnly)) ns += stat.readAll().split(' ').value(0).toDouble();
        }
    }
    return ns / 1e9;
}

struct Figures {
    double dockMs = -1;
    Memory idle;
    double cpuPercent = 0;
    int processes = 0;
    // Only for the case that shows the window.
    Memory shown;
    Memory afterHiding;
};

// Starts per program for the start-up time.
constexpr int kStartRuns = 7;

struct Case {
    const char *name;
    QString program;
    QStringList args;
    bool savedCopy = false;
    // Seconds the window stays shown (0: never shown).
    int showSeconds = 0;
};

void stopTree(qint64 root) {
    for (qint64 pid : processTree(root))
        ::kill(pid_t(pid), SIGTERM);
}

Figures measure(const Case &c, int idleSeconds, const tarv::bench::DockWatch *dock) {
    QTemporaryDir dir;
    const QString cache = dir.filePath(QStringLiteral("cache"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("XDG_CACHE_HOME"), cache);
    // The autostart entry of the first run goes to the case's folder, not the user's session.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), dir.filePath(QStringLiteral("config")));
    if (!env.contains(QStringLiteral("DISPLAY")) && !env.contains(QStringLiteral("WAYLAND_DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The figures are the web engine's: as root the program would use the light view unless told.
    if (::geteuid() == 0) {
        env.insert(QStringLiteral("TARV_BANNER_ENGINE"), QStringLiteral("web"));
        env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));
    }
    if (c.savedCopy) {
        // The maker's address as the program takes it: the environment's, else the built-in one.
        const QUrl home(qEnvironmentVariable("TARV_MAKER_URL", QStringLiteral(TARV_MAKER_URL)));
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
    Figures f;
    QProcess p;
    p.setProcessEnvironment(env);
    p.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    p.setStandardOutputFile(QProcess::nullDevice());
    if (dock) {
        // The best of several starts in the same folder (the first one also creates the ledger),
        // which is fair to both programs on a busy machine.
        for (int run = 0; run < kStartRuns; ++run) {
            QElapsedTimer clock;
            clock.start();
            p.start(program, args);
            if (!p.waitForStarted(5000)) break;
            while (clock.elapsed() < 20000 && !dock->docked(p.processId()))
                QThread::usleep(1000);
            const double ms = clock.nsecsElapsed() / 1e6;
            if (clock.elapsed() < 20000 && (f.dockMs < 0 || ms < f.dockMs)) f.dockMs = ms;
            stopTree(p.processId());
            p.waitForFinished(5000);
        }
    }
    p.start(program, args);
    if (!p.waitForStarted(5000)) {
        f.dockMs = -2;
        return f;
    }
    const qint64 pid = p.processId();
    if (c.showSeconds > 0) {
        // The window is up with the banner on view until the last second of its showing.
        QThread::sleep(static_cast<unsigned long>(c.showSeconds - 1));
        f.shown = memoryOf(pid);
        f.processes = int(processTree(pid).size());
        QThread::sleep(1 + 10);
        f.afterHiding = memoryOf(pid);
    } else {
        // Start-up settles first; the idle figures are taken over the following seconds.
        QThread::sleep(3);
        const double cpuBefore = cpuSecondsOf(pid);
        QThread::sleep(static_cast<unsigned long>(idleSeconds));
        f.cpuPercent = (cpuSecondsOf(pid) - cpuBefore) * 100.0 / idleSeconds;
        f.idle = memoryOf(pid);
    }
    if (c.showSeconds == 0) f.processes = int(processTree(pid).size());
    stopTree(pid);
    p.waitForFinished(5000);
    return f;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int idle = argc > 1 ? std::max(2, atoi(argv[1])) : 20;
    const QString bin = QCoreApplication::applicationDirPath();
    std::unique_ptr<tarv::bench::DockWatch> dock;
    if (qEnvironmentVariableIsSet("DISPLAY")) dock = std::make_unique<tarv::bench::DockWatch>();
    if (dock && !dock->trayPresent()) dock.reset();
    if (!dock) std::printf("(no tray on the display: no start-up times)\n");

    const Case cases[] = {
        {"bare Qt tray program", bin + QStringLiteral("/bench_memory_bare"), {}, false, 0},
        {"bare, waking every second", bin + QStringLiteral("/bench_memory_bare"), {QStringLiteral("--tick")}, false, 0},
        {"program, no saved banner copy", QStringLiteral(TARV_EXE), {}, false, 0},
        {"program, with a saved banner copy", QStringLiteral(TARV_EXE), {}, true, 0},
    };
    std::printf("Start-up to the docked icon (best of %d starts), then %d s idle in the tray without a connection\n", kStartRuns, idle);
    std::printf("  %-36s %8s %7s %7s %9s %8s %6s\n", "", "dock ms", "PSS MB", "RSS MB", "dirty MB", "CPU %", "procs");
    Figures bare;
    Figures ticking;
    for (const Case &c : cases) {
        const Figures f = measure(c, idle, dock.get());
        if (f.dockMs == -2) {
            std::printf("  %-36s did not start\n", c.name);
            continue;
        }
        if (bare.idle.pssKb == 0) bare = f;
        else if (ticking.idle.pssKb == 0) ticking = f;
        std::printf("  %-36s %8.0f %7.1f %7.1f %9.1f %8.3f %6d", c.name, f.dockMs, f.idle.pssKb / 1024.0,
                    f.idle.rssKb / 1024.0, f.idle.dirtyKb / 1024.0, f.cpuPercent, f.processes);
        if (&c != &cases[0]) {
            std::printf("   (dock %.2fx, PSS %.2fx, RSS %.2fx", bare.dockMs > 0 ? f.dockMs / bare.dockMs : 0.0,
                        double(f.idle.pssKb) / std::max<qint64>(1, bare.idle.pssKb),
                        double(f.idle.rssKb) / std::max<qint64>(1, bare.idle.rssKb));
            if (bare.cpuPercent > 0) std::printf(", CPU %.2fx", f.cpuPercent / bare.cpuPercent);
            std::printf(" bare");
            // The program's processor time beside a bare program that wakes as often.
            if (&c != &cases[1] && ticking.cpuPercent > 0)
                std::printf("; CPU %.2fx waking bare", f.cpuPercent / ticking.cpuPercent);
            std::printf(")");
        }
        std::printf("\n");
    }

    // The program's windows with the saved copy on view, shown for a while and hidden again.
    const Case shown{"window shown, banner loaded", bin + QStringLiteral("/bench_memory_probe"),
                     {QStringLiteral("{dir}"), QStringLiteral("--show-for"), QStringLiteral("8")}, true, 8};
    const Figures f = measure(shown, idle, nullptr);
    std::printf("Window shown with the banner (saved copy) loaded, then hidden\n");
    std::printf("  %-36s %7.1f MB PSS %7.1f MB RSS  (%d processes)\n", "shown, banner loaded",
                f.shown.pssKb / 1024.0, f.shown.rssKb / 1024.0, f.processes);
    std::printf("  %-36s %7.1f MB PSS %7.1f MB RSS  (PSS %.2fx, RSS %.2fx bare)\n", "10 s after hiding",
                f.afterHiding.pssKb / 1024.0, f.afterHiding.rssKb / 1024.0,
                double(f.afterHiding.pssKb) / std::max<qint64>(1, bare.idle.pssKb),
                double(f.afterHiding.rssKb) / std::max<qint64>(1, bare.idle.rssKb));
    return 0;
}
