#include "calls/calllog.h"
#include "framework/textformat.h"
#include "meter/ledger.h"
#include "meterfixture.h"
#include "support/tempdir.h"

#include <QMap>
#include <QRandomGenerator>
#include <gtest/gtest.h>

using namespace tarv;
using namespace tarv::calls;
using tarv::test::MeterRig;
using tarv::test::readFile;
using tarv::test::writeFile;

namespace {

// Counters a test moves by hand; an interface that is missing reads as nothing.
class ScriptedTraffic final : public TrafficSource {
public:
    std::optional<Counters> read(const QString &name) override {
        if (name != QLatin1String("ppp0")) return std::nullopt;
        return now;
    }
    std::optional<Counters> now = Counters{};
};

// A meter with the connection log watching it.
struct LogRig {
    explicit LogRig(const QDateTime &start) : rig(start) {
        setDiskSync(false);
        traffic = std::make_shared<ScriptedTraffic>();
        log = std::make_unique<CallLog>(rig.dir.path(), traffic);
        log->recover();
        rig.meter->setObserver(log.get());
        rig.create();
    }
    ~LogRig() { setDiskSync(true); }
    void connect() {
        rig.dialup->connections = {{QStringLiteral("conn1"),
                                    {DialState::Connected, QStringLiteral("modem"), QStringLiteral("Provider"),
                                     QStringLiteral("ppp0")}}};
    }
    void disconnect() { rig.dialup->setSingle(-1); }
    void seconds(int n) {
        for (int i = 0; i < n; ++i) rig.tickAfter(1000);
    }
    QList<CallRow> rows() const { return parseCsv(readFile(log->csvPath())); }
    double ledgerDay(const QDate &day) const {
        const auto r = rig.meter->ledger().read(fmt::dayKey(day));
        return r.amountText ? fmt::toDouble(*r.amountText) : 0;
    }

    MeterRig rig;
    std::shared_ptr<ScriptedTraffic> traffic;
    std::unique_ptr<CallLog> log;
};

// The ledger holds three decimals.
double rounded(double v) {
    return std::round(v * 1000) / 1000;
}

} // namespace

TEST(CallLog, AConnectionPastMidnightBecomesTwoRowsThatMatchTheLedger) {
    LogRig r(QDateTime(QDate(2001, 3, 15), QTime(23, 50, 0)));
    r.connect();
    r.seconds(30 * 60); // till 00:20; zone B, 540 s a unit
    r.traffic->now = Counters{5000, 700};
    r.disconnect();
    r.seconds(1);
    const QList<CallRow> rows = r.rows();
    ASSERT_EQ(rows.size(), 2);
    EXPECT_EQ(rows[0].start.time(), QTime(23, 50, 1));
    EXPECT_EQ(rows[0].end, QDateTime(QDate(2001, 3, 16), QTime(0, 0)));
    EXPECT_EQ(rows[1].start, rows[0].end);
    EXPECT_EQ(rows[1].end.time(), QTime(0, 20, 1));
    EXPECT_EQ(rows[0].state, CallRow::State::Finished);
    EXPECT_EQ(rows[1].state, CallRow::State::Finished);
    EXPECT_EQ(rows[0].units + rows[1].units, 4);
    EXPECT_DOUBLE_EQ(rows[0].cost, r.ledgerDay(QDate(2001, 3, 15)));
    EXPECT_DOUBLE_EQ(rows[1].cost, r.ledgerDay(QDate(2001, 3, 16)));
    EXPECT_EQ(rows[0].name, QStringLiteral("Provider"));
    EXPECT_EQ(*rows[0].received + *rows[1].received, 5000u);
    EXPECT_EQ(*rows[0].sent + *rows[1].sent, 700u);
    EXPECT_FALSE(QFile::exists(r.log->journalPath()));
}

