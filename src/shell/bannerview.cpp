#include "shell/bannerview.h"

#include <QEvent>
#include <QFile>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <atomic>

namespace tarv {

namespace {

// The web engine's own library aborts under AddressSanitizer, so a sanitizer build runs without
// it: every navigation there ends on the internal page, as a load without a network would.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kEngineAvailable = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kEngineAvailable = false;
#else
constexpr bool kEngineAvailable = true;
#endif
#else
constexpr bool kEngineAvailable = true;
#endif

} // namespace

// Blocks every request that would leave the machine while the view is off line.
class BannerRequestGate final : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo &info) override {
        if (offline.load() && !isLocalScheme(info.requestUrl())) info.block(true);
    }
    std::atomic<bool> offline{false};
};

BannerView::BannerView(const QString &cacheFolder, QWidget *parent)
    : QWidget(parent), m_cache(cacheFolder), m_gate(std::make_unique<BannerRequestGate>()) {
    if (parent) {
        parent->window()->installEventFilter(this);
        m_windowShown = parent->window()->isVisible();
    }
}

BannerView::~BannerView() {
    // The page must go before the profile it uses.
    delete m_view.data();
    delete m_profile;
}

void BannerView::setOffline(bool offline) {
    m_offline = offline;
    m_gate->offline.store(offline);
}

void BannerView::Navigate(const QString &address) {
    if (!kEngineAvailable) {
        completeLater(internalPageFor(address));
        return;
    }
    if (!m_view && m_offline) {
        m_deferred.clear();
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
    load(address);
}

void BannerView::createEngine() {
    if (m_view || !kEngineAvailable) return;
    // An off-the-record profile: the engine keeps no cache or cookies of its own on disk; the
    // saved copies are the only thing the banner keeps between runs.
    m_profile = new QWebEngineProfile();
    m_profile->setUrlRequestInterceptor(m_gate.get());
    connect(m_profile, &QWebEngineProfile::downloadRequested, this, [this](QWebEngineDownloadRequest *request) {
        if (!request->isSavePageDownload()) {
            request->cancel();
            return;
        }
        connect(request, &QWebEngineDownloadRequest::isFinishedChanged, this, [this, request] {
            if (!request->isFinished()) return;
            const QString saved = request->downloadDirectory() + QLatin1Char('/') + request->downloadFileName();
            if (request->state() == QWebEngineDownloadRequest::DownloadCompleted) {
                const QString address = m_savingFor.take(saved);
                if (!address.isEmpty() && m_cache.commit(address)) m_cache.prune();
            } else {
                QFile::remove(saved);
                m_savingFor.remove(saved);
            }
        });
    });
    auto *view = new QWebEngineView(this);
    auto *page = new QWebEnginePage(m_profile, view);
    view->setPage(page);
    view->setGeometry(rect());
    view->show();
    m_view = view;
    connect(page, &QWebEnginePage::loadStarted, this, &BannerView::onLoadStarted);
    connect(page, &QWebEnginePage::loadFinished, this, &BannerView::onLoadFinished);
    if (!m_deferred.isEmpty()) {
        const QString address = std::exchange(m_deferred, QString());
        load(address);
    }
}

void BannerView::load(const QString &address) {
    m_loading = address;
    m_programLoad = true;
    if (m_offline) {
        if (!m_cache.contains(address)) {
            m_programLoad = false;
            completeLater(internalPageFor(address));
            return;
        }
        m_loadingCopy = true;
        m_view->page()->load(QUrl::fromLocalFile(m_cache.pathFor(address)));
        return;
    }
    m_loadingCopy = false;
    m_view->page()->load(QUrl(address));
}

void BannerView::onLoadStarted() {
    // A load the program did not start is a link the user followed inside the view.
    if (!m_programLoad) {
        m_loading.clear();
        m_loadingCopy = false;
    }
    m_programLoad = false;
}

void BannerView::onLoadFinished(bool ok) {
    const QString address = m_loading.isEmpty() ? m_view->page()->url().toString() : m_loading;
    const bool fromCopy = m_loadingCopy;
    m_loading.clear();
    m_loadingCopy = false;
    if (!ok) {
        completeLater(internalPageFor(address));
        return;
    }
    if (!fromCopy && !m_offline) saveCopy(m_view->page()->url().toString());
    completeLater(fromCopy ? address : m_view->page()->url().toString());
}

void BannerView::saveCopy(const QString &address) {
    const QUrl url(address);
    if (url.scheme() != QLatin1String("http") && url.scheme() != QLatin1String("https")) return;
    if (!m_cache.ensureFolder()) return;
    const QString part = m_cache.partPathFor(address);
    m_savingFor.insert(part, address);
    m_view->page()->save(part, QWebEngineDownloadRequest::MimeHtmlSaveFormat);
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
    if (event->type() == QEvent::Show && watched == window() && !m_windowShown) {
        m_windowShown = true;
        if (!m_deferred.isEmpty()) createEngine();
    }
    return QWidget::eventFilter(watched, event);
}

void BannerView::resizeEvent(QResizeEvent *event) {
    QWidget::resizeEvent(event);
    if (m_view) m_view->setGeometry(rect());
}

} // namespace tarv
