#include "limits/limitsmonitor.h"

#include "framework/textformat.h"
#include "stats/ledgerstats.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>

namespace tarv::limits {

namespace {

// "2026-12-09", and back.
QString isoDay(const QDate &d) {
    return d.toString(Qt::ISODate);
}

QString money(double value, const QString &currency, const QLocale &locale) {
    return fmt::twoDecimals(value, locale) + QLatin1Char(' ') + currency;
}

QString shortDay(const QDate &d) {
    return d.toString(QStringLiteral("d/M/yyyy"));
}

} // namespace

QString statePath(const QString &dataFolder) {
    return QDir(dataFolder).filePath(QStringLiteral("tarv-warned.ini"));
}

LimitState readLimitState(const QString &path) {
    LimitState state;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return state;
    const QString text = QString::fromUtf8(file.read(16 * 1024));
    for (const QString &line : text.split(QLatin1Char('\n'))) {
        const qsizetype eq = line.indexOf(QLatin1Char('='));
        if (eq <= 0) continue;
        const QString key = line.left(eq).trimmed();
        const QString value = line.mid(eq + 1).trimmed();
        NotifiedLevels &target = key.startsWith(QLatin1String("Daily")) ? state.daily : state.monthly;
        if (key.endsWith(QLatin1String("Period"))) {
            target.period = QDate::fromString(value, Qt::ISODate);
        } else if (key.endsWith(QLatin1String("Notified")) && !value.isEmpty()) {
            QList<int> levels;
            if (parseLevels(value, levels)) target.levels = levels;
        }
    }
    return state;
}

bool writeLimitState(const QString &path, const LimitState &state) {
    const QString text = QStringLiteral(
                             "; The warning levels already notified; the program keeps this file.\n"
                             "MonthlyPeriod=%1\nMonthlyNotified=%2\nDailyPeriod=%3\nDailyNotified=%4\n")
                             .arg(isoDay(state.monthly.period), levelsText(state.monthly.levels),
                                  isoDay(state.daily.period), levelsText(state.daily.levels));
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(text.toUtf8()) >= 0 && file.commit();
}

QString warningTitle(const Warning &w) {
    const QString what = w.period == Warning::Period::Month ? QStringLiteral("Όριο δαπάνης") : QStringLiteral("Ημερήσιο όριο");
    return QStringLiteral("%1: %2%").arg(what).arg(w.level);
}

QString warningText(const Warning &w, const QString &currency, const QLocale &locale) {
    const SpendFigures &f = w.figures;
    const QString share = QString::number(qRound(f.share()));
    if (w.period == Warning::Period::Day) {
        return QStringLiteral("Σήμερα ξοδέψατε %1 από το ημερήσιο όριο των %2 (%3%). Απομένουν %4 για σήμερα.")
            .arg(money(f.spent, currency, locale), money(f.limit, currency, locale), share,
                 money(f.leftPerDay.value_or(0), currency, locale));
    }
    QString text = QStringLiteral("Ξοδέψατε %1 από το όριο των %2 (%3%) στον κύκλο %4 – %5.")
                       .arg(money(f.spent, currency, locale), money(f.limit, currency, locale), share,
                            shortDay(w.cycle.start), shortDay(w.cycle.end));
    if (f.leftPerDay && *f.leftPerDay > 0) {
        text += QLatin1Char(' ') + (f.daysLeft == 1 ? QStringLiteral("Απομένουν %1 για σήμερα, την τελευταία ημέρα.")
                                                          .arg(money(*f.leftPerDay, currency, locale))
                                                    : QStringLiteral("Απομένουν %1 την ημέρα για %2 ημέρες.")
                                                          .arg(money(*f.leftPerDay, currency, locale))
                                                          .arg(f.daysLeft));
    } else {
        text += QStringLiteral(" Δεν απομένει τίποτα έως το τέλος του κύκλου.");
    }
    return text;
}

LimitsMonitor::LimitsMonitor(QString dataFolder) : m_folder(std::move(dataFolder)) {}

void LimitsMonitor::setSettings(const LimitSettings &settings) {
    if (settings.cycleDay != m_settings.cycleDay) invalidate();
    m_settings = settings;
}

double LimitsMonitor::cycleSpend(const QDate &day, double dayTotal) {
    const BillingCycle cycle = cycleOf(day, m_settings.cycleDay);
    if (m_pastDay.isValid() && m_pastStart == cycle.start && day > m_pastDay) {
        // A new day of the same cycle: the day before ended at the last total the meter
        // reported for it, and the days between, if any, saw no charge.
        m_pastSpend += m_lastTotal;
        m_pastDay = day;
    } else if (m_pastDay != day || m_pastStart != cycle.start) {
        m_pastSpend = 0;
        if (day > cycle.start) {
            const QByteArray ledger = stats::readLedgerFile(m_folder);
            m_pastSpend = stats::rangeTotal(ledger, cycle.start, day.addDays(-1));
        }
        m_pastDay = day;
        m_pastStart = cycle.start;
    }
    m_lastTotal = dayTotal;
    return m_pastSpend + dayTotal;
}

QList<Warning> LimitsMonitor::charged(const QDate &day, double dayTotal) {
    QList<Warning> due;
    if (m_settings.monthly <= 0 && m_settings.daily <= 0) return due;
    if (!m_stateRead) {
        m_state = readLimitState(statePath(m_folder));
        m_stateRead = true;
    }
    const LimitState before = m_state;
    const BillingCycle cycle = cycleOf(day, m_settings.cycleDay);
    const auto check = [&](Warning::Period period, NotifiedLevels &notified, const QDate &periodStart,
                           const SpendFigures &figures) {
        if (notified.period != periodStart) notified = {periodStart, {}};
        if (const auto level = levelDue(m_settings.warnings, figures.limit, figures.spent, notified.levels))
            due.append(Warning{period, *level, cycle, figures});
    };
    if (m_settings.monthly > 0)
        check(Warning::Period::Month, m_state.monthly, cycle.start,
              spendFigures(cycle, day, cycleSpend(day, dayTotal), m_settings.monthly));
    if (m_settings.daily > 0)
        check(Warning::Period::Day, m_state.daily, day, spendFigures({day, day}, day, dayTotal, m_settings.daily));
    // A period with nothing notified is the same as none, and is not worth a write.
    for (NotifiedLevels *n : {&m_state.monthly, &m_state.daily})
        if (n->levels.isEmpty()) n->period = QDate();
    if (!(m_state == before)) m_stateWriteFailed = !writeLimitState(statePath(m_folder), m_state);
    return due;
}

} // namespace tarv::limits
