#include "calls/callreport.h"

#include "calls/callrow.h"
#include "framework/textformat.h"

#include <QDir>
#include <QFile>
#include <QStringList>
#include <array>
#include <numeric>
#include <vector>

namespace tarv::calls {

namespace {

QString bytesText(const std::optional<quint64> &n) {
    return n ? QString::number(*n) : QStringLiteral("-");
}

QString jsonCount(const std::optional<quint64> &n) {
    return n ? QString::number(*n) : QStringLiteral("null");
}

// The start as the text form shows it, "2001-03-15 10:00:00".
QString startText(const QDateTime &start) {
    const QString iso = isoLocal(start);
    return iso.left(10) + QLatin1Char(' ') + iso.mid(11, 8);
}

QString textReport(const QList<CallRow> &rows, const CallTotals &t, const QLocale &locale) {
    using Line = std::array<QString, 7>;
    const Line head{QStringLiteral("Έναρξη"), QStringLiteral("Διάρκεια"), QStringLiteral("Μονάδες"),
                    QStringLiteral("Κόστος"), QStringLiteral("Λήψη"), QStringLiteral("Αποστολή"),
                    QStringLiteral("Κατάσταση")};
    std::vector<Line> lines;
    lines.reserve(size_t(rows.size()) + 2);
    lines.push_back(head);
    for (const CallRow &r : rows)
        lines.push_back({startText(r.start), durationText(r.seconds()), QString::number(r.units),
                         fmt::general(r.cost, locale) + QLatin1Char(' ') + r.currency, bytesText(r.received),
                         bytesText(r.sent),
                         r.state == CallRow::State::Finished ? QStringLiteral("ολοκληρώθηκε")
                                                             : QStringLiteral("διακόπηκε")});
    lines.push_back({QStringLiteral("Σύνολο"), durationText(t.seconds), QString::number(t.units),
                     fmt::general(t.cost, locale) + QLatin1Char(' ') + t.currency, QString::number(t.received),
                     QString::number(t.sent), QString()});
    std::array<qsizetype, 7> widths{};
    for (const Line &line : lines)
        for (size_t i = 0; i < line.size(); ++i) widths[i] = std::max(widths[i], line[i].size());
    QString out;
    out.reserve((std::accumulate(widths.begin(), widths.end(), qsizetype(0)) + 14) * (rows.size() + 2));
    const auto write = [&](const Line &line) {
        const qsizetype start = out.size();
        // The start and the state read from the left; the figures line up on the right.
        for (size_t i = 0; i < line.size(); ++i) {
            if (i > 0) out += QLatin1String("  ");
            const qsizetype pad = widths[i] - line[i].size();
            if (i == 0 || i == line.size() - 1) {
                out += line[i];
                out += QString(pad, QLatin1Char(' '));
            } else {
                out += QString(pad, QLatin1Char(' '));
                out += line[i];
            }
        }
        // No blanks at the line's end.
        qsizetype end = out.size();
        while (end > start && out.at(end - 1) == QLatin1Char(' ')) --end;
        out.truncate(end);
        out += QLatin1Char('\n');
    };
    for (const Line &line : lines) write(line);
    return out;
}

QString jsonReport(const QList<CallRow> &rows, const CallTotals &t, const QDate &from, const QDate &to) {
    // Written piece by piece: a name or currency is text, never a place for a later figure.
    QString out;
    out.reserve(300 * (rows.size() + 1));
    out += QLatin1String("{\"from\":\"") + from.toString(Qt::ISODate) + QLatin1String("\",\"to\":\"") +
           to.toString(Qt::ISODate) + QLatin1String("\",\"calls\":[");
    bool first = true;
    for (const CallRow &r : rows) {
        if (!first) out += QLatin1Char(',');
        first = false;
        out += QLatin1String("{\"start\":\"") + isoLocal(r.start) + QLatin1String("\",\"end\":\"") + isoLocal(r.end) +
               QLatin1String("\",\"seconds\":") + QString::number(r.seconds()) + QLatin1String(",\"units\":") +
               QString::number(r.units) + QLatin1String(",\"cost\":") + stats::plainNumber(r.cost) +
               QLatin1String(",\"currency\":") + stats::jsonString(r.currency) + QLatin1String(",\"units_a\":") +
               QString::number(r.unitsA) + QLatin1String(",\"units_b\":") + QString::number(r.unitsB) +
               QLatin1String(",\"name\":") + stats::jsonString(r.name) + QLatin1String(",\"device\":") +
               stats::jsonString(r.deviceType) + QLatin1String(",\"bytes_received\":") + jsonCount(r.received) +
               QLatin1String(",\"bytes_sent\":") + jsonCount(r.sent) + QLatin1String(",\"state\":\"") +
               (r.state == CallRow::State::Finished ? QLatin1String("finished") : QLatin1String("interrupted")) +
               QLatin1String("\"}");
    }
    out += QLatin1String("],\"total\":{\"seconds\":") + QString::number(t.seconds) + QLatin1String(",\"units\":") +
           QString::number(t.units) + QLatin1String(",\"cost\":") + stats::plainNumber(t.cost) +
           QLatin1String(",\"currency\":") + stats::jsonString(t.currency) + QLatin1String(",\"bytes_received\":") +
           QString::number(t.received) + QLatin1String(",\"bytes_sent\":") + QString::number(t.sent) +
           QLatin1String("}}\n");
    return out;
}

// Whether a line has the shape of a row: thirteen fields (commas inside quotes do not count) and a
// state at the end. The csv form copies such lines as they are, which keeps a report over a long
// log close to the cost of reading the file.
bool hasRowShape(QByteArrayView line) {
    int commas = 0;
    bool quoted = false;
    for (const char c : line) {
        if (c == '"')
            quoted = !quoted;
        else if (c == ',' && !quoted)
            ++commas;
    }
    return !quoted && commas == 12 && (line.endsWith(",finished") || line.endsWith(",interrupted"));
}

// Whether a line begins with a day as the rows write it, "2001-03-15".
bool hasDay(QByteArrayView line) {
    if (line.size() < 10 || line[4] != '-' || line[7] != '-') return false;
    for (const int i : {0, 1, 2, 3, 5, 6, 8, 9})
        if (line[i] < '0' || line[i] > '9') return false;
    return true;
}

// Calls take(line) for each line of csv whose day lies from `from` to `to`; counts in undated the
// lines that name no day (the header aside).
template <typename Take>
void forLinesOfDays(const QByteArray &csv, const QDate &from, const QDate &to, int *undated, Take take) {
    // A row's day is the date its start is written with; ISO dates compare as their bytes do, so
    // lines outside the days are passed over without being read.
    const QByteArray fromText = from.toString(Qt::ISODate).toLatin1();
    const QByteArray toText = to.toString(Qt::ISODate).toLatin1();
    const QByteArray header = csvHeader();
    qsizetype start = 0;
    while (start < csv.size()) {
        qsizetype end = csv.indexOf('\n', start);
        if (end < 0) end = csv.size();
        QByteArrayView line(csv.constData() + start, end - start);
        start = end + 1;
        if (line.endsWith('\r')) line.chop(1);
        if (!hasDay(line)) {
            if (undated && !line.trimmed().isEmpty() && line != header) ++*undated;
            continue;
        }
        const QByteArrayView day = line.first(10);
        if (day < fromText || day > toText) continue;
        take(line);
    }
}

} // namespace

void CallTotals::add(const CallRow &row) {
    ++calls;
    seconds += row.seconds();
    units += row.units;
    cost += row.cost;
    received += row.received.value_or(0);
    sent += row.sent.value_or(0);
    if (currency.isEmpty()) currency = row.currency;
}

QString durationText(qint64 seconds) {
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg((seconds / 60) % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QList<CallRow> rowsOfDays(const QByteArray &csv, const QDate &from, const QDate &to, int *skipped) {
    QList<CallRow> rows;
    int bad = 0;
    forLinesOfDays(csv, from, to, &bad, [&](QByteArrayView line) {
        if (std::optional<CallRow> row = parseCsvLine(line))
            rows.append(std::move(*row));
        else
            ++bad;
    });
    if (skipped) *skipped = bad;
    return rows;
}

QByteArray csvOfRows(const QList<CallRow> &rows) {
    QByteArray out = csvHeader() + '\n';
    for (const CallRow &row : rows)
        out += csvLine(row) + '\n';
    return out;
}

std::pair<QDate, QDate> requestDays(const stats::ReportRequest &r) {
    switch (r.kind) {
    case stats::ReportRequest::Kind::Year:
        return {QDate(r.year, 1, 1), QDate(r.year, 12, 31)};
    case stats::ReportRequest::Kind::Month: {
        const QDate first(r.year, r.month, 1);
        return {first, first.addDays(first.daysInMonth() - 1)};
    }
    case stats::ReportRequest::Kind::Range:
        return {r.from, r.to};
    }
    return {};
}

QString formatCallsReport(const QByteArray &csv, const stats::ReportRequest &request, const QLocale &locale) {
    const auto [from, to] = requestDays(request);
    if (request.format == stats::ReportFormat::Csv) {
        // Lines of the row's shape are copied as they are, which keeps a report over a long log
        // close to the cost of reading the file; the rows are never longer than the file, and
        // appending to a reserved array copies each once.
        QByteArray csvOut = csvHeader() + '\n';
        csvOut.reserve(csv.size() + csvOut.size());
        forLinesOfDays(csv, from, to, nullptr, [&](QByteArrayView line) {
            if (hasRowShape(line)) csvOut.append(line.data(), line.size()).append('\n');
        });
        return QString::fromUtf8(csvOut);
    }
    const QList<CallRow> rows = rowsOfDays(csv, from, to);
    CallTotals totals;
    for (const CallRow &row : rows) totals.add(row);
    if (request.format == stats::ReportFormat::Json) return jsonReport(rows, totals, from, to);
    return textReport(rows, totals, locale);
}

QString callsReport(const QString &folder, const stats::ReportRequest &request, const QLocale &locale) {
    QFile file(QDir(folder).filePath(QStringLiteral("calls.csv")));
    QByteArray bytes;
    if (file.exists()) {
        if (!file.open(QIODevice::ReadOnly))
            throw stats::ELedgerError(QStringLiteral("%1: %2").arg(file.fileName(), file.errorString()));
        bytes = file.readAll();
    }
    return formatCallsReport(bytes, request, locale);
}

} // namespace tarv::calls
