#include "app/commandservice.h"

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

// What decides the language, the numbers, the month names and the day of a command's output.
// A command line whose values differ is declined: only it can print what it would print.
constexpr const char *kEnvironment[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_NUMERIC", "LC_TIME", "LANG", "TZ"};
constexpr qsizetype kEnvironmentFields = qsizetype(std::size(kEnvironment));

// The largest answer sent; a longer output is left to the command line, which writes it as it goes.
constexpr qsizetype kMaxAnswer = 16 * 1024 * 1024;

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

QByteArray CommandService::request(const QByteArray &folder, const QList<QByteArray> &arguments) {
    QByteArray request = folder + '\0';
    for (const char *name : kEnvironment) request += environmentField(name) + '\0';
    for (qsizetype i = 1; i < arguments.size(); ++i) request += arguments.at(i) + '\0';
    return request;
}

void CommandService::serve(const QByteArray &request, std::function<void(QByteArray)> reply) const {
    QList<QByteArray> fields = request.split('\0');
    // Every field ends with its NUL, so the split leaves one empty piece after the last.
    if (!request.endsWith('\0') || fields.size() < 1 + kEnvironmentFields + 1) return reply(kDecline);
    fields.removeLast();
    if (fields.first() != canonicalName(m_dataFolder)) return reply(kDecline);
    for (qsizetype i = 0; i < kEnvironmentFields; ++i)
        if (fields.at(1 + i) != environmentField(kEnvironment[i])) return reply(kDecline);

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
            answer = out.size() + err.size() > kMaxAnswer
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
