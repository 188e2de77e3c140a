// Times the work the spending limits add to a charged unit, beside a unit's cost without them,
// on a ledger of 100,000 day records: the usual unit, the first unit of a new day (which carries
// the day before's total on), and the first unit after a start or a change of settings, which
// reads the ledger for the cycle's earlier days.
#include "benchsupport.h"
#include "framework/textformat.h"
#include "limits/limitsmonitor.h"
#include "meter/meter.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/nullmeterview.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace tarv;
using tarv::bench::bestOf;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int records = 100000;
    QTemporaryDir dir;
    // Consecutive days that end today, so that the current cycle holds records.
    const QDate lastDay = QDate(2026, 12, 20);
    QByteArray bytes = Ledger::defaultHeaderBytes() + "\r\n";
    for (QDate day = lastDay.addDays(1 - records); day <= lastDay; day = day.addDays(1))
        bytes += "\r\n" + fmt::dayKey(day).toLatin1() + "|0012,500";
    {
        QFile f(dir.filePath(QStringLiteral("data.dat")));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }

    auto clock = std::make_shared<FakeClock>(QDateTime(lastDay, QTime(12, 0)));
    NullMeterView view;
    Meter meter(fakePlatform(dir.path(), clock), view);
    meter.initState();
    meter.readData(lastDay);

    // A limit far above the spend, so that every unit takes the whole path and none warns.
    limits::LimitsMonitor monitor(dir.path());
    limits::LimitSettings settings;
    settings.monthly = 1e8;
    settings.daily = 1e8;
    monitor.setSettings(settings);

    const int runs = 50;
    const double unit = bestOf(runs, [&] {
        meter.s.todayAccrued += 9;
        meter.saveData();
    });
    monitor.charged(lastDay, meter.s.dayTotal());
    const double usual = bestOf(runs, [&] { monitor.charged(lastDay, meter.s.dayTotal()); });
    QDate next = lastDay;
    const double firstOfDay = bestOf(runs, [&] {
        next = next.addDays(1);
        monitor.charged(next, 9);
    });
    const double afterStart = bestOf(runs, [&] {
        monitor.invalidate();
        monitor.charged(lastDay, meter.s.dayTotal());
    });

    std::printf("ledger: %d records, %lld bytes\n", records, static_cast<long long>(bytes.size()));
    std::printf("a unit today (saveData)         : %8.4f ms\n", unit);
    std::printf("limits, a usual unit            : %8.4f ms  (%5.1f %% of a unit)\n", usual, 100 * usual / unit);
    std::printf("limits, the first unit of a day : %8.4f ms  (%5.1f %% of a unit)\n", firstOfDay,
                100 * firstOfDay / unit);
    std::printf("limits, the first unit after a start or a change of settings (reads the ledger): %8.4f ms  (%5.1f %% of a unit)\n",
                afterStart, 100 * afterStart / unit);
    return 0;
}
