#include "meter/meter.h"

#include "framework/errors.h"
#include "framework/textformat.h"
#include "meter/dueunits.h"

#include <algorithm>
#include <exception>
#include <utility>

namespace tarv {

namespace {

const Rgb kLampOffline{255, 0, 0};
const Rgb kLampOnline{0, 128, 0};

// Runs a function when the scope ends, however it ends.
template <typename F> class ScopeExit {
public:
    explicit ScopeExit(F f) : m_f(std::move(f)) {}
    ~ScopeExit() { m_f(); }
    ScopeExit(const ScopeExit &) = delete;
    ScopeExit &operator=(const ScopeExit &) = delete;

private:
    F m_f;
};

} // namespace

QString elapsedText(qint64 seconds) {
    // The hours are the whole hours of the connection, so a connection of more than a day
    // keeps counting instead of starting again from zero.
    const qint64 h = seconds / 3600;
    const qint64 m = (seconds / 60) % 60;
    const qint64 sec = seconds % 60;
    return QStringLiteral("Χρόνος: %1h %2m %3s ").arg(h).arg(m).arg(sec);
}

Meter::Meter(Platform platform, MeterView &view)
    : m_platform(std::move(platform)), m_view(view), m_ledger(m_platform.dataFolder) {}

void Meter::initState() {
    const QDateTime now = m_platform.clock->now();
    s = MeterState();
    s.connectionStart = now;
    s.currentDay = now.date();
}

QString Meter::todayLine(double amount) const {
    return QStringLiteral("Σήμερα: ") + fmt::general(amount) + QLatin1Char(' ') + s.currencyLabel;
}

qint64 Meter::elapsedSeconds(const QDateTime &now) const {
    // Whole seconds from milliseconds; a clock set back reads as the connection's start.
    return std::max<qint64>(0, s.connectionStart.msecsTo(now) / 1000);
}

bool Meter::probeConnection() {
    const std::optional<QStringList> connections = m_platform.dialup->activeConnections();
    if (!connections || connections->isEmpty()) return false;
    const DialStatus status = m_platform.dialup->connectionStatus(connections->first());
    s.statusSuffix.clear();
    switch (status.state) {
    case DialState::ConnectDevice:
        s.statusSuffix = QStringLiteral(" (Dialing ...)");
        return false;
    case DialState::Authenticate:
        s.statusSuffix = QStringLiteral(" (Verify User/Password ...)");
        return false;
    case DialState::Connected:
        m_probed = {status.name.isEmpty() ? connections->first() : status.name, status.deviceType,
                    status.interfaceName};
        s.statusSuffix = QStringLiteral(" (") + status.deviceType.left(17) + QLatin1Char(')');
        return true;
    default:
        return false;
    }
}

void Meter::Timer1Timer() {
    const QDateTime now = m_platform.clock->now();
    m_view.setClockText(fmt::shortDate(now.date()) + QStringLiteral("              ") + fmt::longTime(now.time()));
    QString status = QStringLiteral("Σύνδεση: ");
    const bool connected = probeConnection();
    if (now.date() != s.currentDay) m_view.setCostTodayText(todayLine(0));
    status += connected ? QStringLiteral("Ενεργή ") : QStringLiteral("Ανενεργή ");
    m_statusLine = status + s.statusSuffix;
    m_view.setStatusText(m_statusLine);
    m_view.setTrayTip(status);
    if (!connected && s.online) disconnectTransition();
    if (connected && !s.online) connectTransition();
    if (s.online) onlineSteps();
    // The observer's trouble is shown once the tick has charged all it had to.
    if (m_observerError) std::rethrow_exception(std::exchange(m_observerError, nullptr));
}

void Meter::disconnectTransition() {
    s.online = false;
    m_view.setConnectionLinesVisible(false);
    m_view.setLampColor(kLampOffline);
    m_view.setIconImage(0);
    s.statusSuffix.clear();
    m_view.bannerOffline();
    tell([&](MeterObserver &o) { o.disconnected(m_platform.clock->now()); });
}

void Meter::connectTransition() {
    m_view.stopTimer();
    // The timer runs again however the transition ends, so a ledger error cannot stop the meter.
    ScopeExit restart([this] { m_view.startTimer(); });
    s.connectionCost = 0;
    s.todayAccrued = 0;
    s.elapsedCharged = 0;
    readData(s.currentDay);
    s.connectionStart = m_platform.clock->now();
    s.steadyAtTick = m_platform.clock->steadyMs();
    s.online = true;
    m_view.setLampColor(kLampOnline);
    m_view.setConnectionLinesVisible(true);
    m_view.setIconImage(1);
    m_view.bannerOnline();
    tell([&](MeterObserver &o) { o.connected(s.connectionStart, m_probed); });
}

void Meter::onlineSteps() {
    const QDateTime now = m_platform.clock->now();
    const qint64 elapsed = elapsedSeconds(now);
    m_view.setTimeText(elapsedText(elapsed));

    const bool zoneB = isZoneB(s, now.time().hour());
    s.unitSeconds = zoneB ? s.zoneBSeconds : s.zoneASeconds;
    m_view.setZoneText(QStringLiteral("Ζώνη: ") + (zoneB ? QStringLiteral("B") : QStringLiteral("A")));

    const qint64 unit = std::max(1, s.unitSeconds);
    const qint64 steady = m_platform.clock->steadyMs();
    if (elapsed < unit && s.connectionCost == 0) {
        s.elapsedCharged = std::max(s.elapsedCharged, elapsed);
        s.steadyAtTick = steady;
        s.connectionCost = s.unitPrice;
        s.todayAccrued = s.unitPrice;
        saveData();
        tell([&](MeterObserver &o) {
            o.charged(now, s.currentDay, zoneB ? 0 : 1, zoneB ? 1 : 0, s.unitPrice, s.currencyLabel);
        });
    } else {
        chargeDueUnits(now, elapsed, steady);
    }

    const QString cost = fmt::general(s.connectionCost);
    m_view.setCostText(QStringLiteral("Κόστος: ") + cost + QLatin1Char(' ') + s.currencyLabel);
    m_view.setCostTodayText(todayLine(s.dayTotal()));
    m_view.setTrayTip(m_statusLine + QStringLiteral(" (") + cost + QLatin1Char(' ') + s.currencyLabel + QLatin1Char(')'));
    tell([&](MeterObserver &o) { o.online(now); });
}

void Meter::readData(const QDate &day) {
    const QString key = fmt::dayKey(day);
    if (!m_ledger.exists()) {
        // A failed autostart write is shown, but only once the ledger exists: without it the
        // meter would never charge.
        std::exception_ptr autostartError;
        try {
            m_platform.autostart->write(QStringLiteral("Tarv"), m_platform.executablePath);
        } catch (...) {
            autostartError = std::current_exception();
        }
        m_ledger.create(key);
        s.todayStored = 0;
        if (autostartError) {
            m_view.setCostTodayText(todayLine(s.todayStored));
            std::rethrow_exception(autostartError);
        }
    } else {
        const Ledger::ReadResult r = m_ledger.read(key);
        // The tariff is taken as a whole: a header that does not convert changes nothing.
        s.zoneAFrom = r.header.zoneAFrom;
        s.zoneATo = r.header.zoneATo;
        s.zoneASeconds = r.header.zoneASeconds;
        s.zoneBSeconds = r.header.zoneBSeconds;
        s.unitPrice = r.header.unitPrice;
        s.currencyLabel = r.header.currencyLabel;
        if (r.amountText) {
            s.todayStored = fmt::toDouble(*r.amountText);
        } else {
            m_ledger.appendRecord(key);
            s.todayStored = 0;
        }
    }
    m_view.setCostTodayText(todayLine(s.todayStored));
}

void Meter::chargeDueUnits(const QDateTime &now, qint64 elapsed, qint64 steady) {
    // A tick on time finds the one second after the last; a late tick (a stalled or stopped
    // program, a long layout) finds several, and charges every unit due in them, each day's on
    // that day. A clock set back finds none until it passes the last second charged, so no
    // unit is charged twice.
    if (elapsed <= s.elapsedCharged) {
        s.steadyAtTick = steady;
        return;
    }
    // Only the seconds that really passed since the last tick that charged to its end can hold
    // a unit, with a second's grace for the rounding of both clocks. What the date and time
    // moved beyond them is the clock set forward (a time sync over the new connection, say):
    // time never spent on line. A tick whose write failed leaves the reading where it was, so
    // the next tick still counts the time that one found.
    const qint64 passedMs = std::max<qint64>(steady - s.steadyAtTick, 0);
    const qint64 realFrom = elapsed - (passedMs + 999) / 1000 - 1;
    const qint64 from = std::max(s.elapsedCharged + 1, realFrom);
    for (const DueUnits &due : dueUnits(s, now, from, elapsed)) {
        const double charge = double(due.count) * s.unitPrice;
        s.connectionCost += charge;
        s.todayAccrued += charge;
        // Counted before the write: a write that fails keeps them in the totals, which the next
        // successful write carries, and the next tick goes on from the units after them.
        s.elapsedCharged = due.lastSecond;
        saveDayTotal(due.day, charge);
        tell([&](MeterObserver &o) {
            o.charged(now.addSecs(due.lastSecond - elapsed), due.day, due.count - due.countB,
                      due.countB, s.unitPrice, s.currencyLabel);
        });
    }
    s.elapsedCharged = elapsed;
    s.steadyAtTick = steady;
}

void Meter::tell(const std::function<void(MeterObserver &)> &call) {
    if (!m_observer) return;
    try {
        call(*m_observer);
    } catch (...) {
        if (!m_observerError) m_observerError = std::current_exception();
    }
}

void Meter::saveData() { saveDayTotal(m_platform.clock->now().date(), s.unitPrice); }

void Meter::saveDayTotal(const QDate &day, double dayCharge) {
    if (day != s.currentDay) {
        // The new day starts from nothing stored, so that a read that fails below leaves the
        // previous day's total out of the new day's record; what was charged for the new day
        // is its whole total so far.
        s.currentDay = day;
        s.todayAccrued = dayCharge;
        s.todayStored = 0;
        readData(s.currentDay);
    }
    const QString key = fmt::dayKey(s.currentDay);
    if (!m_ledger.exists())
        throw EInOutError(QStringLiteral("File not found \"%1\"").arg(m_ledger.path()));
    const QByteArray amount = fmt::toCp1253(fmt::ledgerAmount(s.dayTotal()));
    if (!m_ledger.writeAmount(key, amount)) {
        // The day's record is missing (its append failed, or the file was edited meanwhile):
        // add it rather than drop the charge without a word.
        m_ledger.appendRecord(key);
        m_ledger.writeAmount(key, amount);
    }
    m_view.ledgerWritten();
    if (m_chargeObserver) {
        try {
            m_chargeObserver(s.currentDay, s.dayTotal());
        } catch (...) {
            // The charge is in the ledger; whatever follows it must not undo the tick.
        }
    }
}

} // namespace tarv
