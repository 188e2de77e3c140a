// Feeds arbitrary bytes to the readers of the connection log: calls.csv as the report and the
// calls window read it, and calls.open as a start after a kill reads it. Crashes and overruns are
// findings, and so is a row that does not read back as itself once written again.
// The reader and the report take shortcuts for the form the log writes (plain digits, costs,
// times, runs of lines copied whole); each is checked here against a plain reading and writing
// with Qt's general functions, which must give the same rows and the same bytes.
#include "calls/calljournal.h"
#include "calls/callreport.h"
#include "calls/callrow.h"
#include "framework/textformat.h"
#include "fuzzsupport.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QStringList>
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstdio>
#include <cstring>

using namespace tarv;
using namespace tarv::calls;

namespace {

bool sameRow(const CallRow &a, const CallRow &b) {
    // Times compare as moments and by the offset they were written with. Costs compare as the log
    // writes them, to fifteen significant digits: a cost edited in with more digits than that
    // comes back rounded once, and is the same from then on.
    return a.start == b.start && a.end == b.end && a.start.offsetFromUtc() == b.start.offsetFromUtc() &&
           a.units == b.units && stats::plainNumber(a.cost) == stats::plainNumber(b.cost) && a.currency == b.currency && a.unitsA == b.unitsA &&
           a.unitsB == b.unitsB && a.name == b.name && a.deviceType == b.deviceType && a.received == b.received &&
           a.sent == b.sent && a.state == b.state;
}

// The plain reading of a line: the whole line as text, its fields built a character at a time,
// and every number through Qt's parser.
namespace plain {

std::optional<QStringList> splitCsv(const QString &line) {
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c != QLatin1Char('"')) {
                field += c;
            } else if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                field += c;
                ++i;
            } else {
                quoted = false;
            }
        } else if (c == QLatin1Char('"')) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    if (quoted) return std::nullopt;
    fields << field;
    return fields;
}

int digits(QStringView text, qsizetype at, qsizetype n, bool &ok) {
    int v = 0;
    for (qsizetype i = at; i < at + n; ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9') {
            ok = false;
            return 0;
        }
        v = v * 10 + (c - u'0');
    }
    return v;
}

// The log's own form, "yyyy-MM-ddTHH:mm:ss+hh:mm", field by field; any other through Qt's parser,
// to the second.
QDateTime readTime(QStringView t) {
    if (t.size() != 25 || t[4] != u'-' || t[7] != u'-' || t[10] != u'T' || t[13] != u':' || t[16] != u':' ||
        (t[19] != u'+' && t[19] != u'-') || t[22] != u':') {
        const QDateTime other = QDateTime::fromString(t.toString(), Qt::ISODate);
        return other.addMSecs(-other.time().msec());
    }
    bool ok = true;
    const QDate date(digits(t, 0, 4, ok), digits(t, 5, 2, ok), digits(t, 8, 2, ok));
    const QTime time(digits(t, 11, 2, ok), digits(t, 14, 2, ok), digits(t, 17, 2, ok));
    const int hours = digits(t, 20, 2, ok), minutes = digits(t, 23, 2, ok);
    const int offset = (hours * 60 + minutes) * 60 * (t[19] == u'-' ? -1 : 1);
    if (!ok || !date.isValid() || !time.isValid() || hours > 23 || minutes > 59) return {};
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}

// A time as isoLocal writes it, from the date and the time Qt tells.
QString isoLocal(const QDateTime &time) {
    const QDate d = time.date();
    const QTime t = time.time();
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    char text[48];
    const int n = std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d%c%02d:%02d", d.year(), d.month(),
                                d.day(), t.hour(), t.minute(), t.second(), offset < 0 ? '-' : '+', minutes / 60,
                                minutes % 60);
    return QString::fromLatin1(text, std::clamp(n, 0, int(sizeof text) - 1));
}

