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
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>
#include <QTextStream>
#include <gtest/gtest.h>

#include <cstring>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

using namespace tarv;

namespace {

// Sends bytes to the socket at path and returns all it answers until it closes, running the
// program's side in the meantime.
QByteArray exchange(const QString &path, const QByteArray &bytes) {
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    const QByteArray native = QFile::encodeName(path);
    std::memcpy(address.sun_path, native.constData(), size_t(native.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK, 0);
    if (::connect(fd, reinterpret_cast<const sockaddr *>(&address), sizeof address) != 0) return "no connection";
    ::send(fd, bytes.constData(), size_t(bytes.size()), MSG_NOSIGNAL);
    QByteArray answer;
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < 5000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        char chunk[4096];
        const ssize_t n = ::recv(fd, chunk, sizeof chunk, 0);
        if (n == 0) break;
        if (n > 0) answer.append(chunk, n);
    }
    ::close(fd);
    return answer;
}

// A request as the front sends it, in this process's environment.
QByteArray request(const QByteArray &folder, const QList<QByteArray> &arguments) {
    std::vector<char *> argv;
    for (const QByteArray &a : arguments) argv.push_back(const_cast<char *>(a.constData()));
    const std::string payload =
        front::commandPayload(folder.toStdString(), int(argv.size()), argv.data(), front::systemVariable);
    return QByteArray::fromStdString(payload);
}

QByteArray commandBytes(const QByteArray &request) {
    return "command " + QByteArray::number(request.size()) + '\n' + request + QByteArray(kCommandPadding, '\0');
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
        return exchange(instancePaths(data.path(), false).socket,
                        commandBytes(request(asFolder.isNull() ? folder : asFolder, arguments)));
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
    EXPECT_EQ(p.ask({"tarv", "--status"}, "/elsewhere"), "decline\n");
    EXPECT_EQ(p.ask({"tarv", "-platform", "offscreen"}), "decline\n");
    EXPECT_EQ(p.ask({"tarv", "--status", "--watch"}), "decline\n");
    EXPECT_EQ(p.ask({"tarv", "--report", "--calls"}), "decline\n");
    // A command line in another language or time zone.
    const QByteArray status = request(p.folder, {"tarv", "--status"});
    const QByteArray savedTz = qgetenv("TZ");
    qputenv("TZ", "Asia/Tokyo");
    EXPECT_EQ(exchange(instancePaths(p.data.path(), false).socket, commandBytes(status)), "decline\n");
    if (savedTz.isNull()) qunsetenv("TZ"); else qputenv("TZ", savedTz);
    // Fields without their last NUL, and a length past the limit, which is not read at all.
    EXPECT_EQ(exchange(instancePaths(p.data.path(), false).socket, commandBytes(status.chopped(1))), "decline\n");
    EXPECT_EQ(exchange(instancePaths(p.data.path(), false).socket, "command 99999999\n" + status), "");
}
