#pragma once

#include <QString>
#include <QUrl>
#include <functional>
#include <memory>

class QWidget;

namespace tarv {

// The web engine behind the banner view. It runs in a helper program that is started only while
// the banner needs it: merely loading the engine (and the graphics stack it draws with) costs a
// tray program that waits for a connection more memory than the rest of the program together,
// and a library once loaded never gives that memory back.
class BannerEngine {
public:
    virtual ~BannerEngine() = default;

    // The engine's view, a child of the parent it was created for.
    virtual QWidget *widget() = 0;
    // Off line, every request that would leave the machine is blocked.
    virtual void setOffline(bool offline) = 0;
    virtual void load(const QUrl &url) = 0;
    // The address of the page on view.
    virtual QUrl url() const = 0;
    // Saves the page on view as MHTML to path; onSaved follows.
    virtual void save(const QString &path) = 0;

    std::function<void()> onLoadStarted;
    std::function<void(bool ok)> onLoadFinished;
    std::function<void(const QString &path, bool ok)> onSaved;
    // A link the user chose that the engine does not load itself (the light view's links).
    std::function<void(const QUrl &link)> onLinkActivated;
};

// Whether a request may be made while the banner is off line: only what is read from this
// machine (files, inline data, the parts of a saved copy).
inline bool isLocalScheme(const QUrl &url) {
    const QString scheme = url.scheme().toLower();
    return scheme == QLatin1String("file") || scheme == QLatin1String("data") ||
           scheme == QLatin1String("blob") || scheme == QLatin1String("cid") ||
           scheme == QLatin1String("about");
}

// Creates an engine for parent: the web engine in its helper program where it is built and can
// run; elsewhere (always on Windows, as root unless TARV_BANNER_ENGINE is "web", or when it is
// "text") the light view on Qt's rich-text browser.
std::unique_ptr<BannerEngine> createBannerEngine(QWidget *parent);
// The light view: pages and pictures over the program's own HTTP client, links handed out
// through onLinkActivated, saved copies in the same archive layout as the web engine's.
std::unique_ptr<BannerEngine> createTextBannerEngine(QWidget *parent);

} // namespace tarv