std::optional<CallRow> parseLine(QByteArrayView line) {
    const std::optional<QStringList> fields = splitCsv(QString::fromUtf8(line));
    if (!fields || fields->size() != 13) return std::nullopt;
    const QStringList &f = *fields;
    CallRow row;
    row.start = readTime(f.at(0));
    row.end = readTime(f.at(1));
    bool ok = row.start.isValid() && row.end.isValid();
    bool good = false;
    row.units = f.at(3).toInt(&good);
    ok = ok && good;
    row.cost = f.at(4).toDouble(&good);
    ok = ok && good && std::isfinite(row.cost);
    row.currency = f.at(5);
    row.unitsA = f.at(6).toInt(&good);
    ok = ok && good;
    row.unitsB = f.at(7).toInt(&good);
    ok = ok && good;
    row.name = f.at(8);
    row.deviceType = f.at(9);
    for (const auto &[text, count] : {std::pair{f.at(10), &row.received}, std::pair{f.at(11), &row.sent}}) {
        if (text.isEmpty()) continue;
        *count = text.toULongLong(&good);
        ok = ok && good;
    }
    if (f.at(12) == QLatin1String("finished"))
        row.state = CallRow::State::Finished;
    else if (f.at(12) == QLatin1String("interrupted"))
        row.state = CallRow::State::Interrupted;
    else
        ok = false;
    if (!ok) return std::nullopt;
    return row;
}

