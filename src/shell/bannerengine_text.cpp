// The light banner view: Qt's rich-text browser showing the maker's page, with the page and its
// pictures fetched by the program's own HTTP client. It serves where the web engine is not
// there (the Windows program, builds without it) and costs a fraction of its memory. Links do
// not load in the view: they go to the desktop's browser through the owner's filter.
#include "framework/errors.h"
#include "framework/textformat.h"
#include "net/httpclient.h"
#include "shell/bannerarchive.h"
#include "shell/bannerengine.h"

#include <QFile>
#include <QRegularExpression>
#include <QStringDecoder>
#include <QTextBlock>
#include <QTextBrowser>
#include <QTextDocument>
#include <QTimer>
#include <memory>

namespace tarv {

namespace {

constexpr int kFetchTimeOutMs = 30000;
// A page or picture larger than this is no banner: its fetch is aborted.
constexpr qint64 kMaxFetchBytes = 4 * 1024 * 1024;
constexpr int kMaxPictures = 32;

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

// One GET through the client; the caller keeps the client alive for the whole call.
Fetched fetch(THttpClient &http, const QUrl &url) {
    Fetched f;
    http.InputFileMode = false;
    http.OutputFileMode = false;
    http.TimeOut = kFetchTimeOutMs;
    http.OnPacketRecvd = [&http](QObject *) {
        if (http.BytesRecvd() > kMaxFetchBytes) http.Abort();
    };
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

QByteArray charsetOf(const QByteArray &type) {
    static const QRegularExpression pattern(QStringLiteral("charset\\s*=\\s*[\"']?([A-Za-z0-9_.:-]+)"),
                                            QRegularExpression::CaseInsensitiveOption);
    const QRegularExpressionMatch m = pattern.match(QString::fromLatin1(type));
    return m.hasMatch() ? m.captured(1).toLatin1().toLower() : QByteArray();
}

// The page's text: in the character set that the server or the page names, the Greek code
// page converted by the program itself (the Windows build has no converter of its own for it).
QString decodePage(const BannerArchive &page) {
    QByteArray charset = page.charset.toLower();
    if (charset.isEmpty()) charset = charsetOf(page.html.left(4096));
    if (charset == "windows-1253" || charset == "cp1253" || charset == "x-cp1253")
        return fmt::fromCp1253(page.html);
    if (!charset.isEmpty()) {
        QStringDecoder decoder(charset.constData());
        if (decoder.isValid()) return decoder.decode(page.html);
    }
    QStringDecoder decoder = QStringDecoder::decoderForHtml(page.html);
    if (!decoder.isValid()) decoder = QStringDecoder(QStringDecoder::Latin1);
    return decoder.decode(page.html);
}

// The browser serves pictures from the page's archive only: nothing is read from disk or the
// network while the document lays itself out.
class BannerBrowser final : public QTextBrowser {
public:
    using QTextBrowser::QTextBrowser;
    std::function<QVariant(int type, const QUrl &name)> resourceFor;

    QVariant loadResource(int type, const QUrl &name) override {
        return resourceFor ? resourceFor(type, name) : QVariant();
    }
};

class TextBannerEngine final : public BannerEngine {
public:
    explicit TextBannerEngine(QWidget *parent) : m_view(new BannerBrowser(parent)) {
        m_view->setOpenLinks(false);
        m_view->setFrameShape(QFrame::NoFrame);
        m_view->resourceFor = [this](int type, const QUrl &name) { return resource(type, name); };
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
        if (onLoadFinished) onLoadFinished(ok);
    }

    // Shows url; false when it cannot be loaded. Returns at once, touching nothing, when the
    // engine went during a fetch.
    bool loadNow(const QUrl &url, const std::shared_ptr<bool> &alive) {
        BannerArchive page;
        if (url.isLocalFile()) {
            QFile file(url.toLocalFile());
            if (!file.open(QIODevice::ReadOnly)) return false;
            const QByteArray bytes = file.readAll();
            if (!BannerArchive::fromBytes(bytes, page)) {
                page = BannerArchive();
                page.html = bytes;
            }
            if (page.location.isEmpty()) page.location = url;
        } else {
            if (m_offline || !isHttp(url)) return false;
            const std::shared_ptr<THttpClient> client = m_client;
            const Fetched f = fetch(*client, url);
            if (!*alive || !f.ok) return false;
            page.location = f.finalUrl;
            page.html = f.data.isNull() ? QByteArray("") : f.data;
            page.charset = charsetOf(f.type);
        }
        m_url = url.isLocalFile() ? url : page.location;
        m_base = page.location;
        m_page = page;
        const QString text = decodePage(m_page);
        m_view->setHtml(text);

        // The pictures the page shows and the archive lacks are fetched now, then the page is
        // laid out again with them.
        int fetched = 0;
        for (const QUrl &picture : missingPictures()) {
            if (m_offline || !m_pending.isEmpty() || fetched >= kMaxPictures) break;
            ++fetched;
            const std::shared_ptr<THttpClient> client = m_client;
            const Fetched f = fetch(*client, picture);
            if (!*alive) return false;
            if (f.ok) m_page.resources.append({picture, f.type, f.data});
        }
        if (fetched > 0) m_view->setHtml(text);
        return true;
    }

    QList<QUrl> missingPictures() const {
        QList<QUrl> missing;
        for (QTextBlock block = m_view->document()->begin(); block.isValid(); block = block.next()) {
            for (auto it = block.begin(); !it.atEnd(); ++it) {
                const QTextCharFormat format = it.fragment().charFormat();
                if (!format.isImageFormat()) continue;
                const QUrl picture = m_base.resolved(QUrl(format.toImageFormat().name()));
                if (isHttp(picture) && !find(picture) && !missing.contains(picture)) missing << picture;
            }
        }
        return missing;
    }

    const BannerArchive::Resource *find(const QUrl &location) const {
        for (const BannerArchive::Resource &r : m_page.resources)
            if (r.location == location) return &r;
        return nullptr;
    }

    QVariant resource(int type, const QUrl &name) const {
        if (type != QTextDocument::ImageResource && type != QTextDocument::StyleSheetResource) return {};
        if (name.scheme() == QLatin1String("data")) {
            // "data:[type][;base64],payload"
            const QByteArray rest = name.toString(QUrl::FullyEncoded).toLatin1().mid(5);
            const qsizetype comma = rest.indexOf(',');
            if (comma < 0) return {};
            const QByteArray payload = QByteArray::fromPercentEncoding(rest.mid(comma + 1));
            return rest.left(comma).endsWith(";base64") ? QByteArray::fromBase64(payload) : payload;
        }
        const BannerArchive::Resource *r = find(m_base.resolved(name));
        if (!r) return {};
        if (type == QTextDocument::StyleSheetResource) return QString::fromUtf8(r->data);
        return r->data;
    }

    BannerBrowser *m_view = nullptr;
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
