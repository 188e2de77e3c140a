#pragma once

#include "meter/meterstate.h"

#include <QByteArray>
#include <QDateTime>
#include <QLocale>
#include <QString>
#include <optional>

namespace tarv {

// The running meter's live figures, as `tarv --status` prints them.
struct MeterStatus {
    bool online = false;
    QString statusText;     // the status line as the window shows it
    qint64 elapsedSeconds = 0;
    double connectionCost = 0;
    double todayTotal = 0;
    QString currency;
    QString zone;           // "A" or "B" while on line, the zone in force; empty off line
    // Bytes the connection under way received and sent; nothing off line or when the interface
    // is not known.
    std::optional<quint64> received;
    std::optional<quint64> sent;
};

// The figures of state at now, with the status line the last tick set. They come from what the
// meter keeps in memory, so a status bar that asks every second costs the program no file read.
// Off line the connection counts nothing; after midnight without a charge, today is still 0.
MeterStatus meterStatus(const MeterState &state, const QString &statusLine, const QDateTime &now);

// The figures as one line of compact json, which the program answers over its local channel.
QByteArray statusJson(const MeterStatus &status);

// Reads statusJson's answer back. False for anything else. The texts come from another process
// and end up on a terminal: control characters in them are dropped.
bool parseStatusJson(const QByteArray &json, MeterStatus &status);

// text without its control characters (C0, C1, DEL) and the marks that reorder a terminal's
// line (bidirectional embeddings, overrides and isolates).
QString printableText(const QString &text);

// One line for a status bar: "online | Σύνδεση: Ενεργή (ppp) | 65 s | 18 Δρχ | Σήμερα: 45 Δρχ".
QString statusText(const MeterStatus &status, const QLocale &locale = QLocale());

} // namespace tarv
