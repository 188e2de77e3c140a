#pragma once

#include <QObject>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class QLocalServer;
class QLockFile;

namespace tarv {

// Keeps one running program per data folder. The first program listens on a local socket named
// after its folder; a later start finds it, asks it to show its main window and ends.
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    explicit SingleInstance(const QString &dataFolder, QObject *parent = nullptr);
    ~SingleInstance() override;

    // Claims the folder for this program. False when another program already runs on it;
    // that program has then been asked to show its main window.
    bool claim();

    // The socket's name for a folder.
    static QString serverName(const QString &dataFolder);

    // Answers a status question with what source returns (one line, without its line end).
    // Without a source, status questions go unanswered.
    void setStatusSource(std::function<QByteArray()> source) { m_statusSource = std::move(source); }

    // Asks the program running on dataFolder for its status line. Nothing when no program runs
    // there; an empty answer when it did not answer in time.
    static std::optional<QByteArray> askStatus(const QString &dataFolder, int timeoutMs = 3000);

signals:
    // A later start asked this program to show its main window.
    void showRequested();

private:
    bool askRunningInstance();
    bool listen();

    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
    std::function<QByteArray()> m_statusSource;
};

} // namespace tarv
