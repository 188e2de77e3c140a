// The program's windows as it creates them, with its data in a given folder, for the memory
// benchmark. With --show-for N the main window is shown (its banner loads its saved copy) and
// hidden again after N seconds, so that what remains in memory afterwards can be measured.
#include "framework/application.h"
#include "app/startup.h"
#include "shell/tform1.h"

#include <QTimer>

int main(int argc, char **argv) {
    tarv::TarvApplication app(argc, argv);
    tarv::TarvApplication::applyStartupSettings();
    QApplication::setQuitOnLastWindowClosed(false);
    const QStringList args = QCoreApplication::arguments();
    tarv::Platform platform = tarv::makeSystemPlatform();
    if (args.size() > 1) platform.dataFolder = args.at(1);
    tarv::Windows windows = tarv::createWindows(platform);
    const qsizetype show = args.indexOf(QStringLiteral("--show-for"));
    if (show > 0) {
        windows.Form1->QWidget::show();
        QTimer::singleShot(args.value(show + 1).toInt() * 1000, windows.Form1.get(),
                           [&windows] { windows.Form1->hideButtonClick(); });
    }
    return app.exec();
}
