// The cost of `tarv --status --watch` over a metered connection of a mock NetworkManager: the
// program's processor time for a while without a watch and as long with one, and the watch's own.
// Usage: bench_watch <program> [seconds per phase, default 60]

#include "framework/textformat.h"
#include "platform/nmmockrig.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <unistd.h>

using namespace tarv;

namespace {

// The processor time of a process so far (user and system, all threads), in seconds.
double cpuSeconds(qint64 pid) {
    QFile f(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    const QByteArray stat = f.readAll();
    // The fields after the command name, which is in parentheses and may hold spaces.
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    return (fields.value(11).toDouble() + fields.value(12).toDouble()) / double(::sysconf(_SC_CLK_TCK));
}

// The share of one core a process used over seconds while the event loop ran.
double shareOver(qint64 pid, int seconds, const std::function<void()> &during = {}) {
    const double before = cpuSeconds(pid);
    test::waitFor([&] {
        if (during) during();
        return false;
    }, seconds * 1000);
    return (cpuSeconds(pid) - before) / seconds * 100;
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_watch <program> [seconds]\n");
        return 2;
    }
    const int seconds = argc > 2 ? std::atoi(argv[2]) : 60;
    test::NmMockRig rig;
    if (!rig.error().isEmpty()) {
        std::fprintf(stderr, "bench_watch: no mock service: %s\n", qPrintable(rig.error()));
        return 2;
    }
    QTemporaryDir appDir, home;
    const QString exe = appDir.filePath(QStringLiteral("tarv"));
    QFile::copy(QString::fromLocal8Bit(argv[1]), exe);
    QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner);
    QByteArray header = "8|22|270|540|9|\xC4\xF1\xF7";
    header.append(100 - header.size(), ' ');
    QFile ledger(appDir.filePath(QStringLiteral("data.dat")));
    if (!ledger.open(QIODevice::WriteOnly)) return 1;
    ledger.write(header + "\r\n\r\n" + fmt::dayKey(QDate::currentDate()).toLatin1() + "|0000,000");
    ledger.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), rig.address());
    env.insert(QStringLiteral("HOME"), home.path());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("LANG"), QStringLiteral("el_GR.UTF-8"));
    env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:9/"));
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));

    QProcess program;
    program.setProcessEnvironment(env);
    program.setStandardOutputFile(QProcess::nullDevice());
    program.setStandardErrorFile(QProcess::nullDevice());
    program.start(exe, {});
    if (!program.waitForStarted(5000)) return 1;
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
    const QString settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("ISP"));
    test::waitFor([] { return false; }, 5000);
    rig.activate(modem, settings, QStringLiteral("ISP"), 2);
    test::waitFor([] { return false; }, 3000);

    const double alone = shareOver(program.processId(), seconds);
    QProcess watch;
    watch.setProcessEnvironment(env);
    watch.start(exe, {QStringLiteral("--status"), QStringLiteral("--watch")});
    if (!watch.waitForStarted(5000)) return 1;
    test::waitFor([] { return false; }, 1000);
    int lines = 0;
    const double programBefore = cpuSeconds(program.processId());
    const double watched = shareOver(watch.processId(), seconds, [&] {
        while (watch.canReadLine()) {
            watch.readLine();
            ++lines;
        }
    });
    const double programWatched = (cpuSeconds(program.processId()) - programBefore) / seconds * 100;
    std::printf("| Over %d s on line | Processor time |\n|---|---|\n", seconds);
    std::printf("| The program without a watch | %.3f %% |\n", alone);
    std::printf("| The program with a watch | %.3f %% (%+.3f %%) |\n", programWatched, programWatched - alone);
    std::printf("| The watch (%d lines) | %.3f %% |\n", lines, watched);
    watch.kill();
    program.kill();
    watch.waitForFinished(5000);
    program.waitForFinished(5000);
    return 0;
}
