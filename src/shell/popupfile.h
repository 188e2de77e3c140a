#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

namespace tarv {

// One line of the vendor menu file: a caption with its command, or a separator.
struct PopupItem {
    // The caption as split off the line, without the three spaces the menu adds.
    QString caption;
    // Everything after the first bar, untrimmed; empty when the line has no bar.
    QString command;
    // A caption that is only a hyphen once trimmed: drawn as a line, never chosen.
    bool separator = false;

    bool operator==(const PopupItem &o) const {
        return caption == o.caption && command == o.command && separator == o.separator;
    }
};

// Removes every character with a code of 32 or less from both ends of text.
QString trimControls(const QString &text);

// Splits the bytes of a menu file into its lines: a line ends at CR, an LF right after the CR
// belongs to the same line end, a lone LF is ordinary text, and Ctrl-Z ends the file.
QList<QByteArray> splitPopupLines(const QByteArray &bytes);

// The menu items of a menu file's bytes (single-byte Greek code page), in the order of the lines.
QList<PopupItem> parsePopupFile(const QByteArray &bytes);

// Reads and parses the menu file at path. Raises EInOutError when it cannot be opened or read.
QList<PopupItem> readPopupFile(const QString &path);

// What choosing a menu item with a given command does.
struct MenuCommand {
    enum Kind {
        Nothing,  // an empty command, or one that is not safe to hand to the desktop
        Internal, // "MM" followed by a command word, handled by the program itself
        OpenUrl,  // a web address (http or https) opened by the desktop's default browser
    };
    Kind kind = Nothing;
    // The trimmed command text.
    QString text;
};

// Classifies a menu item's command. The file comes over plain HTTP, so only web addresses and
// the program's own commands are acted on: local programs, files and other schemes do nothing.
MenuCommand classifyMenuCommand(const QString &hint);

// The command word of an internal command: its text from the third character on.
QString internalCommandWord(const QString &command);

} // namespace tarv
