#pragma once

#include "platform/shellopener.h"

#include <QObject>
#include <QPixmap>
#include <QString>
#include <functional>
#include <memory>

class QAction;
class QMenu;

namespace tarv {

class THttpClient;

// The address of a page of the maker's site: its host and port come from the home page's address,
// the scheme is always http.
QString makerServiceAddress(const QString &homePage, const char *path);

// Fills the main window's vendor menu from popup.txt in the data folder: downloads a new file from
// the maker while on line, rebuilds the items from the file on disk, draws them beside the strip
// picture and carries out the one that is chosen. Its "exit" and "hide" commands go to the window.
class VendorMenuLoader final : public QObject {
    Q_OBJECT
public:
    VendorMenuLoader(QMenu *menu, QPixmap strip, QString dataFolder, QString homePage,
                     std::shared_ptr<ShellOpener> shell, std::function<bool()> online, QObject *parent);
    ~VendorMenuLoader() override;

    // Downloads popup.txt while on line and rebuilds the menu from the file on disk. Errors of
    // the download or of reading the file go to the caller; the old items then stay.
    void load();
    // Carries out the command of a chosen item.
    void itemClick(QAction *sender);
    QString menuPath() const;
    // The download's bounds: its whole time in milliseconds and the longest menu file.
    void setDownloadLimits(int deadlineMs, qint64 maxBytes);

signals:
    void exitRequested();
    void hideRequested();

private:
    void downloadMenu(const QString &path);
    void requestRebuild();
    void runPendingRebuild();
    void rebuild();
    void runCommand(const QString &command);

    QMenu *m_menu = nullptr;
    QPixmap m_strip;
    QString m_dataFolder;
    QString m_homePage;
    std::shared_ptr<ShellOpener> m_shell;
    std::function<bool()> m_online;
    THttpClient *m_download = nullptr;
    bool m_downloading = false;
    bool m_rebuildPending = false;
    int m_clickDepth = 0;
};

} // namespace tarv
