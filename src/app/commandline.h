#pragma once

#include "stats/ledgerreport.h"

#include <QByteArray>
#include <QDate>
#include <QString>
#include <QStringList>
#include <functional>
#include <optional>

class QTextStream;

namespace tarv {

// Exit statuses of the commands that print and end.
enum ExitStatus : int { ExitOk = 0, ExitLedger = 1, ExitUsage = 2, ExitNotRunning = 3 };

// The language of the help and of the command line's own messages.
enum class Messages { English, Greek };

// Greek when the locale the environment chooses for messages (LC_ALL, else LC_MESSAGES, else
// LANG) is a Greek one, English otherwise.
Messages messagesOfEnvironment();

// What the arguments ask for.
struct Command {
    enum class Action { StartProgram, Report, Status, Help, Version, Error, Check };
    Action action = Action::StartProgram;
    stats::ReportRequest report;
    // --status --watch: one line now and one at every change, until the output closes.
    bool watch = false;
    // The message of a bad command line (Action::Error), without the program's name.
    QString error;
    Messages messages = Messages::English;
    // --report --calls: the connection log's rows instead of the ledger's totals.
    bool calls = false;
};

// Parses the arguments (the program's path first). today gives the default year of a report.
// Without --report, --status, --help or --version the program starts as it always has; the
// options Qt's own windowing takes (-platform, -session, ...) are let through for it.
Command parseCommandLine(const QStringList &arguments, const QDate &today, Messages messages = Messages::English);

// The help text in the command's language.
QString helpText(Messages messages);

// The running program's status line (its json), or nothing with why when none answers.
using StatusQuestion = std::function<std::optional<QByteArray>(QString &why)>;

// Runs a command that prints and ends, over the ledger and the running program of dataFolder.
// The report only ever opens the ledger for reading. Returns the exit status. --status --watch
// is not run here: it writes to the process's own output (see statuswatch.h). --status asks the
// program through its socket unless askStatus is given.
int runCommand(const Command &command, const QString &dataFolder, QTextStream &out, QTextStream &err,
               const StatusQuestion &askStatus = {});

// The program's first step: handles a command that prints and ends, without a display, and
// returns its exit status; nothing when the program is to start its windows.
std::optional<int> runCommandLine(int argc, char **argv);

} // namespace tarv
