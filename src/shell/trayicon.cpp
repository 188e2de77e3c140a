#include "shell/trayicon.h"

#include <QMenu>
#include <QSystemTrayIcon>

namespace tarv {

TTrayIcon::TTrayIcon(QObject *parent) : QObject(parent), m_tray(new QSystemTrayIcon(this)) {
    connect(m_tray, &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::DoubleClick) emit OnDblClick();
        if (reason == QSystemTrayIcon::Context && m_menu) m_menu->popup(QCursor::pos());
    });
}

TTrayIcon::~TTrayIcon() = default;

void TTrayIcon::setTip(const QString &tip) {
    m_tip = tip;
    m_tray->setToolTip(tip.left(63));
}

void TTrayIcon::setIcon(const QIcon &icon) {
    m_icon = icon;
    m_tray->setIcon(icon);
}

void TTrayIcon::setActive(bool active) {
    m_active = active;
    m_tray->setVisible(active);
}

} // namespace tarv
