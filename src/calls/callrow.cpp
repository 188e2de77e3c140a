#include "calls/callrow.h"

#include "stats/ledgerreport.h"

#include <QStringList>

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

} // namespace

QString isoLocal(const QDateTime &time) {
    const int offset = time.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return time.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2").arg(minutes / 60, 2, 10, QLatin1Char('0')).arg(minutes % 60, 2, 10, QLatin1Char('0'));
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
    row.start = QDateTime::fromString(f.at(0), Qt::ISODate);
    row.end = QDateTime::fromString(f.at(1), Qt::ISODate);
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
