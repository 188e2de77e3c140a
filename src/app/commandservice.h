#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QObject;

namespace tarv {

// The running program's side of "command <n>": a command line that finds the program running
// sends it the command instead of loading the libraries that run it, and prints what comes back.
// The program runs the command with the same code the command line would have run, in the same
// environment and over the same folder, so that the answer is what the command line would have
// printed; anything else it declines, and the command line runs the command itself.
//
// A request is NUL-terminated fields: the data folder as the command line found it (its
// canonical path), then LANGUAGE, LC_ALL, LC_MESSAGES, LC_NUMERIC, LC_TIME, LANG and TZ (empty
// when unset, "=value" when set), then the arguments after the program's name. The answer is
// "decline\n", or "done <exit> <outlen> <errlen>\n" followed by the bytes of the standard output
// and then those of the standard error.
class CommandService final {
public:
    // statusSource gives the meter's status line (on the program's thread); replies are made on
    // context's thread.
    CommandService(QString dataFolder, std::function<QByteArray()> statusSource, QObject *context);

    // Answers request through reply: declined at once, or run on a worker thread, as the meter's
    // tick must not wait for a report over a long ledger.
    void serve(const QByteArray &request, std::function<void(QByteArray)> reply) const;

    // The request the command line sends for arguments (the program's name first), in the
    // environment of this process.
    static QByteArray request(const QByteArray &folder, const QList<QByteArray> &arguments);

private:
    QString m_dataFolder;
    std::function<QByteArray()> m_statusSource;
    QObject *m_context = nullptr;
};

} // namespace tarv
