#pragma once

#include <QObject>
#include <QString>
#include <memory>

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

signals:
    // A later start asked this program to show its main window.
    void showRequested();

private:
    bool askRunningInstance();
    bool listen();

    QString m_name;
    std::unique_ptr<QLockFile> m_lock;
    QLocalServer *m_server = nullptr;
};

} // namespace tarv
