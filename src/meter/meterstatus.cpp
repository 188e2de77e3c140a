#include "meter/meterstatus.h"

#include "framework/textformat.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <algorithm>

namespace tarv {

MeterStatus meterStatus(const MeterState &state, const QString &statusLine, const QDateTime &now) {
    MeterStatus st;
    st.online = state.online;
    st.statusText = statusLine.trimmed();
    if (state.online) {
        // Whole seconds, as the elapsed-time line counts them; a clock set back reads as 0.
        st.elapsedSeconds = std::max<qint64>(0, state.connectionStart.msecsTo(now) / 1000);
        st.connectionCost = state.connectionCost;
        const int hour = now.time().hour();
        st.zone = hour < state.zoneAFrom || hour >= state.zoneATo ? QStringLiteral("B") : QStringLiteral("A");
    }
    // The day's record rolls over with the first charge of a new day; until then the window
    // already shows 0 for the new day, and so does the status.
    st.todayTotal = now.date() == state.currentDay ? state.dayTotal() : 0;
    st.currency = state.currencyLabel;
    return st;
}

QByteArray statusJson(const MeterStatus &status) {
    QJsonObject o{
        {QStringLiteral("online"), status.online},
        {QStringLiteral("status"), status.statusText},
        {QStringLiteral("elapsed"), double(status.elapsedSeconds)},
        {QStringLiteral("cost"), status.connectionCost},
        {QStringLiteral("today"), status.todayTotal},
        {QStringLiteral("currency"), status.currency},
        {QStringLiteral("zone"), status.zone},
    };
    // Only when known, so that "no figure" never reads as "nothing moved".
    if (status.received) o.insert(QStringLiteral("received"), double(*status.received));
    if (status.sent) o.insert(QStringLiteral("sent"), double(*status.sent));
    return QJsonDocument(o).toJson(QJsonDocument::Compact);
}

bool parseStatusJson(const QByteArray &json, MeterStatus &status) {
    QJsonParseError error;
    const QJsonDocument doc = QJsonDocument::fromJson(json, &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject()) return false;
    const QJsonObject o = doc.object();
    if (!o.value(QStringLiteral("online")).isBool() || !o.value(QStringLiteral("today")).isDouble()) return false;
    status.online = o.value(QStringLiteral("online")).toBool();
    status.statusText = printableText(o.value(QStringLiteral("status")).toString());
    status.elapsedSeconds = qint64(o.value(QStringLiteral("elapsed")).toDouble());
    status.connectionCost = o.value(QStringLiteral("cost")).toDouble();
    status.todayTotal = o.value(QStringLiteral("today")).toDouble();
    status.currency = printableText(o.value(QStringLiteral("currency")).toString());
    status.zone = printableText(o.value(QStringLiteral("zone")).toString());
    status.received.reset();
    status.sent.reset();
    if (o.value(QStringLiteral("received")).isDouble())
        status.received = quint64(o.value(QStringLiteral("received")).toDouble());
    if (o.value(QStringLiteral("sent")).isDouble()) status.sent = quint64(o.value(QStringLiteral("sent")).toDouble());
    return true;
}

QString printableText(const QString &text) {
    QString kept;
    kept.reserve(text.size());
    for (const QChar c : text) {
        const char16_t u = c.unicode();
        const bool reorders = (u >= 0x202A && u <= 0x202E) || (u >= 0x2066 && u <= 0x2069);
        if (c.category() != QChar::Other_Control && !reorders) kept.append(c);
    }
    return kept;
}

QString statusText(const MeterStatus &s, const QLocale &locale) {
    const QString space = QStringLiteral(" ");
    QStringList parts{s.online ? QStringLiteral("online") : QStringLiteral("offline")};
    if (!s.statusText.isEmpty()) parts << s.statusText;
    parts << QString::number(s.elapsedSeconds) + QStringLiteral(" s")
          << fmt::general(s.connectionCost, locale) + space + s.currency
          << QStringLiteral("Σήμερα: ") + fmt::general(s.todayTotal, locale) + space + s.currency;
    if (s.received && s.sent)
        parts << QStringLiteral("Λήψη: %1 B, Αποστολή: %2 B").arg(*s.received).arg(*s.sent);
    return parts.join(QStringLiteral(" | "));
}

} // namespace tarv
