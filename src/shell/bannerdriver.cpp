#include "shell/bannerdriver.h"

#include "framework/application.h"
#include "shell/bannerview.h"
#include "shell/vendormenu.h"

#include <QWidget>

namespace tarv {

BannerDriver::BannerDriver(QWidget *window, const QString &cacheFolder, QString address,
                           std::shared_ptr<ShellOpener> shell)
    : QObject(window), m_address(std::move(address)), m_shell(std::move(shell)) {
    m_view = new BannerView(cacheFolder, window);
    m_view->setObjectName(QStringLiteral("banner"));
    m_view->setGeometry(11, 366, 261, 0);
    connect(m_view, &BannerView::DocumentComplete, this,
            [this](QObject *, const QString &address) { documentComplete(address); });
    // The banner's links open in the desktop's browser, under the vendor menu's rules: a page
    // that came over plain HTTP gets no more say than the menu file does.
    connect(m_view, &BannerView::LinkActivated, this, [this](const QString &address) {
        const MenuCommand command = classifyMenuCommand(address);
        if (command.kind == MenuCommand::OpenUrl && m_shell) m_shell->open(command.text);
    });
}

BannerDriver::~BannerDriver() = default;

void BannerDriver::start() {
    m_view->resize(261, m_view->height());
    m_view->setOffline(true);
    m_view->Navigate(m_address);
}

void BannerDriver::goOffline() {
    m_onlinePending = false;
    m_view->setOffline(true);
}

void BannerDriver::goOnline() {
    // Going on line may start the web engine, which takes hundreds of milliseconds. The connect
    // transition asks for it between taking the connection's start and restarting the timer, so
    // it runs once the tick has returned: a late timer would make the elapsed seconds repeat or
    // skip one, and charge a unit twice or not at all.
    m_onlinePending = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (!m_onlinePending) return;
            m_onlinePending = false;
            runGuarded([this] {
                m_view->setOffline(false);
                m_view->Navigate(m_address);
            });
        },
        Qt::QueuedConnection);
}

void BannerDriver::documentComplete(const QString &address) {
    m_view->resize(261, m_view->height());
    if (address.contains(QLatin1String(BannerView::internalScheme))) {
        // A failed load or one of the view's own pages: the view goes out of sight.
        m_view->setOffline(false);
        m_view->move(m_view->x(), 350);
        m_view->hide();
        m_view->resize(261, 0);
        return;
    }
    emit pageLoaded();
    // While the statistics panel is open the view stays where the panel parked it.
    if (!parked || !parked()) m_view->move(m_view->x(), 69);
    m_view->resize(261, 168);
    m_view->show();
}

} // namespace tarv
