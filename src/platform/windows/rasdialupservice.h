#pragma once

#include "platform/dialupservice.h"

namespace tarv {

// The dial-up service of Windows: the remote-access library, loaded by name at every probe and
// released before the probe returns. Each enumeration also reads the first connection's status,
// so that the probe's usual pair of questions loads the library once.
class RasDialupService final : public DialupService {
public:
    std::optional<QStringList> activeConnections() override;
    DialStatus connectionStatus(const QString &handle) override;
    // Hangs the connection up through the remote-access library.
    bool hangUp(const QString &handle, QString &why) override;

    // A connection handle as the opaque text the interface carries, and back.
    static QString handleText(void *handle);
    static void *handleFromText(const QString &text);

private:
    // The first connection of the last enumeration and its status, taken in the same probe.
    QString m_firstHandle;
    DialStatus m_firstStatus;
    bool m_haveFirstStatus = false;
};

} // namespace tarv