QString json(const QList<CallRow> &rows, const CallTotals &t, const QDate &from, const QDate &to) {
    const auto count = [](const std::optional<quint64> &n) {
        return n ? QString::number(*n) : QStringLiteral("null");
    };
    QString out = QLatin1String("{\"from\":\"") + from.toString(Qt::ISODate) + QLatin1String("\",\"to\":\"") +
                  to.toString(Qt::ISODate) + QLatin1String("\",\"calls\":[");
    for (const CallRow &r : rows) {
        if (&r != &rows.first()) out += QLatin1Char(',');
        out += QLatin1String("{\"start\":\"") + plain::isoLocal(r.start) + QLatin1String("\",\"end\":\"") +
               plain::isoLocal(r.end) + QLatin1String("\",\"seconds\":") + QString::number(r.seconds()) +
               QLatin1String(",\"units\":") + QString::number(r.units) + QLatin1String(",\"cost\":") + stats::plainNumber(r.cost) +
               QLatin1String(",\"currency\":") + stats::jsonString(r.currency) + QLatin1String(",\"units_a\":") +
               QString::number(r.unitsA) + QLatin1String(",\"units_b\":") + QString::number(r.unitsB) +
               QLatin1String(",\"name\":") + stats::jsonString(r.name) + QLatin1String(",\"device\":") +
               stats::jsonString(r.deviceType) + QLatin1String(",\"bytes_received\":") + count(r.received) +
               QLatin1String(",\"bytes_sent\":") + count(r.sent) + QLatin1String(",\"state\":\"") +
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

QString text(const QList<CallRow> &rows, const CallTotals &t, const QLocale &locale) {
    const auto bytes = [](const std::optional<quint64> &n) { return n ? QString::number(*n) : QStringLiteral("-"); };
    QList<QStringList> lines{{QStringLiteral("Έναρξη"), QStringLiteral("Διάρκεια"), QStringLiteral("Μονάδες"),
                              QStringLiteral("Κόστος"), QStringLiteral("Λήψη"), QStringLiteral("Αποστολή"),
                              QStringLiteral("Κατάσταση")}};
    for (const CallRow &r : rows) {
        const QString iso = plain::isoLocal(r.start);
        lines.append({iso.left(10) + QLatin1Char(' ') + iso.mid(11, 8), durationText(r.seconds()),
                      QString::number(r.units), fmt::general(r.cost, locale) + QLatin1Char(' ') + r.currency,
                      bytes(r.received), bytes(r.sent),
                      r.state == CallRow::State::Finished ? QStringLiteral("ολοκληρώθηκε") : QStringLiteral("διακόπηκε")});
    }
    lines.append({QStringLiteral("Σύνολο"), durationText(t.seconds), QString::number(t.units),
                  fmt::general(t.cost, locale) + QLatin1Char(' ') + t.currency, QString::number(t.received),
                  QString::number(t.sent), QString()});
    QList<qsizetype> widths(7, 0);
    for (const QStringList &line : lines)
        for (int i = 0; i < 7; ++i) widths[i] = std::max(widths[i], line[i].size());
    QString out;
    for (const QStringList &line : lines) {
        QString l;
        for (int i = 0; i < 7; ++i) {
            if (i > 0) l += QLatin1String("  ");
            l += i == 0 || i == 6 ? line[i].leftJustified(widths[i]) : line[i].rightJustified(widths[i]);
        }
        while (l.endsWith(QLatin1Char(' '))) l.chop(1);
        out += l + QLatin1Char('\n');
    }
    return out;
}

// The csv form: the header, then each line of the days that has a row's thirteen fields and state.
QByteArray csv(const QByteArray &bytes, const QDate &from, const QDate &to) {
    QByteArray out = csvHeader() + '\n';
    const QByteArray first = from.toString(Qt::ISODate).toLatin1(), last = to.toString(Qt::ISODate).toLatin1();
    for (QByteArray line : bytes.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        const QByteArray day = line.left(10);
        if (day.size() < 10 || day[4] != '-' || day[7] != '-' ||
            std::count_if(day.begin(), day.end(), [](char c) { return c >= '0' && c <= '9'; }) != 8)
            continue;
        if (day < first || day > last) continue;
        int commas = 0;
        bool quoted = false;
        for (const char c : line) {
            if (c == '"')
                quoted = !quoted;
            else if (c == ',' && !quoted)
                ++commas;
        }
        if (!quoted && commas == 12 && (line.endsWith(",finished") || line.endsWith(",interrupted")))
            out += line + '\n';
    }
    return out;
}

} // namespace plain

// The same row, to the bit of its cost and to whether each text is there at all.
bool identical(const CallRow &a, const CallRow &b) {
    return sameRow(a, b) && std::memcmp(&a.cost, &b.cost, sizeof a.cost) == 0 &&
           a.currency.isNull() == b.currency.isNull() && a.name.isNull() == b.name.isNull() &&
           a.deviceType.isNull() == b.deviceType.isNull() &&
           a.start.timeSpec() == b.start.timeSpec() && a.end.timeSpec() == b.end.timeSpec() &&
           a.end.offsetFromUtc() == b.end.offsetFromUtc();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::Environment &env = fuzz::environment();
    if (size < 2) return 0;
    // The first byte chooses the month of the report and its form; the rest is the file.
    const QByteArray bytes(reinterpret_cast<const char *>(data) + 1, qsizetype(size - 1));
    for (const CallRow &row : parseCsv(bytes)) {
        const std::optional<CallRow> again = parseCsvLine(csvLine(row));
        if (!again || !sameRow(row, *again) || csvLine(*again) != csvLine(row)) std::abort();
    }
    // Every line reads as the plain reading reads it, and one reader over many lines, which
    // shares the texts of one row with the next, reads each as a reader of that line alone.
    CsvReader reader;
    for (const QByteArray &line : bytes.split('\n')) {
        const std::optional<CallRow> fast = reader.read(line);
        const std::optional<CallRow> slow = plain::parseLine(line);
        const std::optional<CallRow> alone = parseCsvLine(line);
        if (fast.has_value() != slow.has_value() || alone.has_value() != slow.has_value()) std::abort();
        if (fast && (!identical(*fast, *slow) || !identical(*alone, *slow))) std::abort();
    }
    stats::ReportRequest request;
    request.kind = data[0] & 1 ? stats::ReportRequest::Kind::Month : stats::ReportRequest::Kind::Year;
    request.year = 2000 + (data[0] >> 4);
    request.month = 1 + (data[0] >> 1) % 12;
    const QLocale greek(QLocale::Greek, QLocale::Greece);
    const auto [from, to] = requestDays(request);
    const QList<CallRow> rows = rowsOfDays(bytes, from, to);
    CallTotals totals;
    for (const CallRow &row : rows) totals.add(row);
    request.format = stats::ReportFormat::Text;
    if (formatCallsReport(bytes, request, greek) != plain::text(rows, totals, greek).toUtf8()) std::abort();
    request.format = stats::ReportFormat::Json;
    if (formatCallsReport(bytes, request, greek) != plain::json(rows, totals, from, to).toUtf8()) std::abort();
    request.format = stats::ReportFormat::Csv;
    if (formatCallsReport(bytes, request, greek) != plain::csv(bytes, from, to)) std::abort();
    // The same bytes as the journal a kill left behind.
    const QString path = QDir(env.dir.path()).filePath(QStringLiteral("calls.open"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        file.write(bytes);
        file.close();
        if (const std::optional<JournalEntry> entry = CallJournal(path).read())
            if (entry->offset < 0 || entry->text.size() > CallJournal::kTextCapacity) std::abort();
    }
    return 0;
}
