#include "shell/trayhost.h"

#include <QSystemTrayIcon>

namespace tarv {

QList<unsigned> trayMouseMessages(int activationReason, bool statusNotifierHost) {
    switch (activationReason) {
    case QSystemTrayIcon::Trigger:
        if (statusNotifierHost) return {LeftDown, LeftUp, LeftDblClk, LeftUp};
        return {LeftDown, LeftUp};
    case QSystemTrayIcon::DoubleClick:
        return {LeftDblClk, LeftUp};
    case QSystemTrayIcon::Context:
        return {RightDown, RightUp};
    case QSystemTrayIcon::MiddleClick:
        return {MiddleDown, MiddleUp};
    default:
        return {};
    }
}

QList<unsigned> TrayActivations::messages(int activationReason, qint64 nowMs) {
    if (m_statusNotifier && activationReason == QSystemTrayIcon::Trigger) {
        if (m_armed && nowMs - m_lastMs < m_doubleClickMs) {
            m_armed = false;
            return {};
        }
        m_armed = true;
        m_lastMs = nowMs;
    }
    return trayMouseMessages(activationReason, m_statusNotifier);
}

} // namespace tarv
