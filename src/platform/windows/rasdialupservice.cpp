#include "platform/windows/rasdialupservice.h"

#include "platform/windows/rasprobe.h"
#include "platform/windows/win32util.h"

namespace tarv {

namespace {

DialStatus dialStatus(const win32::RasSnapshot &snapshot, const QString &handle) {
    if (snapshot.step != win32::RasProbeStep::StatusObtained) return {};
    // The device type is single-byte text in the system's code page.
    DialStatus status{static_cast<int>(snapshot.state), QString::fromLocal8Bit(snapshot.deviceType)};
    // The connection's statistics are asked for by its handle, which stands for the interface
    // (RasTrafficSource reads it).
    if (status.state == DialState::Connected) status.interfaceName = handle;
    // The phone-book entry names the connection in the log; single-byte text like the device type.
    status.name = QString::fromLocal8Bit(snapshot.entryName);
    return status;
}

} // namespace

QString RasDialupService::handleText(void *handle) {
    return QString::number(reinterpret_cast<quintptr>(handle), 16);
}

void *RasDialupService::handleFromText(const QString &text) {
    bool ok = false;
    const quintptr value = static_cast<quintptr>(text.toULongLong(&ok, 16));
    return ok ? reinterpret_cast<void *>(value) : nullptr;
}

std::optional<QStringList> RasDialupService::activeConnections() {
    m_haveFirstStatus = false;
    const win32::RasSnapshot snapshot = win32::probeRas();
    switch (snapshot.step) {
    case win32::RasProbeStep::NoConnection:
        return QStringList();
    case win32::RasProbeStep::StatusObtained:
        break;
    default:
        // No library, no function or a failed enumeration: no status can be had, which the
        // probe must read as "no connection" with the status line left as it was.
        return std::nullopt;
    }
    QStringList handles;
    for (void *h : snapshot.connections)
        handles << handleText(h);
    m_firstHandle = handles.first();
    m_firstStatus = dialStatus(snapshot, m_firstHandle);
    m_haveFirstStatus = true;
    return handles;
}

DialStatus RasDialupService::connectionStatus(const QString &handle) {
    if (m_haveFirstStatus && handle == m_firstHandle) {
        m_haveFirstStatus = false;
        return m_firstStatus;
    }
    return dialStatus(win32::queryRasStatus(handleFromText(handle)), handle);
}

bool RasDialupService::hangUp(const QString &handle, QString &why) {
    // Loaded from the system folder like the probe's library; the hang-up returns at once and the connection
    // goes down in the background, which the next probe sees.
    using HangUpFn = DWORD(WINAPI *)(HANDLE);
    const win32::ScopedLibrary library(win32::kRasLibraryFile);
    const auto hangUpFn = library.function<HangUpFn>("RasHangUpA");
    const DWORD result = hangUpFn ? hangUpFn(static_cast<HANDLE>(handleFromText(handle))) : DWORD(-1);
    if (result == 0) return true;
    why = hangUpFn ? QStringLiteral("Η υπηρεσία απομακρυσμένης πρόσβασης απάντησε με το σφάλμα %1.").arg(result)
                   : QStringLiteral("Η υπηρεσία απομακρυσμένης πρόσβασης δεν βρέθηκε.");
    return false;
}

} // namespace tarv
