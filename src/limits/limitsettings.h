#pragma once

#include <QList>
#include <QString>
#include <QStringList>

namespace tarv::limits {

// The spending limits as the user sets them, in the [Limit] section of tarv.ini beside the
// ledger. Amounts are in the ledger's currency; 0 means no limit.
struct LimitSettings {
    double monthly = 0;
    double daily = 0;
    int cycleDay = 1;                    // 1..31
    QList<int> warnings{50, 80, 100};    // per cent of the limit, ascending, no repeats
    bool hangUp = false;                 // end the dial-up connection at 100 per cent
    QString command;                     // run at every warning; empty: none

    bool operator==(const LimitSettings &o) const {
        return monthly == o.monthly && daily == o.daily && cycleDay == o.cycleDay && warnings == o.warnings &&
               hangUp == o.hangUp && command == o.command;
    }
    bool operator!=(const LimitSettings &o) const { return !(*this == o); }
};

// What reading the settings found: the values in force, and one message per key whose value
// could not be taken (the key's default is used instead), in Greek, naming the key.
struct LoadedSettings {
    LimitSettings settings;
    QStringList problems;
};

// The file's name in the data folder.
QString settingsPath(const QString &dataFolder);

// Reads the [Limit] section of INI text. A value ends at a ";" that follows a space (the rest
// of the line is a comment), unless it is in double quotes. Keys are matched without regard to
// case; other sections and keys are left alone.
LoadedSettings parseLimitSettings(const QByteArray &ini);

// Reads the file; a missing file gives the defaults without a problem.
LoadedSettings readLimitSettings(const QString &path);

// The warning levels in a text such as "50, 80,100"; false when the text holds anything else
// or no level. Levels lie in 1..1000, and come back ascending without repeats.
bool parseLevels(const QString &text, QList<int> &levels);
QString levelsText(const QList<int> &levels);

// The INI text with the [Limit] section's keys set to settings: a key's value is replaced in
// its line, which keeps its comment; missing keys are added at the end of the section (and the
// section at the end of the text). Everything else stays byte for byte.
QByteArray updatedIni(const QByteArray &ini, const LimitSettings &settings);

// Writes settings into the file, keeping what else it holds, through a temporary copy.
// Raises EInOutError when it cannot.
void writeLimitSettings(const QString &path, const LimitSettings &settings);

// An amount as the file holds it: a point, at most three decimals, no zeros after them.
QString amountText(double value);

} // namespace tarv::limits
