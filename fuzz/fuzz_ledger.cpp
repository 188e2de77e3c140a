// Feeds arbitrary bytes to the ledger's readers and writer as data.dat: the header and record
// scan of the meter's read, the in-place write of a day total, and the appending of a record.
// Errors that the program reports (a header that does not convert, say) are expected; crashes,
// overruns and undefined behaviour are what the fuzzer looks for.
#include "framework/errors.h"
#include "fuzzsupport.h"
#include "meter/meter.h"
#include "platform/fakes/fakes.h"
#include "platform/fakes/nullmeterview.h"

#include <QFile>
#include <cstdint>

using namespace tarv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Environment &env = fuzz::environment();
    setDiskSync(false);
    const QString path = env.dir.filePath(QStringLiteral("data.dat"));
    {
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate)) return 0;
        f.write(reinterpret_cast<const char *>(data), static_cast<qint64>(size));
    }
    // The first byte picks the day, so that keys inside the input are found now and then.
    const QDate day = QDate(2001, 3, 1).addDays(size ? data[0] % 40 : 0);
    auto clock = std::make_shared<FakeClock>(QDateTime(day, QTime(12, 0)));
    Platform p = fakePlatform(env.dir.path(), clock);
    NullMeterView view;
    Meter meter(p, view);
    meter.initState();
    try {
        meter.readData(day);
        meter.s.todayAccrued = size > 1 ? data[1] * 97.125 : 9;
        meter.saveData();
        meter.readData(day);
    } catch (const Exception &) {
        // Reported to the user by the program; not a finding.
    }
    return 0;
}
