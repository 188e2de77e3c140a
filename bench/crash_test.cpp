// Kills the real program with SIGKILL at random moments while it meters a dial-up connection
// (a mock NetworkManager on a private bus, one second per unit), restarts it on the same folder
// each time, and checks the ledger after every kill: every line is whole, every reader reads it,
// and no day holds less than the program had written before the kill. Beside it, the connection
// log: once a start has taken up what the kill left in its journal, every row reads, none is
// lost, no day's rows hold more than the ledger charged that day, and each kill leaves the log
// at most the one unit behind that a kill between the two writes can leave out.
//   crash_test <program> [kills]
#include "calls/calllog.h"
#include "calls/callrow.h"
#include "framework/errors.h"
#include "framework/textformat.h"
#include "meter/ledger.h"
#include "platform/nmmockrig.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <signal.h>

using namespace tarv;

namespace {

QByteArray readAll(const QString &path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// Checks the ledger as every reader takes it; returns an empty text when it is sound, and fills
// the amount of each day.
QString check(const QString &folder, const QByteArray &bytes, QMap<QByteArray, double> &amounts, int &records) {
    const QList<QByteArray> lines = ledgerLines(bytes);
    if (lines.isEmpty()) return QStringLiteral("empty ledger");
    try {
        Ledger::parseHeader(fmt::fromCp1253(lines.first()));
    } catch (const Exception &e) {
        return QStringLiteral("header: ") + e.message();
    }
    static const QRegularExpression record(QStringLiteral("^(\\d{6})\\|(\\d{4,},\\d{3})$"));
    amounts.clear();
    records = 0;
    for (int i = 1; i < lines.size(); ++i) {
        const QString line = QString::fromLatin1(lines.at(i));
        if (line.trimmed().isEmpty()) continue;
        const auto m = record.match(line);
        if (!m.hasMatch()) return QStringLiteral("damaged line %1: \"%2\"").arg(i).arg(line);
        ++records;
        const QByteArray key = m.captured(1).toLatin1();
        if (!amounts.contains(key)) amounts[key] = fmt::toDouble(m.captured(2));
    }
    // The meter's own reader, on the last day.
    try {
        Ledger(folder).read(QString::fromLatin1(amounts.lastKey()));
    } catch (const Exception &e) {
        return QStringLiteral("reader: ") + e.message();
    }
    return QString();
}

// Checks the connection log as the next start leaves it: the journal taken up (in a copy, so that
// the program's own start still finds what the kill left) and every row read. rows is the number
// of rows, which never falls from one kill to the next; behind is what the ledger holds and the
// log does not, which grows by at most a unit a kill.
QString checkLog(const QString &folder, const QMap<QByteArray, double> &ledger, int &rows, double &behind) {
    QTemporaryDir copy;
    for (const char *name : {"calls.csv", "calls.open"}) {
        const QString from = QDir(folder).filePath(QLatin1String(name));
        if (QFile::exists(from) && !QFile::copy(from, copy.filePath(QLatin1String(name))))
            return QStringLiteral("cannot copy %1").arg(QLatin1String(name));
    }
    try {
        calls::CallLog(copy.path()).recover();
    } catch (const Exception &e) {
        return QStringLiteral("log recovery: ") + e.message();
    }
    int skipped = 0;
    const QList<calls::CallRow> list = calls::parseCsv(readAll(copy.filePath(QStringLiteral("calls.csv"))), &skipped);
    if (skipped) return QStringLiteral("%1 damaged rows in the log").arg(skipped);
    if (list.size() < rows) return QStringLiteral("the log fell from %1 rows to %2").arg(rows).arg(list.size());
    rows = int(list.size());
    QMap<QByteArray, double> days;
    for (const calls::CallRow &row : list) days[fmt::dayKey(row.start.date()).toLatin1()] += row.cost;
    double gap = 0;
    for (auto it = ledger.cbegin(); it != ledger.cend(); ++it) {
        const double logged = days.value(it.key(), 0);
        if (logged > it.value() + 1e-6)
            return QStringLiteral("day %1: the log holds %2, the ledger only %3")
                .arg(QLatin1String(it.key()))
                .arg(logged)
                .arg(it.value());
        gap += it.value() - logged;
    }
    // One unit costs 1 here.
    if (gap < behind - 1e-6 || gap > behind + 1 + 1e-6)
        return QStringLiteral("the log went from %1 to %2 behind the ledger").arg(behind).arg(gap);
    behind = gap;
    return QString();
}

} // namespace

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: crash_test <program> [kills]\n");
        return 2;
    }
    const QString program = QString::fromLocal8Bit(argv[1]);
    const int kills = argc > 2 ? std::atoi(argv[2]) : 200;

    test::NmMockRig rig;
    if (!rig.error().isEmpty()) {
        std::fprintf(stderr, "crash_test: no mock service: %s\n", qPrintable(rig.error()));
        return 2;
    }
    const QString modem = rig.addDevice(QStringLiteral("ttyUSB0"), 8);
    const QString settings = rig.addConnection(QStringLiteral("gsm"), QStringLiteral("ISP"));
    rig.activate(modem, settings, QStringLiteral("ISP"), 2);

    QTemporaryDir appDir, home;
    const QString exe = appDir.filePath(QStringLiteral("tarv"));
    QFile::copy(program, exe);
    QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner);
    const QString ledgerPath = appDir.filePath(QStringLiteral("data.dat"));
    QByteArray header = "0|0|1|1|1|Euro";
    header.append(100 - header.size(), ' ');
    QFile f(ledgerPath);
    f.open(QIODevice::WriteOnly);
    f.write(header + "\r\n\r\n" + fmt::dayKey(QDate::currentDate()).toLatin1() + "|0000,000");
    f.close();

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    env.insert(QStringLiteral("DBUS_SYSTEM_BUS_ADDRESS"), rig.address());
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), home.path());
    env.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.path());
    env.insert(QStringLiteral("LANG"), QStringLiteral("el_GR.UTF-8"));
    // The banner and the vendor menu go to a port on this machine where nothing listens.
    env.insert(QStringLiteral("TARV_MAKER_URL"), QStringLiteral("http://127.0.0.1:9/"));
    // The banner's web engine refuses to start as root with its sandbox on.
    env.insert(QStringLiteral("QTWEBENGINE_DISABLE_SANDBOX"), QStringLiteral("1"));

    QMap<QByteArray, double> before, after;
    int records = 0, checked = 0, failures = 0, grew = 0, logRows = 0;
    double logBehind = 0;
    for (int k = 1; k <= kills; ++k) {
        QProcess p;
        p.setProcessEnvironment(env);
        p.setProgram(exe);
        p.start();
        if (!p.waitForStarted(5000)) {
            std::fprintf(stderr, "crash_test: the program did not start\n");
            return 1;
        }
        // Watch the ledger until the kill; what was seen last was written completely.
        const int lifeMs = QRandomGenerator::global()->bounded(200, 2500);
        QElapsedTimer t;
        t.start();
        QMap<QByteArray, double> seen;
        while (t.elapsed() < lifeMs) {
            int n = 0;
            QMap<QByteArray, double> now;
            if (check(appDir.path(), readAll(ledgerPath), now, n).isEmpty()) seen = now;
            QThread::msleep(QRandomGenerator::global()->bounded(5, 60));
        }
        ::kill(static_cast<pid_t>(p.processId()), SIGKILL);
        p.waitForFinished(5000);

        const QString problem = check(appDir.path(), readAll(ledgerPath), after, records);
        checked += records;
        if (!problem.isEmpty()) {
            std::printf("kill %d: %s\n", k, qPrintable(problem));
            ++failures;
            continue;
        }
        for (auto it = seen.cbegin(); it != seen.cend(); ++it) {
            if (after.value(it.key(), -1) < it.value()) {
                std::printf("kill %d: day %s fell from %g to %g\n", k, it.key().constData(), it.value(),
                            after.value(it.key(), -1));
                ++failures;
            }
        }
        const QString logProblem = checkLog(appDir.path(), after, logRows, logBehind);
        if (!logProblem.isEmpty()) {
            std::printf("kill %d: %s\n", k, qPrintable(logProblem));
            ++failures;
        }
        for (auto it = after.cbegin(); it != after.cend(); ++it)
            if (it.value() > before.value(it.key(), 0)) ++grew;
        before = after;
    }
    double total = 0;
    for (double v : after) total += v;
    std::printf("crash test: %d kills, %d survived, %d records checked, %d times a day grew, "
                "%g units in the ledger, %d rows in the connection log (%g units behind), %d failures\n",
                kills, kills - failures, checked, grew, total, logRows, logBehind, failures);
    return failures == 0 ? 0 : 1;
}
