// Draws the tray menu as the program shows it, with a given first caption, so that the
// end-to-end test can tell which caption the live menu shows.
//   e2e_shell_menuref <out.png> <first caption> [<out.png> <first caption>]...
#include "framework/application.h"

#include <QMenu>
#include <QPixmap>
#include <QTest>

int main(int argc, char **argv) {
    tarv::TarvApplication app(argc, argv);
    tarv::TarvApplication::applyStartupSettings();
    for (int i = 1; i + 1 < argc; i += 2) {
        QMenu menu;
        menu.addAction(QString::fromUtf8(argv[i + 1]));
        menu.addAction(QStringLiteral("Όριο δαπάνης..."));
        menu.addAction(QStringLiteral("Κλήσεις..."));
        menu.addSeparator();
        menu.addAction(QStringLiteral("Έξοδος"));
        menu.popup(QPoint(300, 300));
        if (!QTest::qWaitForWindowExposed(&menu)) return 1;
        QTest::qWait(100);
        if (!menu.grab().save(QString::fromLocal8Bit(argv[i]))) return 1;
        menu.hide();
    }
    return 0;
}
