#include "platform/linux/systemdialupservice.h"

#include "platform/linux/nmdialupservice.h"
#include "platform/linux/pppdialupservice.h"

#include <QDBusConnection>

namespace tarv {

SystemDialupService::SystemDialupService(std::shared_ptr<NmDialupService> nm,
                                         std::shared_ptr<PppDialupService> ppp)
    : m_nm(std::move(nm)), m_ppp(std::move(ppp)) {}

SystemDialupService::~SystemDialupService() = default;

std::shared_ptr<SystemDialupService> SystemDialupService::create() {
    // Without a system bus there is no NetworkManager to ask; pppd's files remain.
    QDBusConnection bus = QDBusConnection::systemBus();
    std::shared_ptr<NmDialupService> nm;
    if (bus.isConnected()) nm = std::make_shared<NmDialupService>(bus);
    return std::make_shared<SystemDialupService>(std::move(nm), std::make_shared<PppDialupService>());
}

std::optional<QStringList> SystemDialupService::activeConnections() {
    if (m_nm && m_nm->serviceOwned()) {
        std::optional<QStringList> list = m_nm->activeConnections();
        if (list && !list->isEmpty()) {
            m_last = m_nm.get();
            return list;
        }
        if (m_ppp) {
            const QStringList own = m_ppp->standaloneConnections();
            if (!own.isEmpty()) {
                m_last = m_ppp.get();
                return own;
            }
        }
        m_last = m_nm.get();
        return list;
    }
    if (!m_ppp) return std::nullopt;
    m_last = m_ppp.get();
    return m_ppp->activeConnections();
}

DialStatus SystemDialupService::connectionStatus(const QString &handle) {
    return m_last ? m_last->connectionStatus(handle) : DialStatus();
}

bool SystemDialupService::hangUp(const QString &handle, QString &why) {
    if (m_last) return m_last->hangUp(handle, why);
    return DialupService::hangUp(handle, why);
}

} // namespace tarv
