// The light banner view: Qt's rich-text browser showing the maker's page, with the page and its
// pictures fetched by the program's own HTTP client. It serves where the web engine is not
// there (the Windows program, builds without it, a program run as root) and costs a fraction of
// its memory. Links do not load in the view: they go to the desktop's browser through the
// owner's filter. Only a page within the limits of bannerpage.h is shown or saved.
#include "net/httpclient.h"
#include "shell/bannerarchive.h"
#include "shell/bannerengine.h"
#include "shell/bannerpage.h"

#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QTextBrowser>
#include <QTimer>
#include <memory>

namespace tarv {

namespace {

// Each wait of a fetch, and the whole fetch however the server paces its bytes.
constexpr int kFetchTimeOutMs = 30000;
constexpr int kFetchDeadlineMs = 60000;

struct Fetched {
    bool ok = false;
    QByteArray data;
    QByteArray type;
    QUrl finalUrl;
};

bool isHttp(const QUrl &url) {
    return url.scheme().compare(QLatin1String("http"), Qt::CaseInsensitive) == 0 && !url.host().isEmpty();
}

QByteArray headerField(const QString &header, const QByteArray &name) {
    for (const QString &line : header.split(QLatin1Char('\n'))) {
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon > 0 && line.left(colon).trimmed().toLatin1().toLower() == name)
            return line.mid(colon + 1).trimmed().toLatin1();
    }
    return {};
}

// One GET of at most maxBytes through the client; the caller keeps the client alive for the
// whole call.
Fetched fetch(THttpClient &http, const QUrl &url, qint64 maxBytes) {
    Fetched f;
    http.InputFileMode = false;
    http.OutputFileMode = false;
    http.TimeOut = kFetchTimeOutMs;
    http.Deadline = kFetchDeadlineMs;
    http.MaxBodySize = maxBytes;
    try {
        http.Get(url.toString(QUrl::FullyEncoded));
    } catch (const std::exception &) {
        // A failed fetch is no error of the program: the page or picture is just missing.
        return f;
    }
    const int status = http.ReplyNumber();
    f.ok = status >= 200 && status <= 299;
    f.data = http.Body.toLatin1();
    f.type = headerField(http.Header, "content-type");
    // After redirects the client holds the address it last went to.
    f.finalUrl = url.resolved(QUrl(http.targetURL()));
    if (!isHttp(f.finalUrl)) f.finalUrl = url;
    return f;
}

class TextBannerEngine final : public BannerEngine {
public:
    explicit TextBannerEngine(QWidget *parent) : m_view(new QTextBrowser(parent)) {
        m_view->setOpenLinks(false);
        m_view->setFrameShape(QFrame::NoFrame);
        showBlank();
        QObject::connect(m_view, &QTextBrowser::anchorClicked, m_view, [this](const QUrl &link) {
            if (onLinkActivated) onLinkActivated(m_base.resolved(link));
        });
    }
    ~TextBannerEngine() override {
        // A fetch that is under way returns through the client after the engine is gone: it
        // is told so, and the client stays alive until it has returned.
        *m_alive = false;
        if (m_fetching) m_client->Abort();
        delete m_view;
    }

    QWidget *widget() override { return m_view; }
    void setOffline(bool offline) override { m_offline = offline; }
    QUrl url() const override { return m_url; }

    void load(const QUrl &url) override {
        m_pending = url;
        if (m_fetching) {
            // The running load gives way and the new one follows it.
            m_client->Abort();
            return;
        }
        // From the event loop, not inside the caller: a fetch waits in nested loops.
        QTimer::singleShot(0, m_view, [this] { runPending(); });
    }

