#include "app/commandservice.h"

#include "app/commandexchange.h"
#include "app/commandline.h"

#include <QDir>
#include <QFile>
#include <QList>
#include <QMetaObject>
#include <QObject>
#include <QTextStream>
#include <QThreadPool>

namespace tarv {

namespace {

// A command line whose environment differs in what decides the output's language, numbers, month
// names or day is declined: only it can print what it would print.
constexpr qsizetype kEnvironmentFields = qsizetype(std::size(kCommandVariables));

const QByteArray kDecline = "decline\n";

QByteArray environmentField(const char *name) {
    return qEnvironmentVariableIsSet(name) ? '=' + qgetenv(name) : QByteArray();
}

// The canonical path of folder as the system names it.
QByteArray canonicalName(const QString &folder) {
    return QFile::encodeName(QDir(folder).canonicalPath());
}

} // namespace

CommandService::CommandService(QString dataFolder, std::function<QByteArray()> statusSource, QObject *context)
    : m_dataFolder(std::move(dataFolder)), m_statusSource(std::move(statusSource)), m_context(context) {}

void CommandService::serve(const QByteArray &request, std::function<void(QByteArray)> reply) const {
    QList<QByteArray> fields = request.split('\0');
    // Every field ends with its NUL, so the split leaves one empty piece after the last.
    if (!request.endsWith('\0') || fields.size() < 1 + kEnvironmentFields + 1) return reply(kDecline);
    fields.removeLast();
    if (fields.first() != canonicalName(m_dataFolder)) return reply(kDecline);
    for (qsizetype i = 0; i < kEnvironmentFields; ++i)
        if (fields.at(1 + i) != environmentField(kCommandVariables[i])) return reply(kDecline);

    QStringList arguments{QStringLiteral("tarv")};
    for (qsizetype i = 1 + kEnvironmentFields; i < fields.size(); ++i)
        arguments << QString::fromLocal8Bit(fields.at(i));
    const Command command = parseCommandLine(arguments, QDate::currentDate(), messagesOfEnvironment());
    // Starting the program, following its status and listing the log's rows (as long as the
    // log itself) stay with the command line.
    if (command.action == Command::Action::StartProgram || command.watch || command.calls) return reply(kDecline);

    // The status is the meter's as it is now, taken on the meter's thread.
    const QByteArray status = m_statusSource ? m_statusSource() : QByteArray();
    QThreadPool::globalInstance()->start([command, status, folder = m_dataFolder, context = m_context, reply] {
        QByteArray answer;
        try {
            QByteArray out, err;
            int exit = 0;
            {
                QTextStream outStream(&out), errStream(&err);
                exit = runCommand(command, folder, outStream, errStream,
                                  [&status](QString &) { return std::optional<QByteArray>(status); });
            }
            answer = size_t(out.size() + err.size()) > kMaxCommandAnswer
                         ? kDecline
                         : "done " + QByteArray::number(exit) + ' ' + QByteArray::number(out.size()) + ' ' +
                               QByteArray::number(err.size()) + '\n' + out + err;
        } catch (...) {
            // The command line runs it again and shows what went wrong its own way.
            answer = kDecline;
        }
        QMetaObject::invokeMethod(context, [reply, answer] { reply(answer); }, Qt::QueuedConnection);
    });
}

} // namespace tarv
