// The running program runs a command line's command and answers with what the command line would
// have printed, or declines when it could not be sure to.

#include "app/commandline.h"
#include "app/commandservice.h"
#include "app/frontclient.h"
#include "framework/instancepaths.h"
#include "framework/singleinstance.h"
#include "meter/meterstatus.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include <atomic>
#include <sys/stat.h>
#include <thread>

using namespace tarv;

namespace {

// What the front gets for a payload from the program, which runs here in the meantime.
std::optional<front::Answer> ask(const QString &socket, const std::string &payload) {
    std::optional<front::Answer> answer;
    std::atomic<bool> done = false;
    std::thread front([&] {
        answer = front::askProgram(socket.toStdString(), payload, std::chrono::seconds(5));
        done = true;
    });
    while (!done) QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    front.join();
    return answer;
}

// A payload as the front makes it, in this process's environment.
std::string payload(const QByteArray &folder, const QList<QByteArray> &arguments) {
    std::vector<char *> argv;
    for (const QByteArray &a : arguments) argv.push_back(const_cast<char *>(a.constData()));
    return front::commandPayload(folder.toStdString(), int(argv.size()), argv.data(), front::systemVariable);
}

QByteArray text(const std::optional<front::Answer> &a) {
    return a ? "done " + QByteArray::number(a->exitStatus) + ' ' + QByteArray::number(qsizetype(a->out.size())) + ' ' +
                   QByteArray::number(qsizetype(a->err.size())) + '\n' + QByteArray::fromStdString(a->out + a->err)
             : QByteArray("none");
}

// What the command line prints for arguments when it runs the command itself.
QByteArray runHere(const QStringList &arguments, const QString &folder, const QByteArray &status = {}) {
    QByteArray out, err;
    int exit = 0;
    {
        QTextStream o(&out), e(&err);
        exit = runCommand(parseCommandLine(arguments, QDate::currentDate(), messagesOfEnvironment()), folder, o, e,
                          [&status](QString &) { return std::optional<QByteArray>(status); });
    }
    return "done " + QByteArray::number(exit) + ' ' + QByteArray::number(out.size()) + ' ' +
           QByteArray::number(err.size()) + '\n' + out + err;
}

struct Program {
    QTemporaryDir runtime, data;
    QByteArray savedRuntime = qgetenv("XDG_RUNTIME_DIR");
    MeterStatus status;
    std::unique_ptr<SingleInstance> instance;
    std::unique_ptr<CommandService> service;
    QByteArray folder;

    Program() {
        ::chmod(QFile::encodeName(runtime.path()).constData(), 0700);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(runtime.path()));
        QFile ledger(QDir(data.path()).filePath(QStringLiteral("data.dat")));
        ledger.open(QIODevice::WriteOnly);
        ledger.write(QByteArray("8|22|270|540|9|\xc4\xf1\xf7").leftJustified(100, ' ') + "\r\n\r\n030115|0012,500\r\n030116|0001,000");
        ledger.close();
        folder = QFile::encodeName(QDir(data.path()).canonicalPath());
        status.statusText = QStringLiteral("Σύνδεση: Ενεργή");
        instance = std::make_unique<SingleInstance>(data.path());
        instance->claim();
        const auto source = [this] { return statusJson(status); };
        instance->setStatusSource(source);
        service = std::make_unique<CommandService>(data.path(), source, instance.get());
        instance->setCommandHandler([this](const QByteArray &request, std::function<void(QByteArray)> reply) {
            service->serve(request, std::move(reply));
        });
    }
    ~Program() { qputenv("XDG_RUNTIME_DIR", savedRuntime); }

    QByteArray ask(const QList<QByteArray> &arguments, const QByteArray &asFolder = {}) {
        return text(::ask(instancePaths(data.path(), false).socket, payload(asFolder.isNull() ? folder : asFolder, arguments)));
    }
};

} // namespace

TEST(CommandService, AnswersWhatTheCommandLineWouldPrint) {
    Program p;
    const QString folder = p.data.path();
    // A report, a bad command line (its message and status) and the help.
    for (const QStringList &arguments :
         {QStringList{"tarv", "--report", "--year", "2003"}, QStringList{"tarv", "--report", "--year", "1999"},
          QStringList{"tarv", "--report", "--month", "2003-01", "--format", "json"}, QStringList{"tarv", "-h"}}) {
        QList<QByteArray> bytes;
        for (const QString &a : arguments) bytes << a.toUtf8();
        EXPECT_EQ(p.ask(bytes), runHere(arguments, folder)) << arguments.join(' ').toStdString();
    }
    // The status is the meter's own, as the socket's status line gives it.
    const QByteArray status = p.ask({"tarv", "--status"});
    EXPECT_EQ(status, runHere({"tarv", "--status"}, folder, statusJson(p.status)));
    EXPECT_TRUE(status.contains("Σύνδεση: Ενεργή")) << status.constData();
}

TEST(CommandService, DeclinesWhatOnlyTheCommandLineCanPrint) {
    Program p;
    // Another folder's command, the program's start, the watch and the log's rows.
    EXPECT_EQ(p.ask({"tarv", "--status"}, "/elsewhere"), "none");
    EXPECT_EQ(p.ask({"tarv", "-platform", "offscreen"}), "none");
    EXPECT_EQ(p.ask({"tarv", "--status", "--watch"}), "none");
    EXPECT_EQ(p.ask({"tarv", "--report", "--calls"}), "none");
    // A command line in another time zone, and fields without their last NUL.
    const std::string status = payload(p.folder, {"tarv", "--status"});
    const QByteArray savedTz = qgetenv("TZ");
    qputenv("TZ", "Asia/Tokyo");
    EXPECT_EQ(text(ask(instancePaths(p.data.path(), false).socket, status)), "none");
    savedTz.isNull() ? qunsetenv("TZ") : qputenv("TZ", savedTz);
    EXPECT_EQ(text(ask(instancePaths(p.data.path(), false).socket, status.substr(0, status.size() - 1))), "none");
}
