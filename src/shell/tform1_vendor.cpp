// The main window's vendor menu and banner: loading the menu file, drawing and choosing its
// items, and the banner view's navigation and document-complete handling.
#include "shell/tform1.h"

#include "framework/application.h"
#include "framework/errors.h"
#include "net/httpclient.h"
#include "shell/bannerview.h"
#include "shell/popupfile.h"
#include "shell/vendormenu.h"
#include "stats/statspanel.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QFrame>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace tarv {

namespace {

constexpr char kMenuPath[] = "/services/tarv/popup.txt";
constexpr char kBannerPath[] = "/services/tarv/index.asp?tarv=10";

// A wait of the menu download longer than this ends it: a server that accepts the connection and
// then says nothing would otherwise hold every later refresh, and the program's exit, for ever.
constexpr int kDownloadTimeOutMs = 30000;

// Puts a downloaded file in place of the old one, in one step where the system allows it.
void replaceFile(const QString &from, const QString &to) {
    if (std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0) return;
    QFile::remove(to);
    if (!QFile::rename(from, to)) {
        QFile::remove(from);
        throw EInOutError(QStringLiteral("Cannot replace file \"%1\"").arg(to));
    }
}

} // namespace

QString TForm1::makerAddress(const char *path) const {
    // The maker's host and port come from the home page's address; the scheme is always http.
    const QUrl home(makerUrl());
    QString authority = home.host();
    if (home.port() > 0 && home.port() != 80) authority += QLatin1Char(':') + QString::number(home.port());
    return QStringLiteral("http://") + authority + QLatin1String(path);
}

QString TForm1::bannerAddress() const {
    return makerAddress(kBannerPath);
}
QString TForm1::vendorMenuPath() const {
    return m_meter.platform().dataFolder + QStringLiteral("/popup.txt");
}

void TForm1::createVendorControls() {
    if (m_banner) return;
    m_vendorDownload = new THttpClient(this);
    m_vendorDownload->TimeOut = kDownloadTimeOutMs;

    makeOwnerDrawn(m_vendorMenu, [this](QAction *sender, QPainter *canvas, const QRect &rect, bool selected) {
        drawVendorItem(sender, canvas, rect, selected);
    });
    // A rebuild asked for while the menu was open runs once it has closed and its click is over.
    connect(m_vendorMenu, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, [this] { runPendingVendorRebuild(); }); });

    if (m_bannerCacheFolder.isEmpty())
        m_bannerCacheFolder =
            QStandardPaths::writableLocation(QStandardPaths::CacheLocation) + QStringLiteral("/banner");
    m_banner = new BannerView(m_bannerCacheFolder, this);
    m_banner->setObjectName(QStringLiteral("banner"));
    m_banner->setGeometry(11, 366, 261, 0);
    connect(m_banner, &BannerView::DocumentComplete, this, &TForm1::bannerDocumentComplete);
    // The banner's links open in the desktop's browser, under the vendor menu's rules: a page
    // that came over plain HTTP gets no more say than the menu file does.
    connect(m_banner, &BannerView::LinkActivated, this, [this](const QString &address) {
        const MenuCommand command = classifyMenuCommand(address);
        if (command.kind == MenuCommand::OpenUrl && m_meter.platform().shell)
            m_meter.platform().shell->open(command.text);
    });
}

void TForm1::bannerOffline() {
    m_bannerOnlinePending = false;
    if (m_banner) m_banner->setOffline(true);
}

void TForm1::bannerOnline() {
    if (!m_banner) return;
    // Going on line may start the web engine, which takes hundreds of milliseconds. The connect
    // transition asks for it between taking the connection's start and restarting the timer, so
    // it runs once the tick has returned: a late timer would make the elapsed seconds repeat or
    // skip one, and charge a unit twice or not at all.
    m_bannerOnlinePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_bannerOnlinePending || !m_banner) return;
            m_bannerOnlinePending = false;
            runGuarded([this] {
                m_banner->setOffline(false);
                m_banner->Navigate(bannerAddress());
            });
        },
        Qt::QueuedConnection);
}

void TForm1::startBanner() {
    createVendorControls();
    m_banner->resize(261, m_banner->height());
    m_banner->setOffline(true);
    m_banner->Navigate(bannerAddress());
}

