#pragma once

#include "framework/instancepaths.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QLocalServer;
class QLocalSocket;
class QLockFile;

namespace tarv {

// Keeps one running program per data folder and user. The first program holds a lock and listens
// on a local socket, both named by instancePaths(); a later start finds it, asks it to show its
// main window and ends. The socket also answers the command line: "status" with one line of the
// meter's state, "watch" with that line now and again at every change, and "command <n>" (n bytes
// follow) with what a whole command prints, so that a command need not load the libraries that
// run it.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    enum class Claim {
        First,   // this program runs the folder's meter
        Running, // another program runs it and has been asked to show its main window
        Failed,  // neither: error() says why
    };
    Claim claim();

    // Why the claim failed; after a successful claim, why the command line cannot reach this
    // program (its socket could not listen), or empty.
    QString error() const { return m_error; }

    // The status line (one line of json, without its line end) the socket answers with. Without
    // a source, status questions go unanswered.
    void setStatusSource(std::function<QByteArray()> source) { m_statusSource = std::move(source); }

    // Runs a command's request (its bytes) and calls reply once with the answer, then or later on
    // this thread. Without a handler, commands are declined.
    using CommandHandler = std::function<void(const QByteArray &request, std::function<void(QByteArray)> reply)>;
    void setCommandHandler(CommandHandler handler) { m_commandHandler = std::move(handler); }

    // Sends the status to the watching command lines when it differs from what they were last
    // sent. Called after every tick; without watchers it costs nothing.
    void publishStatus();

    // The number of command lines that watch the status.
    qsizetype watcherCount() const { return m_watchers.size(); }

signals:
    // A later start asked this program to show its main window.
    void showRequested();

private:
    bool askRunningInstance();
    bool listen();
    void serve(QLocalSocket *client);
    void sendTo(QLocalSocket *client, const QByteArray &line);
    void publish(const QByteArray &line);
    void drop(QLocalSocket *client);
    bool takeCommand(QLocalSocket *client, const QByteArray &request);
    void runCommand(QLocalSocket *client, qint64 size);

    InstancePaths m_paths;
    QString m_error;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    std::function<QByteArray()> m_statusSource;
    QList<QLocalSocket *> m_watchers;
    QByteArray m_published; // the line the watchers were last sent
    CommandHandler m_commandHandler;
    QHash<QLocalSocket *, qint64> m_commandSizes; // clients whose command's bytes are on the way
    int m_commandsRunning = 0;
};

} // namespace tarv
