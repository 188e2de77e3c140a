// A bare Qt tray program: an icon in the notification area and a hidden window, nothing else.
// It is the yardstick for the memory that the program itself needs while it waits in the tray.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QWidget>

int main(int argc, char **argv) {
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    QPixmap pm(16, 16);
    pm.fill(Qt::red);
    QSystemTrayIcon tray{QIcon(pm)};
    tray.setToolTip(QStringLiteral("bare"));
    tray.show();
    QWidget window;
    window.resize(284, 308);
    return app.exec();
}
