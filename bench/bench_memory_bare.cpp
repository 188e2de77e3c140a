// A bare Qt tray program: an icon in the notification area and a hidden window, nothing else.
// It is the yardstick for the memory that the program itself needs while it waits in the tray.
// With --tick it also wakes every second and does nothing, as the program's meter must wake: the
// yardstick for the processor time of the wake-ups alone.
#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QSystemTrayIcon>
#include <QTimer>
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
    QTimer tick;
    if (argc > 1 && qstrcmp(argv[1], "--tick") == 0) {
        tick.setTimerType(Qt::PreciseTimer);
        QObject::connect(&tick, &QTimer::timeout, &tick, [] {});
        tick.start(1000);
    }
    return app.exec();
}
