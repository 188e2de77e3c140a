#include "limits/limitscheck.h"

#include "framework/textformat.h"
#include "meter/ledger.h"
#include "stats/ledgerreport.h"
#include "stats/ledgerstats.h"

#include <QDir>
#include <cmath>

namespace tarv::limits {

namespace {

// A derived amount to the hundredth, as a bill shows it; null when there is none.
QString jsonNumber(const std::optional<double> &value) {
    return value ? stats::plainNumber(std::round(*value * 100) / 100) : QStringLiteral("null");
}

QString figuresJson(const SpendFigures &f) {
    return QStringLiteral("{\"spent\":%1,\"limit\":%2,\"share\":%3,\"forecast\":%4,\"left_per_day\":%5}")
        .arg(stats::plainNumber(f.spent), f.hasLimit() ? stats::plainNumber(f.limit) : QStringLiteral("null"),
             f.hasLimit() ? stats::plainNumber(qRound(f.share() * 10) / 10.0) : QStringLiteral("null"),
             jsonNumber(f.forecast), jsonNumber(f.leftPerDay));
}

bool anyLevelBelow100(const SpendFigures &f, const QList<int> &levels) {
    for (const int level : levels)
        if (level < 100 && levelReached(f.spent, f.limit, level)) return true;
    return false;
}

} // namespace

CycleFigures cycleFigures(const QByteArray &ledger, const LimitSettings &settings, const QDate &today,
                          const QString &currency) {
    CycleFigures f;
    f.cycle = cycleOf(today, settings.cycleDay);
    f.today = today;
    f.currency = currency;
    f.month = spendFigures(f.cycle, today, stats::rangeTotal(ledger, f.cycle.start, today), settings.monthly);
    f.day = spendFigures({today, today}, today, stats::rangeTotal(ledger, today, today), settings.daily);
    // A day has no course to forecast.
    f.day.forecast.reset();
    return f;
}

int checkStatus(const CycleFigures &f, const LimitSettings &settings) {
    const auto reached = [](const SpendFigures &s) { return levelReached(s.spent, s.limit, 100); };
    if (reached(f.month) || reached(f.day)) return CheckLimit;
    if (anyLevelBelow100(f.month, settings.warnings) || anyLevelBelow100(f.day, settings.warnings)) return CheckWarning;
    if (f.month.hasLimit() && f.month.forecast && *f.month.forecast > f.month.limit + 1e-6) return CheckForecast;
    return 0;
}

QString checkText(const CycleFigures &f, const QLocale &locale) {
    const auto money = [&](double v) { return fmt::twoDecimals(v, locale) + QLatin1Char(' ') + f.currency; };
    QStringList lines;
    lines << QStringLiteral("Κύκλος: %1 – %2 (ημέρα %3 από %4)")
                 .arg(f.cycle.start.toString(Qt::ISODate), f.cycle.end.toString(Qt::ISODate))
                 .arg(f.month.daysElapsed)
                 .arg(f.cycle.days());
    lines << QStringLiteral("Δαπάνη: %1").arg(money(f.month.spent));
    if (f.month.hasLimit()) {
        lines << QStringLiteral("Όριο: %1 (%2%)").arg(money(f.month.limit)).arg(qRound(f.month.share()));
        lines << QStringLiteral("Απομένουν την ημέρα: %1").arg(money(f.month.leftPerDay.value_or(0)));
    } else {
        lines << QStringLiteral("Όριο: κανένα");
    }
    lines << (f.month.forecast ? QStringLiteral("Πρόβλεψη κύκλου: %1").arg(money(*f.month.forecast))
                               : QStringLiteral("Πρόβλεψη κύκλου: όχι ακόμη (λίγες ημέρες)"));
    lines << QStringLiteral("Σήμερα: %1").arg(money(f.day.spent)) +
                 (f.day.hasLimit() ? QStringLiteral(" από ημερήσιο όριο %1 (%2%)").arg(money(f.day.limit)).arg(qRound(f.day.share()))
                                   : QString());
    return lines.join(QLatin1Char('\n')) + QLatin1Char('\n');
}

QString cycleJson(const CycleFigures &f) {
    return QStringLiteral("{\"start\":\"%1\",\"end\":\"%2\",\"days\":%3,\"day\":%4,\"currency\":%5,\"month\":%6,\"today\":%7}")
        .arg(f.cycle.start.toString(Qt::ISODate), f.cycle.end.toString(Qt::ISODate))
        .arg(f.cycle.days())
        .arg(f.month.daysElapsed)
        .arg(stats::jsonString(f.currency), figuresJson(f.month), figuresJson(f.day));
}

QString checkJson(const CycleFigures &f, int status) {
    return QStringLiteral("{\"status\":%1,\"cycle\":%2}\n").arg(status).arg(cycleJson(f));
}

CycleFigures readCycleFigures(const QString &folder, const QDate &today, LimitSettings *settingsOut) {
    const LimitSettings settings = readLimitSettings(settingsPath(folder)).settings;
    if (settingsOut) *settingsOut = settings;
    QByteArray bytes;
    try {
        bytes = stats::readLedgerFile(folder);
    } catch (const Exception &e) {
        throw stats::ELedgerError(e.message());
    }
    const QString path = QDir(folder).filePath(QStringLiteral("data.dat"));
    qsizetype end = 0;
    while (end < bytes.size() && bytes[end] != '\r' && bytes[end] != '\n') ++end;
    try {
        const QString currency = Ledger::parseHeader(fmt::fromCp1253(bytes.left(end))).currencyLabel;
        return cycleFigures(bytes, settings, today, currency);
    } catch (const stats::ELedgerError &) {
        throw;
    } catch (const Exception &e) {
        throw stats::ELedgerError(QStringLiteral("%1: %2").arg(path, e.message()));
    }
}

QString withCycleJson(const QString &output, stats::ReportFormat format, const QString &folder, const QDate &today) {
    if (format != stats::ReportFormat::Json) return output;
    const qsizetype close = output.lastIndexOf(QLatin1Char('}'));
    if (close < 0) return output;
    try {
        const QString cycle = cycleJson(readCycleFigures(folder, today));
        return output.left(close) + QStringLiteral(",\"cycle\":") + cycle + output.mid(close);
    } catch (const Exception &) {
        return output;
    }
}

int runCheck(const QString &folder, const QDate &today, bool json, QTextStream &out, QTextStream &err) {
    try {
        LimitSettings settings;
        const CycleFigures figures = readCycleFigures(folder, today, &settings);
        const int status = checkStatus(figures, settings);
        out << (json ? checkJson(figures, status) : checkText(figures));
        return status;
    } catch (const Exception &e) {
        err << "tarv: " << e.message() << '\n';
        return 1;
    }
}

} // namespace tarv::limits
