#include "shell/vendormenuloader.h"

#include "framework/application.h"
#include "framework/errors.h"
#include "net/httpclient.h"
#include "shell/popupfile.h"
#include "shell/vendormenu.h"

#include <QAction>
#include <QFile>
#include <QFileInfo>
#include <QMenu>
#include <QPainter>
#include <QScopeGuard>
#include <QTimer>
#include <QUrl>
#include <cstdio>

namespace tarv {

namespace {

constexpr char kMenuPath[] = "/services/tarv/popup.txt";

// A wait of the menu download longer than this ends it: a server that accepts the connection and
// then says nothing would otherwise hold every later refresh for ever.
constexpr int kDownloadTimeOutMs = 30000;
// The menu is a few kilobytes. A longer body, or a download that takes longer however the server
// paces its bytes, ends the download: an endless stream would otherwise fill the disk that holds
// the ledger, and a byte now and then keep the wait alive for ever.
constexpr qint64 kMaxMenuBytes = 256 * 1024;
constexpr int kDownloadDeadlineMs = 120000;

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

QString makerServiceAddress(const QString &homePage, const char *path) {
    const QUrl home(homePage);
    QString authority = home.host();
    if (home.port() > 0 && home.port() != 80) authority += QLatin1Char(':') + QString::number(home.port());
    return QStringLiteral("http://") + authority + QLatin1String(path);
}

VendorMenuLoader::VendorMenuLoader(QMenu *menu, QPixmap strip, QString dataFolder, QString homePage,
                                   std::shared_ptr<ShellOpener> shell, std::function<bool()> online,
                                   QObject *parent)
    : QObject(parent), m_menu(menu), m_strip(std::move(strip)), m_dataFolder(std::move(dataFolder)),
      m_homePage(std::move(homePage)), m_shell(std::move(shell)), m_online(std::move(online)) {
    m_download = new THttpClient(this);
    m_download->TimeOut = kDownloadTimeOutMs;
    m_download->MaxBodySize = kMaxMenuBytes;
    m_download->Deadline = kDownloadDeadlineMs;
    makeOwnerDrawn(m_menu, [this](QAction *sender, QPainter *canvas, const QRect &rect, bool /*selected*/) {
        drawVendorMenuItem(*canvas, rect, vendorItemCaption(sender), m_strip);
    });
    // A rebuild asked for while the menu was open runs once it has closed and its click is over.
    connect(m_menu, &QMenu::aboutToHide, this,
            [this] { QTimer::singleShot(0, this, [this] { runPendingRebuild(); }); });
}

VendorMenuLoader::~VendorMenuLoader() = default;

void VendorMenuLoader::setDownloadLimits(int deadlineMs, qint64 maxBytes) {
    m_download->Deadline = deadlineMs;
    m_download->MaxBodySize = maxBytes;
}

QString VendorMenuLoader::menuPath() const {
    return m_dataFolder + QStringLiteral("/popup.txt");
}

void VendorMenuLoader::load() {
    // The download keeps the event loop turning, and a banner page may complete meanwhile: that
    // call returns here, and the next completed page refreshes the menu again.
    if (m_downloading) return;
    const QString path = menuPath();
    if (m_online && m_online()) downloadMenu(path);
    if (!QFile::exists(path)) return;
    requestRebuild();
}

void VendorMenuLoader::downloadMenu(const QString &path) {
    // The body goes to a file beside the menu file, which it replaces only when a complete
    // successful response has arrived: an error page or a cut-off body never becomes the menu.
    const QString part = path + QStringLiteral(".part");
    m_downloading = true;
    const auto done = qScopeGuard([&] {
        m_downloading = false;
        QFile::remove(part);
    });
    QFile::remove(part);
    m_download->InputFileMode = true;
    m_download->Body = part;
    try {
        m_download->Get(makerServiceAddress(m_homePage, kMenuPath));
    } catch (const EAbortError &) {
        // The program is ending: that is no error to show, and the menu no longer matters.
        if (m_download->endedByQuit()) return;
        throw;
    }
    const int status = m_download->ReplyNumber();
    const qint64 announced = m_download->BytesTotal();
    const bool complete =
        QFileInfo::exists(part) && (announced <= 0 || m_download->BytesRecvd() >= announced);
    if (status >= 200 && status <= 299 && complete) replaceFile(part, path);
}

void VendorMenuLoader::requestRebuild() {
    // Never free the items under an open menu or under a click that is still being handled.
    if (m_menu->isVisible() || m_clickDepth > 0) {
        m_rebuildPending = true;
        return;
    }
    m_rebuildPending = false;
    rebuild();
}

void VendorMenuLoader::runPendingRebuild() {
    if (!m_rebuildPending || m_menu->isVisible() || m_clickDepth > 0) return;
    runGuarded([this] {
        m_rebuildPending = false;
        if (QFile::exists(menuPath())) rebuild();
    });
}

void VendorMenuLoader::rebuild() {
    // The file is read before the old items go, so that an unreadable file leaves them in place.
    const QList<PopupItem> items = readPopupFile(menuPath());
    const QList<QAction *> old = m_menu->actions();
    for (auto it = old.crbegin(); it != old.crend(); ++it) {
        m_menu->removeAction(*it);
        delete *it;
    }
    for (const PopupItem &item : items) {
        QAction *action = makeVendorMenuItem(item, m_menu->parent());
        connect(action, &QAction::triggered, this, [this, action] { itemClick(action); });
        m_menu->addAction(action);
    }
}

void VendorMenuLoader::itemClick(QAction *sender) {
    ++m_clickDepth;
    const auto done = qScopeGuard([this] {
        if (--m_clickDepth == 0 && m_rebuildPending)
            QTimer::singleShot(0, this, [this] { runPendingRebuild(); });
    });
    const MenuCommand command = classifyMenuCommand(vendorItemHint(sender));
    switch (command.kind) {
    case MenuCommand::Internal:
        runCommand(command.text);
        break;
    case MenuCommand::OpenUrl:
        if (m_shell) m_shell->open(command.text);
        break;
    case MenuCommand::Nothing:
        break;
    }
}

void VendorMenuLoader::runCommand(const QString &command) {
    const QString word = internalCommandWord(command);
    if (word == QLatin1String("exit"))
        emit exitRequested();
    else if (word == QLatin1String("hide"))
        emit hideRequested();
    // Every other word ("disconnect" among them) does nothing.
}

} // namespace tarv
