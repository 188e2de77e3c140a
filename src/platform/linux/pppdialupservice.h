#pragma once

#include "platform/dialupservice.h"

#include <QList>
#include <QString>
#include <QStringList>

namespace tarv {

// Dial-up links of a plain pppd (started by pon, wvdial or by hand), read from the kernel's and
// pppd's own files: a link per pppN interface under sys/class/net, in numeric order, followed by
// every running pppd that has no interface yet. Nothing here waits: each answer is a handful of
// small file reads.
//
// Handles are the interface names ("ppp0") or, for a pppd still without an interface, "pppd:PID".
class PppDialupService final : public DialupService {
public:
    // root is the folder that stands for "/" (tests use a temporary tree).
    explicit PppDialupService(QString root = QStringLiteral("/"));

    std::optional<QStringList> activeConnections() override;
    DialStatus connectionStatus(const QString &handle) override;
    // Asks the link's pppd to end it, which takes the rights to signal that pppd.
    bool hangUp(const QString &handle, QString &why) override;

    // The links whose pppd is known and runs on its own, not on behalf of NetworkManager: these
    // are the ones a user dialled by hand while NetworkManager runs too.
    QStringList standaloneConnections();

    // One link as the files describe it.
    struct Link {
        QString handle;
        QString interface;   // "ppp0"; empty while the pppd has none
        qint64 pid = 0;      // the pppd that runs the link; 0 when unknown
        QStringList cmdline; // that pppd's arguments
    };
    // Every link, in the order of activeConnections().
    QList<Link> scan() const;
    // The status of one link.
    DialStatus statusOf(const Link &link) const;

private:
    QString path(const QString &relative) const;
    // True when the interface is up and running (a PPP link's operstate reads "unknown").
    bool interfaceRunning(const QString &interface) const;
    bool interfaceExists(const QString &interface) const;
    // "PPPoE" or "modem".
    QString deviceTypeOf(const Link &link) const;
    // The Ethernet devices that carry PPPoE sessions now.
    QStringList pppoeSessionDevices() const;

    QString m_root;
};

} // namespace tarv
