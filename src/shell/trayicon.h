#pragma once

#include <QIcon>
#include <QObject>
#include <QString>

class QMenu;
class QSystemTrayIcon;

namespace tarv {

// The program's notification-area icon: a tip, an icon and a menu.
class TTrayIcon final : public QObject {
    Q_OBJECT
public:
    explicit TTrayIcon(QObject *parent = nullptr);
    ~TTrayIcon() override;

    QString Tip() const { return m_tip; }
    void setTip(const QString &tip);
    QIcon Icon() const { return m_icon; }
    void setIcon(const QIcon &icon);
    void setPopupMenu(QMenu *menu) { m_menu = menu; }
    QMenu *PopupMenu() const { return m_menu; }
    bool Active() const { return m_active; }
    // Adds the icon to the notification area (true) or removes it (false).
    void setActive(bool active);

signals:
    void OnDblClick();

private:
    QString m_tip;
    QIcon m_icon;
    QMenu *m_menu = nullptr;
    bool m_active = false;
    QSystemTrayIcon *m_tray = nullptr;
};

} // namespace tarv
