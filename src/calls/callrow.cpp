#include "calls/callrow.h"

#include "stats/ledgerreport.h"

#include <QStringList>
#include <cstdio>

namespace tarv::calls {

namespace {

constexpr int kColumns = 13;

QString stateText(CallRow::State state) {
    return state == CallRow::State::Finished ? QStringLiteral("finished") : QStringLiteral("interrupted");
}

QString optionalNumber(const std::optional<quint64> &n) {
    return n ? QString::number(*n) : QString();
}

// Splits a csv line into fields, taking quoted fields with doubled quotes inside.
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

std::optional<quint64> readCount(const QString &text, bool &ok) {
    if (text.isEmpty()) return std::nullopt;
    bool good = false;
    const quint64 n = text.toULongLong(&good);
    ok = ok && good;
    return n;
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

// Reads the one form isoLocal writes, "yyyy-MM-ddTHH:mm:ss+hh:mm", without the general parser,
// which would make a report over a long log many times slower.
QDateTime readIsoLocal(QStringView t) {
    if (t.size() != 25 || t[4] != u'-' || t[7] != u'-' || t[10] != u'T' || t[13] != u':' || t[16] != u':' ||
        (t[19] != u'+' && t[19] != u'-') || t[22] != u':')
        return QDateTime::fromString(t.toString(), Qt::ISODate);
    bool ok = true;
    const QDate date(digits(t, 0, 4, ok), digits(t, 5, 2, ok), digits(t, 8, 2, ok));
    const QTime time(digits(t, 11, 2, ok), digits(t, 14, 2, ok), digits(t, 17, 2, ok));
    const int offset = (digits(t, 20, 2, ok) * 60 + digits(t, 23, 2, ok)) * 60 * (t[19] == u'-' ? -1 : 1);
    if (!ok || !date.isValid() || !time.isValid()) return {};
    return QDateTime(date, time, Qt::OffsetFromUTC, offset);
}

} // namespace

QString isoLocal(const QDateTime &time) {
    // Written by hand: Qt's formatting reads its pattern anew at every call, which a report over a
    // long log notices.
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

QString csvField(const QString &text) {
    static const QString special = QStringLiteral(",\"\r\n");
    for (const QChar c : text)
        if (special.contains(c))
            return QLatin1Char('"') + QString(text).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return text;
}

QByteArray csvHeader() {
    return "start,end,seconds,units,cost,currency,units_a,units_b,name,device,bytes_received,bytes_sent,state";
}

QByteArray csvLine(const CallRow &row) {
    const QStringList fields{isoLocal(row.start),
                             isoLocal(row.end),
                             QString::number(row.seconds()),
                             QString::number(row.units),
                             stats::plainNumber(row.cost),
                             csvField(row.currency),
                             QString::number(row.unitsA),
                             QString::number(row.unitsB),
                             csvField(row.name),
                             csvField(row.deviceType),
                             optionalNumber(row.received),
                             optionalNumber(row.sent),
                             stateText(row.state)};
    
    return fields.join(QLatin1Char(',')).toUtf8();
}

std::optional<CallRow> parseCsvLine(QByteArrayView line) {
    const std::optional<QStringList> fields = splitCsv(QString::fromUtf8(line));
    if (!fields || fields->size() != kColumns) return std::nullopt;
    const QStringList &f = *fields;
    CallRow row;
    row.start = readIsoLocal(f.at(0));
    row.end = readIsoLocal(f.at(1));
    bool ok = row.start.isValid() && row.end.isValid();
    bool good = false;
    row.units = f.at(3).toInt(&good);
    ok = ok && good;
    row.cost = f.at(4).toDouble(&good);
    ok = ok && good;
    row.currency = f.at(5);
    row.unitsA = f.at(6).toInt(&good);
    ok = ok && good;
    row.unitsB = f.at(7).toInt(&good);
    ok = ok && good;
    row.name = f.at(8);
    row.deviceType = f.at(9);
    row.received = readCount(f.at(10), ok);
    row.sent = readCount(f.at(11), ok);
    if (f.at(12) == QLatin1String("finished"))
        row.state = CallRow::State::Finished;
    else if (f.at(12) == QLatin1String("interrupted"))
        row.state = CallRow::State::Interrupted;
    else
        ok = false;
    // Times keep the offset they were written with, so that a row reads back as the local
    // time of the day it was charged to.
    if (!ok) return std::nullopt;
    return row;
}

QList<CallRow> parseCsv(const QByteArray &bytes, int *skipped) {
    QList<CallRow> rows;
    int bad = 0;
    qsizetype start = 0;
    bool first = true;
    while (start < bytes.size()) {
        qsizetype end = bytes.indexOf('\n', start);
        if (end < 0) end = bytes.size();
        QByteArrayView line(bytes.constData() + start, end - start);
        if (line.endsWith('\r')) line.chop(1);
        if (!line.isEmpty() && !(first && line == csvHeader())) {
            if (std::optional<CallRow> row = parseCsvLine(line))
                rows.append(std::move(*row));
            else
                ++bad;
        }
        first = false;
        start = end + 1;
    }
    if (skipped) *skipped = bad;
    return rows;
}

} // namespace tarv::calls
