#pragma once

#include "app/commandline.h"
#include "meter/meterstatus.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tarv {

// The longest status line taken from the program; anything longer is not its answer.
inline constexpr qsizetype kMaxStatusLine = 4096;

// Asks the program running on dataFolder for its status: one line of json, without its line end.
// Nothing when no program answers; why then says what went wrong beyond "nothing runs there".
std::optional<QByteArray> askStatus(const QString &dataFolder, QString &why, int timeoutMs = 3000);

// The line `--status` prints for status: its text, or its json.
QString statusLine(const MeterStatus &status, bool json);

// The line `--status --watch` prints while no program runs on the folder.
QString absentLine(bool json);

// `tarv --status --watch`: prints the status line now and again whenever the program sends a new
// one (it sends one at every change, and every second while on line), writing each line to the
// standard output at once. While no program runs it prints absentLine() once and waits, without
// waking, until one starts. Ends when the standard output closes; returns the exit status.
int watchStatus(const QString &dataFolder, bool json, Messages messages);

} // namespace tarv
