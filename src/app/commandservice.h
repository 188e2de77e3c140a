#pragma once

#include <QByteArray>
#include <QString>
#include <functional>

class QObject;

namespace tarv {

// The running program's side of "command <n>" (see commandexchange.h): a command line that finds
// the program running sends it the command instead of loading the libraries that run it, and
// prints what comes back. The program runs the command with the same code the command line would
// have run, in the same environment and over the same folder, so that the answer is what the
// command line would have printed; anything else it declines, and the command line runs the
// command itself.
class CommandService final {
public:
    // statusSource gives the meter's status line (on the program's thread); replies are made on
    // context's thread.
    CommandService(QString dataFolder, std::function<QByteArray()> statusSource, QObject *context);

    // Answers request through reply: declined at once, or run on a worker thread, as the meter's
    // tick must not wait for a report over a long ledger.
    void serve(const QByteArray &request, std::function<void(QByteArray)> reply) const;

private:
    QString m_dataFolder;
    std::function<QByteArray()> m_statusSource;
    QObject *m_context = nullptr;
};

} // namespace tarv
