#include "platform/linux/xdgautostartstore.h"

#include "framework/errors.h"

#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QStandardPaths>

namespace tarv {

namespace {

QString entryPath(const QString &folder, const QString &name) {
    return folder + QLatin1Char('/') + name + QStringLiteral(".desktop");
}

// The value of a key in the [Desktop Entry] group, or a null text.
QString desktopValue(const QList<QByteArray> &lines, const QByteArray &key) {
    bool inEntry = false;
    for (const QByteArray &raw : lines) {
        const QByteArray line = raw.trimmed();
        if (line.startsWith('[')) {
            inEntry = (line == "[Desktop Entry]");
            continue;
        }
        if (!inEntry) continue;
        const int eq = line.indexOf('=');
        if (eq <= 0) continue;
        if (line.left(eq).trimmed() == key) return QString::fromUtf8(line.mid(eq + 1).trimmed());
    }
    return QString();
}

} // namespace

QString XdgAutostartStore::folder() const {
    if (!m_folder.isEmpty()) return m_folder;
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || !QDir::isAbsolutePath(base)) base = QDir::homePath() + QStringLiteral("/.config");
    return base + QStringLiteral("/autostart");
}

QString XdgAutostartStore::execValue(const QString &executablePath) {
    // Inside a quoted argument, ", `, $ and \ are escaped with a backslash.
    QString escaped;
    for (QChar c : executablePath) {
        if (c == QLatin1Char('"') || c == QLatin1Char('`') || c == QLatin1Char('$') || c == QLatin1Char('\\'))
            escaped += QLatin1Char('\\');
        escaped += c;
    }
    // The desktop-entry string type escapes a backslash once more, and a literal percent sign
    // is doubled so that it is not taken for a field code.
    escaped.replace(QLatin1String("\\"), QLatin1String("\\\\"));
    escaped.replace(QLatin1String("%"), QLatin1String("%%"));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}

QString XdgAutostartStore::pathFromExec(const QString &exec) {
    QString value = exec;
    value.replace(QLatin1String("%%"), QLatin1String("%"));
    value.replace(QLatin1String("\\\\"), QLatin1String("\\"));
    if (!value.startsWith(QLatin1Char('"'))) return value.section(QLatin1Char(' '), 0, 0);
    QString path;
    for (int i = 1; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c == QLatin1Char('\\') && i + 1 < value.size()) {
            path += value.at(++i);
        } else if (c == QLatin1Char('"')) {
            break;
        } else {
            path += c;
        }
    }
    return path;
}

QString XdgAutostartStore::read(const QString &name) const {
    QFile file(entryPath(folder(), name));
    if (!file.exists()) return QString();
    if (!file.open(QIODevice::ReadOnly))
        throw ERegistryException(QStringLiteral("Failed to get data for '%1'").arg(name));
    const QList<QByteArray> lines = file.readAll().split('\n');
    if (desktopValue(lines, "Hidden").compare(QLatin1String("true"), Qt::CaseInsensitive) == 0)
        return QString();
    if (desktopValue(lines, "X-GNOME-Autostart-enabled")
            .compare(QLatin1String("false"), Qt::CaseInsensitive) == 0)
        return QString();
    const QString exec = desktopValue(lines, "Exec");
    if (exec.isEmpty()) return QString();
    return pathFromExec(exec);
}

void XdgAutostartStore::write(const QString &name, const QString &executablePath) {
    const QString dir = folder();
    if (!QDir().mkpath(dir)) throw ERegistryException(QStringLiteral("Failed to create key %1").arg(dir));
    QSaveFile file(entryPath(dir, name));
    if (!file.open(QIODevice::WriteOnly))
        throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(name));
    QByteArray text;
    text += "[Desktop Entry]\n";
    text += "Type=Application\n";
    text += "Name=" + name.toUtf8() + "\n";
    text += "Comment=Χρέωση Internet by Pelmo\n";
    text += "Exec=" + execValue(executablePath).toUtf8() + "\n";
    text += "Icon=tarv\n";
    text += "Terminal=false\n";
    text += "X-GNOME-Autostart-enabled=true\n";
    file.write(text);
    if (!file.commit()) throw ERegistryException(QStringLiteral("Failed to set data for '%1'").arg(name));
}

void XdgAutostartStore::remove(const QString &name) {
    QFile file(entryPath(folder(), name));
    if (!file.exists()) return;
    if (!file.remove()) throw ERegistryException(QStringLiteral("Failed to delete value '%1'").arg(name));
}

} // namespace tarv