    void save(const QString &path) override {
        bool ok = false;
        if (!m_page.html.isNull()) {
            QFile file(path);
            const QByteArray bytes = m_page.toBytes();
            ok = file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size() &&
                 file.flush();
        }
        if (onSaved) onSaved(path, ok);
    }

private:
    void runPending() {
        if (m_fetching || m_pending.isEmpty()) return;
        const QUrl url = std::exchange(m_pending, QUrl());
        const std::shared_ptr<bool> alive = m_alive;
        m_fetching = true;
        if (onLoadStarted) onLoadStarted();
        const bool ok = *alive && loadNow(url, alive);
        if (!*alive) return;
        m_fetching = false;
        if (!m_pending.isEmpty()) {
            QTimer::singleShot(0, m_view, [this] { runPending(); });
            return;
        }
        if (!ok) showBlank();
        if (onLoadFinished) onLoadFinished(ok);
    }

    // Shows url; false when it cannot be loaded or is over the limits. Returns at once,
    // touching nothing, when the engine went during a fetch.
    bool loadNow(const QUrl &url, const std::shared_ptr<bool> &alive) {
        BannerArchive page;
        if (url.isLocalFile()) {
            QFile file(url.toLocalFile());
            if (QFileInfo(file).size() > BannerLimits::kMaxSavedCopyBytes || !file.open(QIODevice::ReadOnly))
                return false;
            const QByteArray bytes = file.read(BannerLimits::kMaxSavedCopyBytes);
            if (!BannerArchive::fromBytes(bytes, page)) {
                page = BannerArchive();
                page.html = bytes;
            }
            if (page.location.isEmpty()) page.location = url;
        } else {
            if (m_offline || !isHttp(url)) return false;
            const std::shared_ptr<THttpClient> client = m_client;
            const Fetched f = fetch(*client, url, BannerLimits::kMaxPageBytes);
            if (!*alive || !f.ok) return false;
            page.location = f.finalUrl;
            page.html = f.data.isNull() ? QByteArray("") : f.data;
            page.charset = bannerCharsetOf(f.type);
        }
        std::unique_ptr<BannerDocument> document = parseBannerPage(page);
        if (!document) return false;

        // The pictures the page shows and the archive lacks are fetched now, within the
        // limits of each picture and of the whole page.
        int fetched = 0;
        QSet<QUrl> held;
        for (const BannerArchive::Resource &r : page.resources)
            held.insert(r.location);
        for (const QUrl &picture : bannerPictures(*document)) {
            if (!isHttp(picture) || held.contains(picture)) continue;
            if (m_offline || !m_pending.isEmpty() || fetched >= BannerLimits::kMaxPictures) break;
            ++fetched;
            const qint64 room = BannerLimits::kMaxArchiveBytes - bannerArchiveBytes(page);
            if (room <= 0) return false;
            const std::shared_ptr<THttpClient> client = m_client;
            const Fetched f = fetch(*client, picture, qMin(room, BannerLimits::kMaxPictureBytes));
            if (!*alive) return false;
            if (f.ok) page.resources.append({picture, f.type, f.data});
        }
        if (bannerArchiveBytes(page) > BannerLimits::kMaxArchiveBytes || !loadBannerPictures(*document, page))
            return false;

        m_url = url.isLocalFile() ? url : page.location;
        m_base = page.location;
        m_page = page;
        show(std::move(document));
        return true;
    }

    void show(std::unique_ptr<BannerDocument> document) {
        // The view lays the document out; the old one goes once the view has let go of it.
        m_view->setDocument(document.get());
        m_document = std::move(document);
    }

    // After a failed load the view shows nothing of the page before it, and keeps no copy to save.
    void showBlank() {
        m_page = BannerArchive();
        show(std::make_unique<BannerDocument>());
    }

    QTextBrowser *m_view = nullptr;
    std::unique_ptr<BannerDocument> m_document;
    std::shared_ptr<THttpClient> m_client = std::make_shared<THttpClient>();
    std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);
    bool m_offline = false;
    bool m_fetching = false;
    QUrl m_pending;
    QUrl m_url;
    QUrl m_base;
    BannerArchive m_page;
};

} // namespace

std::unique_ptr<BannerEngine> createTextBannerEngine(QWidget *parent) {
    return std::make_unique<TextBannerEngine>(parent);
}

} // namespace tarv
