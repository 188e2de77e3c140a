#pragma once

#include <QByteArray>
#include <QString>
#include <optional>

namespace tarv {

// The command line's end of the running program's local socket, on plain system calls: the
// command line links Qt Core alone.
class StatusChannel final {
public:
    StatusChannel() = default;
    ~StatusChannel();
    StatusChannel(const StatusChannel &) = delete;
    StatusChannel &operator=(const StatusChannel &) = delete;

    // Connects to the socket at path without waiting; false when nothing listens there.
    bool open(const QString &path);
    bool send(const char *request);
    // Waits up to timeoutMs (-1: for ever) for data and keeps it. False when nothing came.
    bool receive(int timeoutMs);
    // Keeps what has arrived, without waiting; notes the end of the stream or an error.
    void drain();
    // The stream has ended (or failed): nothing more will arrive.
    bool ended() const { return m_ended; }
    bool hasLine() const { return m_buffer.contains('\n'); }
    // The next whole line received, without its end.
    std::optional<QByteArray> takeLine();
    // More than a status line is held without a line end: not the program's answer.
    bool overflowing() const;
    int fd() const { return m_fd; }

private:
    int m_fd = -1;
    bool m_ended = false;
    QByteArray m_buffer;
};

// Writes text and a line end to the standard output at once. False when the output is closed.
bool writeOutputLine(const QString &text);

// What `--status --watch` waits on: the channel, the standard output (closed by its reader) and,
// while no program runs, the folder where the program's socket appears.
class StatusWatch final {
public:
    explicit StatusWatch(const QString &dataFolder);
    ~StatusWatch();
    StatusWatch(const StatusWatch &) = delete;
    StatusWatch &operator=(const StatusWatch &) = delete;

    // Why the watch cannot run, or empty.
    QString error() const { return m_error; }

    // Connects channel to the program and asks it for its lines; false when none runs.
    bool connect(StatusChannel &channel);

    enum class Event { Lines, ProgramEnded, OutputClosed };
    // Waits, without waking otherwise, for lines from the program, its end or the output's.
    Event waitForLine(StatusChannel &channel);

    // Waits until the program's socket appears (true) or the output closes (false).
    bool waitForProgram();

private:
    QString m_socket;
    QByteArray m_socketName;
    QString m_error;
    int m_notify = -1;
};

} // namespace tarv
