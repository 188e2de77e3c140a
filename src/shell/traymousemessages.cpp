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

} // namespace tarv