void TForm1::loadVendorMenu() {
    // The download keeps the event loop turning, and a banner page may complete meanwhile: that
    // call returns here, and the next completed page refreshes the menu again.
    if (m_vendorDownloading) return;
    const QString path = vendorMenuPath();
    if (m_meter.s.online && m_vendorDownload) downloadVendorMenu(path);
    if (!QFile::exists(path)) return;
    requestVendorRebuild();
}

void TForm1::downloadVendorMenu(const QString &path) {
    // The body goes to a file beside the menu file, which it replaces only when a complete
    // successful response has arrived: an error page or a cut-off body never becomes the menu.
    const QString part = path + QStringLiteral(".part");
    m_vendorDownloading = true;
    const auto done = qScopeGuard([&] {
        m_vendorDownloading = false;
        QFile::remove(part);
    });
    QFile::remove(part);
    m_vendorDownload->InputFileMode = true;
    m_vendorDownload->Body = part;
    m_vendorDownload->Get(makerAddress(kMenuPath));
    const int status = m_vendorDownload->ReplyNumber();
    const qint64 announced = m_vendorDownload->BytesTotal();
    const bool complete =
        QFileInfo::exists(part) && (announced <= 0 || m_vendorDownload->BytesRecvd() >= announced);
    if (status >= 200 && status <= 299 && complete) replaceFile(part, path);
}

void TForm1::requestVendorRebuild() {
    // Never free the items under an open menu or under a click that is still being handled.
    if (m_vendorMenu->isVisible() || m_vendorClickDepth > 0) {
        m_vendorRebuildPending = true;
        return;
    }
    m_vendorRebuildPending = false;
    rebuildVendorMenu();
}

void TForm1::runPendingVendorRebuild() {
    if (!m_vendorRebuildPending || m_vendorMenu->isVisible() || m_vendorClickDepth > 0) return;
    runGuarded([this] {
        m_vendorRebuildPending = false;
        if (QFile::exists(vendorMenuPath())) rebuildVendorMenu();
    });
}

void TForm1::rebuildVendorMenu() {
    // The file is read before the old items go, so that an unreadable file leaves them in place.
    const QList<PopupItem> items = readPopupFile(vendorMenuPath());
    const QList<QAction *> old = m_vendorMenu->actions();
    for (auto it = old.crbegin(); it != old.crend(); ++it) {
        m_vendorMenu->removeAction(*it);
        delete *it;
    }
    for (const PopupItem &item : items) {
        QAction *action = makeVendorMenuItem(item, this);
        connect(action, &QAction::triggered, this, [this, action] { vendorItemClick(action); });
        m_vendorMenu->addAction(action);
    }
}

void TForm1::drawVendorItem(QAction *sender, QPainter *canvas, const QRect &rect, bool /*selected*/) {
    drawVendorMenuItem(*canvas, rect, vendorItemCaption(sender),
                       m_vendorStrip ? m_vendorStrip->pixmap() : QPixmap());
}

void TForm1::vendorItemClick(QAction *sender) {
    ++m_vendorClickDepth;
    const auto done = qScopeGuard([this] {
        if (--m_vendorClickDepth == 0 && m_vendorRebuildPending)
            QTimer::singleShot(0, this, [this] { runPendingVendorRebuild(); });
    });
    const MenuCommand command = classifyMenuCommand(vendorItemHint(sender));
    switch (command.kind) {
    case MenuCommand::Internal:
        runMenuCommand(command.text);
        break;
    case MenuCommand::OpenUrl:
        if (m_meter.platform().shell) m_meter.platform().shell->open(command.text);
        break;
    case MenuCommand::Nothing:
        break;
    }
}

void TForm1::runMenuCommand(const QString &command) {
    const QString word = internalCommandWord(command);
    if (word == QLatin1String("exit"))
        emit exitRequested();
    else if (word == QLatin1String("hide"))
        hideButtonClick();
    // Every other word ("disconnect" among them) does nothing.
}

void TForm1::bannerDocumentComplete(QObject * /*sender*/, const QString &address) {
    m_banner->resize(261, m_banner->height());
    if (address.contains(QLatin1String(BannerView::internalScheme))) {
        // A failed load or one of the view's own pages: the view goes out of sight.
        m_banner->setOffline(false);
        m_banner->move(m_banner->x(), 350);
        m_banner->hide();
        m_banner->resize(261, 0);
        return;
    }
    loadVendorMenu();
    // While the statistics panel is open the view stays where the panel parked it.
    if (!m_statsPanel || m_statsPanel->isHidden()) m_banner->move(m_banner->x(), 69);
    m_banner->resize(261, 168);
    m_banner->show();
}

} // namespace tarv
