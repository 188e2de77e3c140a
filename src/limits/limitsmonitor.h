#pragma once

#include "limits/billingcycle.h"
#include "limits/limitsettings.h"

#include <QDate>
#include <QList>
#include <QLocale>
#include <QString>
#include <optional>

namespace tarv::limits {

// The levels already notified in one period (a cycle, or a day), so that a restart within the
// period does not notify them again. Kept in tarv-warned.ini beside the ledger, apart from the
// settings, which only the user and the limits dialog write.
struct NotifiedLevels {
    QDate period;      // the cycle's first day, or the day
    QList<int> levels;
    bool operator==(const NotifiedLevels &o) const { return period == o.period && levels == o.levels; }
};
struct LimitState {
    NotifiedLevels monthly;
    NotifiedLevels daily;
    bool operator==(const LimitState &o) const { return monthly == o.monthly && daily == o.daily; }
};

QString statePath(const QString &dataFolder);
// A missing or unreadable file reads as nothing notified.
LimitState readLimitState(const QString &path);
// Returns false when the file could not be written.
bool writeLimitState(const QString &path, const LimitState &state);

// A warning level reached by a charge.
struct Warning {
    enum class Period { Month, Day };
    Period period = Period::Month;
    int level = 0;
    BillingCycle cycle;     // the billing cycle the charge falls in
    SpendFigures figures;   // of the month's cycle or of the day
    bool limitReached() const { return figures.hasLimit() && figures.spent >= figures.limit - 1e-6; }
};

// The notification's title and text, in Greek: what was spent, of what limit, and what is left
// per day until the cycle (or the day) ends.
QString warningTitle(const Warning &warning);
QString warningText(const Warning &warning, const QString &currency, const QLocale &locale = QLocale());

// Follows the spend against the limits after every charge. The spend of the cycle's days before
// today is read from the ledger at the first charge after a start (or a change of settings or of
// cycle) and then carried on from the meter's day totals, and today's comes from the meter, so
// that a charge costs a sum, not a scan of the ledger.
class LimitsMonitor final {
public:
    explicit LimitsMonitor(QString dataFolder);

    const LimitSettings &settings() const { return m_settings; }
    void setSettings(const LimitSettings &settings);
    // Forgets the spend read from the ledger, for when the ledger may have changed behind the
    // meter's back (the statistics or the dialog are opened).
    void invalidate() { m_pastDay = QDate(); }

    // Called after a charge has written day's total: the warnings now due, at most one per
    // period. The notified levels are kept on disk as they change. Raises when the ledger
    // cannot be read.
    QList<Warning> charged(const QDate &day, double dayTotal);

    // The spend of day's cycle with today's total taken as dayTotal.
    double cycleSpend(const QDate &day, double dayTotal);

    const LimitState &state() const { return m_state; }
    // Whether the last write of the notified levels failed.
    bool stateWriteFailed() const { return m_stateWriteFailed; }

private:
    QString m_folder;
    LimitSettings m_settings;
    LimitState m_state;
    bool m_stateRead = false;
    bool m_stateWriteFailed = false;
    // The spend of the cycle's days before m_pastDay: read from the ledger after a start, a
    // change of settings or of cycle, and carried on from the meter's totals from day to day.
    QDate m_pastDay;
    QDate m_pastStart;
    double m_pastSpend = 0;
    double m_lastTotal = 0;   // the last total the meter reported for m_pastDay
};

} // namespace tarv::limits
