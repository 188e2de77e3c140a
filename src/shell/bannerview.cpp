#include "shell/bannerview.h"

#include <QEvent>
#include <QFile>
#include <QTimer>

namespace tarv {

BannerView::BannerView(const QString &cacheFolder, QWidget *parent) : QWidget(parent), m_cache(cacheFolder) {
    m_releaseTimer.setSingleShot(true);
    connect(&m_releaseTimer, &QTimer::timeout, this, &BannerView::releaseEngine);
    if (parent) {
        parent->window()->installEventFilter(this);
        m_windowShown = parent->window()->isVisible();
    }
}

BannerView::~BannerView() = default;

void BannerView::setOffline(bool offline) {
    m_offline = offline;
    if (m_engine) m_engine->setOffline(offline);
    releaseLater();
}

void BannerView::Navigate(const QString &address) {
    m_deferred.clear();
    m_restoring = false;
    if (!m_engine && m_offline) {
        if (!m_cache.contains(address)) {
            completeLater(internalPageFor(address));
            return;
        }
        if (!m_windowShown) {
            m_deferred = address;
            return;
        }
    }
    createEngine();
    if (!m_engine) {
        // Without an engine no page can load.
        completeLater(internalPageFor(address));
        return;
    }
    load(address);
}

void BannerView::createEngine() {
    if (m_engine || m_engineTried) return;
    m_engineTried = true;
    m_engine = createBannerEngine(this);
    if (!m_engine) {
        if (!m_deferred.isEmpty()) completeLater(internalPageFor(std::exchange(m_deferred, QString())));
        return;
    }
    m_engine->setOffline(m_offline);
    m_engine->onLoadStarted = [this] { onLoadStarted(); };
    m_engine->onLoadFinished = [this](bool ok) { onLoadFinished(ok); };
    m_engine->onLinkActivated = [this](const QUrl &link) { emit LinkActivated(link.toString()); };
    m_engine->onSaved = [this](const QString &path, bool ok) {
        const QString address = m_savingFor.take(path);
        if (ok && !address.isEmpty() && m_cache.commit(address))
            m_cache.prune();
        else
            QFile::remove(path);
        releaseLater();
    };
    QWidget *view = m_engine->widget();
    view->setGeometry(rect());
    view->show();
    if (!m_deferred.isEmpty()) load(std::exchange(m_deferred, QString()), std::exchange(m_restoring, false));
}

void BannerView::load(const QString &address, bool restoring) {
    m_loading = address;
    m_programLoad = true;
    m_busy = true;
    // The page that was on view comes back from its saved copy also on line: showing the
    // window again costs the connection nothing.
    if (m_offline || (restoring && m_cache.contains(address))) {
        if (!m_cache.contains(address)) {
            m_programLoad = false;
            m_busy = false;
            m_loading.clear();
            completeLater(internalPageFor(address));
            return;
        }
        m_loadingCopy = true;
        m_engine->load(QUrl::fromLocalFile(m_cache.pathFor(address)));
        return;
    }
    m_loadingCopy = false;
    m_engine->load(QUrl(address));
}

void BannerView::onLoadStarted() {
    // A load the program did not start is a link the user followed inside the view.
    if (!m_programLoad) {
        m_loading.clear();
        m_loadingCopy = false;
    }
    m_programLoad = false;
    m_busy = true;
}

void BannerView::onLoadFinished(bool ok) {
    const QString address = m_loading.isEmpty() ? m_engine->url().toString() : m_loading;
    const bool fromCopy = m_loadingCopy;
    m_loading.clear();
    m_loadingCopy = false;
    m_busy = false;
    releaseLater();
    if (!ok) {
        completeLater(internalPageFor(address));
        return;
    }
    // The copy is filed under the address that was asked for, which is the one an off-line
    // start looks up: the maker may redirect it anywhere.
    if (!fromCopy && !m_offline) saveCopy(address);
    m_lastPage = address;
    completeLater(fromCopy ? address : m_engine->url().toString());
}

void BannerView::saveCopy(const QString &address) {
    const QUrl url(address);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) return;
    if (!m_cache.ensureFolder()) return;
    const QString part = m_cache.partPathFor(address);
    m_savingFor.insert(part, address);
    m_saveDeadline.setRemainingTime(kSaveWaitMs);
    m_engine->save(part);
}

void BannerView::completeLater(const QString &address) {
    // Through the event queue, so that an error raised by a handler unwinds only through the
    // program's own frames and reaches the application's error box.
    QMetaObject::invokeMethod(
        this, [this, address] { emit DocumentComplete(this, address); }, Qt::QueuedConnection);
}

QString BannerView::internalPageFor(const QString &address) {
    return QStringLiteral("res://navigation-failed/#") + address;
}

bool BannerView::eventFilter(QObject *watched, QEvent *event) {
    if (watched == window() && event->type() == QEvent::Show) {
        m_windowShown = true;
        if (!m_engine && !m_deferred.isEmpty()) createEngine();
    } else if (watched == window() && event->type() == QEvent::Hide) {
        m_windowShown = false;
        releaseLater();
    }
    return QWidget::eventFilter(watched, event);
}

void BannerView::releaseLater() {
    // Once the event loop has turned, so that the engine never goes from within its own call.
    if (m_engine && !m_releaseTimer.isActive()) m_releaseTimer.start(0);
}

void BannerView::releaseEngine() {
    // The engine stays while the window shows the banner or while a page loads on line (its
    // copy is saved once it completes); otherwise nothing can change on view.
    if (!m_engine || m_windowShown || (m_busy && !m_offline)) return;
    if (!m_savingFor.isEmpty()) {
        // A page is still being saved: its copy is what the window shows next time. A save
        // that never reports back is given up, so that it cannot keep the engine for good.
        if (!m_saveDeadline.hasExpired()) {
            m_releaseTimer.start(kSaveCheckMs);
            return;
        }
        for (auto it = m_savingFor.cbegin(); it != m_savingFor.cend(); ++it)
            QFile::remove(it.key());
        m_savingFor.clear();
    }
    // A navigation cut short runs again, and otherwise the page on view comes back from its
    // saved copy, when the window is shown again.
    if (!m_loading.isEmpty()) {
        m_deferred = m_loading;
    } else if (!isHidden() && !m_lastPage.isEmpty()) {
        m_deferred = m_lastPage;
        m_restoring = true;
    }
    m_engine.reset();
    m_engineTried = false;
    m_loading.clear();
    m_loadingCopy = false;
    m_busy = false;
}

void BannerView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (m_engine) m_engine->widget()->setGeometry(rect());
}

} // namespace tarv
