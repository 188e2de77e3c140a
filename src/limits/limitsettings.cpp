#include "limits/limitsettings.h"

#include "framework/errors.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <algorithm>
#include <cmath>
#include <functional>

namespace tarv::limits {

namespace {

const QString kSection = QStringLiteral("Limit");

// A line of INI text taken apart: the key, and where its value lies within the line.
struct KeyLine {
    QString key;
    qsizetype valueFrom = 0;
    qsizetype valueTo = 0;
};

// The section a line opens ("[Limit]" gives "Limit"); a null text when it opens none.
QString sectionOf(const QString &line) {
    const QString t = line.trimmed();
    if (t.size() >= 2 && t.startsWith(QLatin1Char('[')) && t.endsWith(QLatin1Char(']')))
        return t.mid(1, t.size() - 2).trimmed();
    return {};
}

// Takes "key = value ; comment" apart; false for a comment, a blank line or a line without "=".
bool keyLine(const QString &line, KeyLine &out) {
    const QString t = line.trimmed();
    if (t.isEmpty() || t.startsWith(QLatin1Char(';')) || t.startsWith(QLatin1Char('#'))) return false;
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq <= 0) return false;
    out.key = line.left(eq).trimmed();
    qsizetype from = eq + 1;
    while (from < line.size() && line[from].isSpace()) ++from;
    qsizetype to = line.size();
    // A value in double quotes ends at the first quote that only a comment or nothing follows.
    bool quoted = false;
    if (from < line.size() && line[from] == QLatin1Char('"')) {
        for (qsizetype q = line.indexOf(QLatin1Char('"'), from + 1); q > 0; q = line.indexOf(QLatin1Char('"'), q + 1)) {
            const QString rest = line.mid(q + 1).trimmed();
            if (rest.isEmpty() || rest.startsWith(QLatin1Char(';'))) {
                to = q + 1;
                quoted = true;
                break;
            }
        }
    }
    for (qsizetype i = from; i < line.size() && !quoted; ++i) {
        if (line[i] == QLatin1Char(';') && (i == from || line[i - 1].isSpace())) {
            to = i;
            break;
        }
    }
    while (to > from && line[to - 1].isSpace()) --to;
    out.valueFrom = from;
    out.valueTo = to;
    return true;
}

// Whether a value must be quoted to keep its end: a ";" after a space would start a comment.
bool needsQuotes(const QString &value) {
    return value.startsWith(QLatin1Char(';')) || value.contains(QLatin1String(" ;")) ||
           value.contains(QLatin1String("\t;"));
}

// The quotes that keep a value's ";" from the comment rule come off; other quotes (a path with
// spaces in a command) are the value's own.
QString unquoted(const QString &value) {
    if (value.size() >= 2 && value.startsWith(QLatin1Char('"')) && value.endsWith(QLatin1Char('"')) &&
        needsQuotes(value.mid(1, value.size() - 2)))
        return value.mid(1, value.size() - 2);
    return value;
}

// Calls visit for every key line of the [Limit] section with its value.
void forEachLimitKey(const QStringList &lines, const std::function<void(qsizetype, const KeyLine &)> &visit) {
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString section = sectionOf(lines[i]);
        if (!section.isNull()) {
            inSection = section.compare(kSection, Qt::CaseInsensitive) == 0;
            continue;
        }
        KeyLine k;
        if (inSection && keyLine(lines[i], k)) visit(i, k);
    }
}

bool readAmount(const QString &text, double &value) {
    QString t = text.trimmed();
    t.replace(QLatin1Char(','), QLatin1Char('.'));
    bool ok = false;
    const double v = t.toDouble(&ok);
    if (!ok || !std::isfinite(v) || v < 0 || v > 1e9) return false;
    // Kept to the thousandths the ledger and this file write, so that what the dialog writes
    // back reads as the same amount.
    value = std::round(v * 1000) / 1000;
    return true;
}

bool readBool(const QString &text, bool &value) {
    const QString t = text.trimmed().toLower();
    if (t == QLatin1String("true") || t == QLatin1String("1") || t == QLatin1String("yes") || t == QLatin1String("on")) {
        value = true;
    } else if (t == QLatin1String("false") || t == QLatin1String("0") || t == QLatin1String("no") ||
               t == QLatin1String("off")) {
        value = false;
    } else {
        return false;
    }
    return true;
}

QString problem(const QString &key, const QString &value, const QString &fallback) {
    return QStringLiteral("tarv.ini: η τιμή «%1» του %2 δεν ισχύει· ισχύει η προεπιλογή %3.").arg(value, key, fallback);
}

QStringList linesOf(const QByteArray &ini) {
    QString text = QString::fromUtf8(ini);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    return text.split(QLatin1Char('\n'));
}

} // namespace

QString settingsPath(const QString &dataFolder) {
    return QDir(dataFolder).filePath(QStringLiteral("tarv.ini"));
}

QString amountText(double value) {
    QString t = QString::number(value, 'f', 3);
    while (t.endsWith(QLatin1Char('0'))) t.chop(1);
    if (t.endsWith(QLatin1Char('.'))) t.chop(1);
    return t;
}

bool parseLevels(const QString &text, QList<int> &levels) {
    QList<int> out;
    for (const QString &part : text.split(QLatin1Char(','))) {
        QString t = part.trimmed();
        if (t.endsWith(QLatin1Char('%'))) t.chop(1);
        bool ok = false;
        const int v = t.trimmed().toInt(&ok);
        if (!ok || v < 1 || v > 1000) return false;
        if (!out.contains(v)) out.append(v);
    }
    std::sort(out.begin(), out.end());
    levels = out;
    return true;
}

