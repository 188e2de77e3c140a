#include "stats/ledgerreport.h"

#include "framework/textformat.h"
#include "meter/ledger.h"
#include "stats/ledgerstats.h"

#include <QDir>
#include <QStringList>
#include <algorithm>
#include <functional>

namespace tarv::stats {

namespace {

using Compute = std::function<void(QByteArrayView)>;

// Runs compute over the whole ledger. When a reader raises, the same reader is run over each
// line on its own to find the first one it cannot take, and the error names that line. A record
// is tried after an empty first line, since the readers never take the first line for a record;
// the first line is tried as it stands.
void runNamingLine(const QByteArray &ledger, const QString &path, const Compute &compute) {
    try {
        compute(ledger);
        return;
    } catch (const Exception &whole) {
        QString located;
        forEachLine(ledger, [&](qsizetype index, QByteArrayView line) {
            if (!located.isEmpty()) return;
            try {
                compute(index == 0 ? line.toByteArray() : "\r\n" + line.toByteArray());
            } catch (const Exception &e) {
                located = QStringLiteral("%1, line %2: %3").arg(path).arg(index + 1).arg(e.message());
            }
        });
        throw ELedgerError(located.isEmpty() ? QStringLiteral("%1: %2").arg(path, whole.message()) : located);
    }
}

QString currencyOf(const QByteArray &ledger, const QString &path) {
    qsizetype end = 0;
    while (end < ledger.size() && ledger[end] != '\r' && ledger[end] != '\n') ++end;
    try {
        return Ledger::parseHeader(fmt::fromCp1253(ledger.left(end))).currencyLabel;
    } catch (const Exception &e) {
        throw ELedgerError(QStringLiteral("%1, line 1: %2").arg(path, e.message()));
    }
}

QString csvField(const QString &text) {
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')))
        return text;
    return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
}

// Labels on the left, amounts aligned on the right, the currency after each amount.
QString textTable(const QString &title, const QList<std::pair<QString, QString>> &rows, const QString &currency) {
    qsizetype labelWidth = 0, amountWidth = 0;
    for (const auto &[label, amount] : rows) {
        labelWidth = std::max(labelWidth, label.size());
        amountWidth = std::max(amountWidth, amount.size());
    }
    QString out = title.isEmpty() ? QString() : title + QLatin1Char('\n');
    for (const auto &[label, amount] : rows)
        out += label.leftJustified(labelWidth) + QStringLiteral("  ") + amount.rightJustified(amountWidth) +
               QLatin1Char(' ') + currency + QLatin1Char('\n');
    return out;
}

QString isoMonth(int year, int month) {
    return QStringLiteral("%1-%2").arg(year).arg(month, 2, 10, QLatin1Char('0'));
}

QString yearReport(const QByteArray &ledger, const QString &path, const ReportRequest &r, const QString &currency,
                   const QLocale &locale) {
    std::array<double, 12> sums{};
    // The statistics panel reads the year from its year box, which holds the four digits.
    const QString yearText = QString::number(r.year);
    runNamingLine(ledger, path, [&](QByteArrayView bytes) { sums = monthlyTotals(bytes, yearText); });
    QString out;
    switch (r.format) {
    case ReportFormat::Text: {
        QList<std::pair<QString, QString>> rows;
        for (int m = 1; m <= 12; ++m)
            rows.append({locale.standaloneMonthName(m, QLocale::LongFormat), fmt::general(sums[m - 1], locale)});
        return textTable(yearText, rows, currency);
    }
    case ReportFormat::Csv:
        out = QStringLiteral("month,total,currency\n");
        for (int m = 1; m <= 12; ++m)
            out += isoMonth(r.year, m) + QLatin1Char(',') + plainNumber(sums[m - 1]) + QLatin1Char(',') +
                   csvField(currency) + QLatin1Char('\n');
        return out;
    case ReportFormat::Json: {
        QStringList months;
        for (int m = 1; m <= 12; ++m)
            months << QStringLiteral("{\"month\":\"%1\",\"total\":%2}").arg(isoMonth(r.year, m), plainNumber(sums[m - 1]));
        return QStringLiteral("{\"year\":%1,\"currency\":%2,\"months\":[%3]}\n")
            .arg(r.year)
            .arg(jsonString(currency), months.join(QLatin1Char(',')));
    }
    }
    return out;
}

QString monthReport(const QByteArray &ledger, const QString &path, const ReportRequest &r, const QString &currency,
                    const QLocale &locale) {
    std::array<double, 31> values{};
    runNamingLine(ledger, path, [&](QByteArrayView bytes) { values = dayValues(bytes, r.year, r.month); });
    // The chart keeps 31 bars; a report lists the days the month has.
    const int days = QDate(r.year, r.month, 1).daysInMonth();
    const auto date = [&](int d) { return QDate(r.year, r.month, d).toString(Qt::ISODate); };
    QString out;
    switch (r.format) {
    case ReportFormat::Text: {
        QList<std::pair<QString, QString>> rows;
        for (int d = 1; d <= days; ++d)
            rows.append({QString::number(d).rightJustified(2), fmt::general(values[d - 1], locale)});
        // Titled as the chart is: the month's name as it stands alone, and the year.
        const QString title = locale.standaloneMonthName(r.month, QLocale::LongFormat) + QLatin1Char(' ') +
                              QString::number(r.year);
        return textTable(title, rows, currency);
    }
    case ReportFormat::Csv:
        out = QStringLiteral("date,total,currency\n");
        for (int d = 1; d <= days; ++d)
            out += date(d) + QLatin1Char(',') + plainNumber(values[d - 1]) + QLatin1Char(',') + csvField(currency) +
                   QLatin1Char('\n');
        return out;
    case ReportFormat::Json: {
        QStringList list;
        for (int d = 1; d <= days; ++d)
            list << QStringLiteral("{\"date\":\"%1\",\"total\":%2}").arg(date(d), plainNumber(values[d - 1]));
        return QStringLiteral("{\"year\":%1,\"month\":%2,\"currency\":%3,\"days\":[%4]}\n")
            .arg(r.year)
            .arg(r.month)
            .arg(jsonString(currency), list.join(QLatin1Char(',')));
    }
    }
    return out;
}

QString rangeReport(const QByteArray &ledger, const QString &path, const ReportRequest &r, const QString &currency,
                    const QLocale &locale) {
    double sum = 0;
    runNamingLine(ledger, path, [&](QByteArrayView bytes) { sum = rangeTotal(bytes, r.from, r.to); });
    const QString from = r.from.toString(Qt::ISODate);
    const QString to = r.to.toString(Qt::ISODate);
    switch (r.format) {
    case ReportFormat::Text:
        // Two decimals, as the calculator shows the total.
        return textTable({}, {{from + QStringLiteral(" .. ") + to, fmt::twoDecimals(sum, locale)}}, currency);
    case ReportFormat::Csv:
        return QStringLiteral("from,to,total,currency\n%1,%2,%3,%4\n").arg(from, to, plainNumber(sum), csvField(currency));
    case ReportFormat::Json:
        return QStringLiteral("{\"from\":\"%1\",\"to\":\"%2\",\"currency\":%3,\"total\":%4}\n")
            .arg(from, to, jsonString(currency), plainNumber(sum));
    }
    return {};
}

} // namespace

QString plainNumber(double value) {
    return QString::number(value, 'g', 15);
}

QString jsonString(const QString &text) {
    QString out = QStringLiteral("\"");
    for (const QChar c : text) {
        if (c == QLatin1Char('"') || c == QLatin1Char('\\')) {
            out += QLatin1Char('\\') + c;
        } else if (c.unicode() < 0x20) {
            out += QStringLiteral("\\u%1").arg(c.unicode(), 4, 16, QLatin1Char('0'));
        } else {
            out += c;
        }
    }
    return out + QLatin1Char('"');
}

QString formatReport(const QByteArray &ledger, const QString &path, const ReportRequest &request,
                     const QLocale &locale) {
    const QString currency = currencyOf(ledger, path);
    switch (request.kind) {
    case ReportRequest::Kind::Year:
        return yearReport(ledger, path, request, currency, locale);
    case ReportRequest::Kind::Month:
        return monthReport(ledger, path, request, currency, locale);
    case ReportRequest::Kind::Range:
        return rangeReport(ledger, path, request, currency, locale);
    }
    return {};
}

QString ledgerReport(const QString &folder, const ReportRequest &request, const QLocale &locale) {
    QByteArray bytes;
    try {
        bytes = readLedgerFile(folder);
    } catch (const Exception &e) {
        throw ELedgerError(e.message());
    }
    return formatReport(bytes, QDir(folder).filePath(QStringLiteral("data.dat")), request, locale);
}

} // namespace tarv::stats
