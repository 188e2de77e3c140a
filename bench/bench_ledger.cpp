// Times the ledger's reader and writer on a ledger of 100,000 day records, beside one plain
// sequential read of the same file, and prints the figures.
#include "benchsupport.h"
#include "framework/textformat.h"
#include "meter/meter.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/nullmeterview.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <cstdio>

using namespace tarv;
using tarv::bench::bestOf;

int main(int argc, char **argv) {
    QCoreApplication app(argc, argv);
    const int records = 100000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("data.dat"));

    // Records for consecutive days; two-digit years repeat after a century, which does not
    // matter to the timing. The last record is the day being charged.
    QByteArray bytes = Ledger::defaultHeaderBytes() + "\r\n";
    QDate day(1830, 1, 1);
    for (int i = 0; i < records; ++i, day = day.addDays(1))
        bytes += "\r\n" + fmt::dayKey(day).toLatin1() + "|0012,500";
    const QDate lastDay = day.addDays(-1);
    {
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
    }

    auto clock = std::make_shared<FakeClock>(QDateTime(lastDay, QTime(12, 0)));
    Platform p = fakePlatform(dir.path(), clock);
    NullMeterView view;
    Meter meter(p, view);
    meter.initState();

    const double plain = bestOf(5, [&] {
        QFile f(path);
        f.open(QIODevice::ReadOnly);
        volatile qint64 n = f.readAll().size();
        (void)n;
    });
    const double read = bestOf(5, [&] { meter.readData(lastDay); });
    const double save = bestOf(5, [&] {
        meter.s.todayAccrued += 9;
        meter.saveData();
    });

    std::printf("ledger: %d records, %lld bytes\n", records, static_cast<long long>(bytes.size()));
    std::printf("plain sequential read : %8.3f ms\n", plain);
    std::printf("readData (last day)   : %8.3f ms  (%.1f x plain read)\n", read, read / plain);
    std::printf("saveData (last day)   : %8.3f ms  (%.1f x plain read, includes fsync)\n", save, save / plain);
    return 0;
}