QString levelsText(const QList<int> &levels) {
    QStringList parts;
    for (const int l : levels) parts << QString::number(l);
    return parts.join(QLatin1Char(','));
}

LoadedSettings parseLimitSettings(const QByteArray &ini) {
    LoadedSettings out;
    LimitSettings &s = out.settings;
    const LimitSettings defaults;
    const QStringList lines = linesOf(ini);
    forEachLimitKey(lines, [&](qsizetype i, const KeyLine &k) {
        const QString value = unquoted(lines[i].mid(k.valueFrom, k.valueTo - k.valueFrom));
        const auto is = [&](const char *name) { return k.key.compare(QLatin1String(name), Qt::CaseInsensitive) == 0; };
        const auto bad = [&](const QString &fallback) { out.problems << problem(k.key, value, fallback); };
        if (is("Monthly") || is("Daily")) {
            double &target = is("Monthly") ? s.monthly : s.daily;
            double v = 0;
            const bool good = value.trimmed().isEmpty() || readAmount(value, v);
            target = good ? v : 0;
            if (!good) bad(QStringLiteral("0"));
        } else if (is("CycleDay")) {
            bool ok = false;
            const int v = value.trimmed().toInt(&ok);
            const bool good = ok && v >= 1 && v <= 31;
            s.cycleDay = good ? v : defaults.cycleDay;
            if (!good) bad(QString::number(defaults.cycleDay));
        } else if (is("Warnings")) {
            if (!parseLevels(value, s.warnings)) {
                s.warnings = defaults.warnings;
                bad(levelsText(defaults.warnings));
            }
        } else if (is("HangUp")) {
            if (!readBool(value, s.hangUp)) {
                s.hangUp = false;
                bad(QStringLiteral("false"));
            }
        } else if (is("Command")) {
            s.command = value.trimmed();
        }
    });
    return out;
}

LoadedSettings readLimitSettings(const QString &path) {
    QFile file(path);
    if (!file.exists()) return {};
    if (!file.open(QIODevice::ReadOnly)) {
        LoadedSettings out;
        out.problems << QStringLiteral("%1: %2").arg(path, file.errorString());
        return out;
    }
    // A settings file is a few lines; anything far larger is not one and is not read whole.
    return parseLimitSettings(file.read(64 * 1024));
}

QByteArray updatedIni(const QByteArray &ini, const LimitSettings &s) {
    const QList<std::pair<QString, QString>> values{
        {QStringLiteral("Monthly"), amountText(s.monthly)},
        {QStringLiteral("Daily"), amountText(s.daily)},
        {QStringLiteral("CycleDay"), QString::number(s.cycleDay)},
        {QStringLiteral("Warnings"), levelsText(s.warnings)},
        {QStringLiteral("HangUp"), s.hangUp ? QStringLiteral("true") : QStringLiteral("false")},
        // A command holding " ;" would otherwise lose its end to the comment rule.
        {QStringLiteral("Command"), needsQuotes(s.command) ? QLatin1Char('"') + s.command + QLatin1Char('"') : s.command},
    };
    const bool crlf = ini.contains("\r\n");
    QStringList lines = ini.isEmpty() ? QStringList() : linesOf(ini);
    QList<bool> written(values.size(), false);
    forEachLimitKey(lines, [&](qsizetype i, const KeyLine &k) {
        for (qsizetype v = 0; v < values.size(); ++v) {
            if (k.key.compare(values[v].first, Qt::CaseInsensitive) != 0) continue;
            lines[i] = lines[i].left(k.valueFrom) + values[v].second + lines[i].mid(k.valueTo);
            written[v] = true;
        }
    });
    // Missing keys go after the section's last key line, or into a new section at the end.
    qsizetype insertAt = -1;
    bool inSection = false;
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QString section = sectionOf(lines[i]);
        if (!section.isNull()) inSection = section.compare(kSection, Qt::CaseInsensitive) == 0;
        if (inSection && (!section.isNull() || !lines[i].trimmed().isEmpty())) insertAt = i + 1;
    }
    if (insertAt < 0) {
        while (!lines.isEmpty() && lines.last().isEmpty()) lines.removeLast();
        if (!lines.isEmpty()) lines << QString();
        lines << QLatin1Char('[') + kSection + QLatin1Char(']');
        insertAt = lines.size();
    }
    for (qsizetype v = 0; v < values.size(); ++v)
        if (!written[v]) lines.insert(insertAt++, values[v].first + QLatin1Char('=') + values[v].second);
    if (lines.isEmpty() || !lines.last().isEmpty()) lines << QString();
    return lines.join(crlf ? QStringLiteral("\r\n") : QStringLiteral("\n")).toUtf8();
}

void writeLimitSettings(const QString &path, const LimitSettings &settings) {
    QByteArray old;
    QFile current(path);
    if (current.exists()) {
        if (!current.open(QIODevice::ReadOnly))
            throw EInOutError(QStringLiteral("Cannot open file \"%1\": %2").arg(path, current.errorString()));
        old = current.readAll();
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(updatedIni(old, settings)) < 0 || !file.commit())
        throw EInOutError(QStringLiteral("Cannot write file \"%1\": %2").arg(path, file.errorString()));
}

} // namespace tarv::limits
