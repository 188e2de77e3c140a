#pragma once

#include "platform/shellopener.h"

#include <QObject>
#include <QString>
#include <functional>
#include <memory>

class QWidget;

namespace tarv {

class BannerView;

// Drives the banner view on the main window: its saved copy off line at start-up, the live page
// once a connection is up, and its place and size as pages complete. The view's links open in
// the desktop's browser under the vendor menu's rules.
class BannerDriver final : public QObject {
    Q_OBJECT
public:
    // Creates the view on window, out of sight, keeping its saved pages in cacheFolder; address
    // is the banner page of the maker's site.
    BannerDriver(QWidget *window, const QString &cacheFolder, QString address,
                 std::shared_ptr<ShellOpener> shell);
    ~BannerDriver() override;

    QString address() const { return m_address; }
    // Loads the saved copy, off line.
    void start();
    void goOffline();
    // Switches to the live page once the current tick has returned.
    void goOnline();
    // Whether the statistics panel holds the view parked below the window, asked as a page completes.
    std::function<bool()> parked;

signals:
    // A page of the maker's site has completed; the vendor menu is refreshed before the view shows.
    void pageLoaded();

private:
    void documentComplete(const QString &address);

    BannerView *m_view = nullptr;
    QString m_address;
    std::shared_ptr<ShellOpener> m_shell;
    // The switch to on line waits for the end of the connecting tick; a switch back to off line
    // before then cancels it.
    bool m_onlinePending = false;
};

} // namespace tarv
