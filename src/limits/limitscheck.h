#pragma once

#include "limits/billingcycle.h"
#include "limits/limitsettings.h"

#include <QByteArray>
#include <QDate>
#include <QLocale>
#include <QString>
#include <QTextStream>

#include "stats/ledgerreport.h"

namespace tarv::limits {

// The current cycle at a glance: what `tarv --check` prints and the limits dialog shows.
struct CycleFigures {
    BillingCycle cycle;
    QDate today;
    QString currency;
    SpendFigures month;   // the cycle against the monthly limit
    SpendFigures day;     // today against the daily limit
};

// Exit statuses of `tarv --check` beyond those every command has.
enum CheckStatus : int { CheckForecast = 4, CheckWarning = 5, CheckLimit = 6 };

// The figures from ledger bytes: the cycle's spend by the range calculator's rule, today's
// record for the day. Raises as the calculator does for a damaged ledger.
CycleFigures cycleFigures(const QByteArray &ledger, const LimitSettings &settings, const QDate &today,
                          const QString &currency);

// 0 when no level is reached, CheckForecast when the forecast passes the monthly limit,
// CheckWarning when a warning level below 100 per cent is reached (of either limit),
// CheckLimit when a limit is reached; the highest that applies.
int checkStatus(const CycleFigures &figures, const LimitSettings &settings);

// `tarv --check`'s output, in Greek text, or json with the amounts as numbers.
QString checkText(const CycleFigures &figures, const QLocale &locale = QLocale());
QString checkJson(const CycleFigures &figures, int status);

// The figures as one json object (without a line end), for --status and --report to carry.
QString cycleJson(const CycleFigures &figures);

// Reads tarv.ini and data.dat in folder for the figures of today, without writing anything.
// Raises stats::ELedgerError for a ledger that is missing or damaged.
CycleFigures readCycleFigures(const QString &folder, const QDate &today, LimitSettings *settings = nullptr);

// A json object (one line, its line end kept) with the cycle's figures of folder added as its
// member "cycle"; other forms, and a json the figures cannot be read for, are left as they are.
QString withCycleJson(const QString &output, stats::ReportFormat format, const QString &folder, const QDate &today);

// `tarv --check` over folder: prints the figures and returns the exit status (1 for a ledger
// that is missing or damaged, with the message on err).
int runCheck(const QString &folder, const QDate &today, bool json, QTextStream &out, QTextStream &err);

} // namespace tarv::limits
