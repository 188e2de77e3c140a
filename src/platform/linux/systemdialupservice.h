#pragma once

#include "platform/dialupservice.h"

#include <memory>

namespace tarv {

class NmDialupService;
class PppDialupService;

// The dial-up service of a Linux desktop: NetworkManager while its name has an owner on the
// system bus, plain pppd otherwise. NetworkManager's name is followed as it appears and vanishes,
// so a tick never asks the bus who owns it.
//
// A user may also dial with pon or wvdial on a desktop where NetworkManager runs. While
// NetworkManager lists no dial-up connection (or does not answer), links of a pppd that runs on
// its own are therefore reported instead; links of NetworkManager's own pppd never are.
class SystemDialupService final : public DialupService {
public:
    // Either back-end may be null.
    SystemDialupService(std::shared_ptr<NmDialupService> nm, std::shared_ptr<PppDialupService> ppp);
    ~SystemDialupService() override;

    // The back-ends on the system bus and the real file system.
    static std::shared_ptr<SystemDialupService> create();

    std::optional<QStringList> activeConnections() override;
    DialStatus connectionStatus(const QString &handle) override;
    // Through the back-end whose handles were handed out last.
    bool hangUp(const QString &handle, QString &why) override;

private:
    DialupService *m_last = nullptr; // the back-end whose handles were handed out last
    std::shared_ptr<NmDialupService> m_nm;
    std::shared_ptr<PppDialupService> m_ppp;
};

} // namespace tarv
