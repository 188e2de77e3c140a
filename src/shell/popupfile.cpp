#include "shell/popupfile.h"

#include "framework/errors.h"
#include "framework/textformat.h"

#include <QFile>
#include <QUrl>

namespace tarv {

QString trimControls(const QString &text) {
    qsizetype begin = 0;
    qsizetype end = text.size();
    while (begin < end && text.at(begin).unicode() <= 32)
        ++begin;
    while (end > begin && text.at(end - 1).unicode() <= 32)
        --end;
    return text.mid(begin, end - begin);
}

QList<QByteArray> splitPopupLines(const QByteArray &bytes) {
    QList<QByteArray> lines;
    const qsizetype eof = bytes.indexOf('\x1a');
    const qsizetype size = eof < 0 ? bytes.size() : eof;
    qsizetype start = 0;
    qsizetype i = 0;
    while (i < size) {
        if (bytes.at(i) != '\r') {
            ++i;
            continue;
        }
        lines << bytes.mid(start, i - start);
        ++i;
        if (i < size && bytes.at(i) == '\n') ++i;
        start = i;
    }
    // A last line without its CR is still a line; nothing after a final CR is not.
    if (start < size) lines << bytes.mid(start, size - start);
    return lines;
}

QList<PopupItem> parsePopupFile(const QByteArray &bytes) {
    QList<PopupItem> items;
    for (const QByteArray &raw : splitPopupLines(bytes)) {
        const QString line = trimControls(fmt::fromCp1253(raw));
        if (line.isEmpty()) continue;
        PopupItem item;
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        if (bar >= 0) {
            // 1-based positions as copyChars counts them: the bar stands at bar + 1. A bar in
            // the first place gives a length of 0, which copyChars reads as the whole line.
            const int barPos = int(bar) + 1;
            item.command = fmt::copyChars(line, barPos + 1, 0);
            item.caption = fmt::copyChars(line, 1, barPos - 1);
        } else {
            item.caption = line;
        }
        item.separator = trimControls(item.caption) == QLatin1String("-");
        items << item;
    }
    return items;
}

QList<PopupItem> readPopupFile(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        throw EInOutError(QStringLiteral("Cannot open file \"%1\". %2").arg(path, file.errorString()));
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError)
        throw EInOutError(QStringLiteral("Cannot read file \"%1\". %2").arg(path, file.errorString()));
    return parsePopupFile(bytes);
}

MenuCommand classifyMenuCommand(const QString &hint) {
    MenuCommand c;
    c.text = trimControls(hint);
    if (c.text.startsWith(QLatin1String("MM"))) {
        c.kind = MenuCommand::Internal;
        return c;
    }
    const QUrl url(c.text, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    if (url.isValid() && (scheme == QLatin1String("http") || scheme == QLatin1String("https")) &&
        !url.host().isEmpty())
        c.kind = MenuCommand::OpenUrl;
    return c;
}

QString internalCommandWord(const QString &command) {
    return fmt::copyChars(command, 3, 0);
}

} // namespace tarv
