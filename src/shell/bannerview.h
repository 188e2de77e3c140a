#pragma once

#include "shell/bannercache.h"
#include "shell/bannerengine.h"

#include <QDeadlineTimer>
#include <QHash>
#include <QTimer>
#include <QWidget>
#include <memory>

namespace tarv {

// The banner's web view. It has an off-line mode in which it shows only the saved copy of a
// page, a visibility flag, navigation and a document-complete event carrying the address.
//
// The web engine behind it is heavy, and the program spends most of its life hidden in the
// tray, so the engine exists only while it is needed: it is created at a navigation on line,
// or when the window holding the view is shown while an off-line navigation waits for it, and
// it goes again once the window is hidden and no page is loading on line. An off-line
// navigation without a saved copy needs no engine at all: it completes at once on an internal
// page.
class BannerView final : public QWidget {
    Q_OBJECT
public:
    // Internal pages (failed loads, missing saved copies) have addresses that contain this.
    static constexpr char internalScheme[] = "res:";

    BannerView(const QString &cacheFolder, QWidget *parent);
    ~BannerView() override;

    // Off-line: only saved copies are shown and every network request is blocked.
    bool Offline() const { return m_offline; }
    void setOffline(bool offline);

    // The view's own visibility, used as the flag that a page has loaded.
    bool Visible() const { return !isHidden(); }

    // Loads address: from the network while on line, from its saved copy while off line.
    void Navigate(const QString &address);

    // Creates the web engine now, and runs a navigation that was waiting for it.
    void createEngine();
    bool engineCreated() const { return m_engine != nullptr; }
    // The engine's view (null until the engine exists).
    QWidget *engineWidget() const { return m_engine ? m_engine->widget() : nullptr; }

    BannerCache &cache() { return m_cache; }

signals:
    // A document has finished loading: a real page with its address, or an internal page whose
    // address contains "res:". Delivered through the event queue, never from inside the engine.
    void DocumentComplete(QObject *sender, const QString &address);
    // A link chosen in a view that does not load links itself; the owner decides what opens it.
    void LinkActivated(const QString &address);

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    void resizeEvent(QResizeEvent *event) override;

private:
    void load(const QString &address, bool restoring = false);
    void releaseLater();
    void releaseEngine();
    void onLoadStarted();
    void onLoadFinished(bool ok);
    void completeLater(const QString &address);
    void saveCopy(const QString &address);
    static QString internalPageFor(const QString &address);

    BannerCache m_cache;
    bool m_offline = false;
    bool m_windowShown = false;
    // A navigation made off line while no engine existed, run when the window is shown.
    QString m_deferred;
    // The deferred navigation brings back the page that was on view when the engine went.
    bool m_restoring = false;
    // The address of the last real page that completed.
    QString m_lastPage;
    // The address being loaded, and whether it comes from a saved copy.
    QString m_loading;
    bool m_loadingCopy = false;
    bool m_programLoad = false;
    // A page is loading (the program's or a link followed inside the view).
    bool m_busy = false;
    // Saved copies being written: the part file and the address it belongs to.
    QHash<QString, QString> m_savingFor;
    // How long a release waits for saves that have not reported back, and how often it looks.
    static constexpr int kSaveWaitMs = 10000;
    static constexpr int kSaveCheckMs = 250;
    QDeadlineTimer m_saveDeadline;
    QTimer m_releaseTimer;

    bool m_engineTried = false;
    std::unique_ptr<BannerEngine> m_engine;
};

} // namespace tarv
