// The banner's web engine inside the helper program: a web view with an off-the-record profile
// whose requests are blocked while off line, and which saves pages as MHTML.
#include "shell/bannerengine.h"

#include <QFile>
#include <QWebEngineDownloadRequest>
#include <QWebEnginePage>
#include <QWebEngineProfile>
#include <QWebEngineUrlRequestInterceptor>
#include <QWebEngineView>
#include <atomic>

namespace tarv {

namespace {

class RequestGate final : public QWebEngineUrlRequestInterceptor {
public:
    void interceptRequest(QWebEngineUrlRequestInfo &info) override {
        if (offline.load() && !isLocalScheme(info.requestUrl())) info.block(true);
    }
    std::atomic<bool> offline{false};
};

class WebBannerEngine final : public BannerEngine {
public:
    explicit WebBannerEngine(QWidget *parent) {
        // An off-the-record profile: the engine keeps no cache or cookies of its own on disk;
        // the banner's saved copies are all that stays between runs.
        m_profile = new QWebEngineProfile();
        m_profile->setUrlRequestInterceptor(&m_gate);
        QObject::connect(m_profile, &QWebEngineProfile::downloadRequested, m_profile,
                         [this](QWebEngineDownloadRequest *request) { onDownload(request); });
        m_view = new QWebEngineView(parent);
        auto *page = new QWebEnginePage(m_profile, m_view);
        m_view->setPage(page);
        QObject::connect(page, &QWebEnginePage::loadStarted, m_view, [this] {
            if (onLoadStarted) onLoadStarted();
        });
        QObject::connect(page, &QWebEnginePage::loadFinished, m_view, [this](bool ok) {
            if (onLoadFinished) onLoadFinished(ok);
        });
    }
    ~WebBannerEngine() override {
        // The page must go before the profile it uses.
        delete m_view;
        delete m_profile;
    }

    QWidget *widget() override { return m_view; }
    void setOffline(bool offline) override { m_gate.offline.store(offline); }
    void load(const QUrl &url) override { m_view->page()->load(url); }
    QUrl url() const override { return m_view->page()->url(); }
    void save(const QString &path) override {
        m_view->page()->save(path, QWebEngineDownloadRequest::MimeHtmlSaveFormat);
    }

private:
    void onDownload(QWebEngineDownloadRequest *request) {
        // Only the program's own saves are downloads; nothing else is written to disk.
        if (!request->isSavePageDownload()) {
            request->cancel();
            return;
        }
        QObject::connect(request, &QWebEngineDownloadRequest::isFinishedChanged, m_profile, [this, request] {
            if (!request->isFinished()) return;
            const QString path =
                request->downloadDirectory() + QLatin1Char('/') + request->downloadFileName();
            const bool ok = request->state() == QWebEngineDownloadRequest::DownloadCompleted;
            if (onSaved) onSaved(path, ok);
        });
    }

    RequestGate m_gate;
    QWebEngineProfile *m_profile = nullptr;
    QWebEngineView *m_view = nullptr;
};

} // namespace

std::unique_ptr<BannerEngine> createWebBannerEngine(QWidget *parent) {
    return std::make_unique<WebBannerEngine>(parent);
}

} // namespace tarv