TEST(CallLog, CountsTheUnitsOfEachZoneWithinOneConnection) {
    LogRig r(QDateTime(QDate(2001, 3, 15), QTime(21, 50, 0)));
    r.connect();
    r.seconds(20 * 60); // zone A until 22:00, zone B after
    r.disconnect();
    r.seconds(1);
    const QList<CallRow> rows = r.rows();
    ASSERT_EQ(rows.size(), 1);
    EXPECT_GT(rows[0].unitsA, 0);
    EXPECT_GT(rows[0].unitsB, 0);
    EXPECT_EQ(rows[0].unitsA + rows[0].unitsB, rows[0].units);
    EXPECT_DOUBLE_EQ(rows[0].cost, r.ledgerDay(QDate(2001, 3, 15)));
    EXPECT_EQ(rows[0].seconds(), 20 * 60);
}

TEST(CallLog, AKilledConnectionIsAddedAsInterruptedWithItsLastFigures) {
    QString folder;
    {
        auto r = std::make_unique<LogRig>(QDateTime(QDate(2001, 3, 15), QTime(12, 0, 0)));
        r->connect();
        r->seconds(600); // three units of 270 s: at 1, 271 and 541 s
        r->traffic->now = Counters{9000, 900};
        r->seconds(30);
        folder = r->rig.dir.path();
        // The kill: the program ends without a word; the journal keeps the row under way.
        r->rig.dir.setAutoRemove(false);
        r->rig.meter->setObserver(nullptr);
    }
    CallLog log(folder);
    const QByteArray before = readFile(log.csvPath());
    const QByteArray journal = readFile(log.journalPath());
    // A kill that cut calls.csv short in the middle of an append changes nothing either.
    writeFile(log.csvPath(), before + CallJournal(log.journalPath()).read()->text.left(40));
    log.recover();
    const QList<CallRow> rows = parseCsv(readFile(log.csvPath()));
    ASSERT_EQ(rows.size(), 1);
    EXPECT_EQ(rows[0].state, CallRow::State::Interrupted);
    EXPECT_EQ(rows[0].units, 3);
    EXPECT_DOUBLE_EQ(rows[0].cost, 27);
    EXPECT_EQ(rows[0].end.time(), QTime(12, 9, 1)); // its last charged unit
    EXPECT_EQ(rows[0].received, 0u);                  // the bytes came after that unit
    EXPECT_FALSE(QFile::exists(log.journalPath()));
    // A second start finds nothing more to add.
    writeFile(log.journalPath(), journal);
    log.recover();
    EXPECT_EQ(parseCsv(readFile(log.csvPath())).size(), 1);
    QDir(folder).removeRecursively();
}

TEST(CallLog, EachDaysRowsAddUpToTheLedgersAmountOverGeneratedConnections) {
    for (quint32 seed = 1; seed <= 10; ++seed) {
        QRandomGenerator random(seed);
        LogRig r(QDateTime(QDate(2001, 3, 15), QTime(23, 0, 0)));
        QMap<QDate, double> rowSums;
        for (int c = 0; c < 8; ++c) {
            r.seconds(random.bounded(1, 1800));
            r.connect();
            for (int k = random.bounded(1, 4); k > 0; --k) {
                r.seconds(random.bounded(1, 800));
                // Now and then the program stalls: the late tick charges every unit that fell
                // due meanwhile, across a zone change or midnight as it happens.
                if (random.bounded(2)) r.rig.tickAfter(1000 * random.bounded(2, 1500));
            }
            r.disconnect();
            r.seconds(1);
        }
        for (const CallRow &row : r.rows()) {
            EXPECT_EQ(row.unitsA + row.unitsB, row.units);
            EXPECT_DOUBLE_EQ(rounded(row.cost), rounded(9.0 * row.units)) << "seed " << seed;
            // Each row lies within its day.
            EXPECT_LE(row.end, QDateTime(row.start.date().addDays(1), QTime(0, 0)));
            EXPECT_LE(row.start, row.end);
            rowSums[row.start.date()] += row.cost;
        }
        for (QDate d = QDate(2001, 3, 15); d <= r.rig.clock->now().date(); d = d.addDays(1))
            EXPECT_DOUBLE_EQ(rounded(rowSums.value(d)), rounded(r.ledgerDay(d))) 
                << "seed " << seed << " " << d.toString(Qt::ISODate).toStdString();
    }
}
