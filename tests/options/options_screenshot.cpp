// Shows the options dialog over the main window on a real X display (run under xvfb-run),
// saves a screenshot of the two to the path given and checks that the dialog's outline is
// rounded on the screen and that activating the main window hides it.
#include "options/tfrmoptions.h"
#include "platform/fakes/fakes.h"
#include "shell/tform1.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QScreen>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

using namespace tarv;

int main(int argc, char **argv) {
    if (argc < 2) {
        std::fprintf(stderr, "usage: options_screenshot OUTPUT.png\n");
        return 2;
    }
    QLocale::setDefault(QLocale(QLocale::Greek, QLocale::Greece));
    QApplication app(argc, argv);
    const QString output = QString::fromLocal8Bit(argv[1]);

    QTemporaryDir dir;
    Platform p = fakePlatform(dir.path());

    TForm1 form(p);
    form.state().unitPrice = 7.5;
    form.move(40, 40);
    form.setVisible(true);
    TfrmOptions dialog(form.meter(), &form);

    int status = 0;
    QTimer::singleShot(500, [&] { dialog.showOptions(); });
    QTimer::singleShot(1500, [&] {
        QScreen *screen = QGuiApplication::primaryScreen();
        const QRect area = form.frameGeometry().united(dialog.frameGeometry()).adjusted(-10, -10, 10, 10);
        const QImage shot = screen->grabWindow(0, area.x(), area.y(), area.width(), area.height()).toImage();
        QDir().mkpath(QFileInfo(output).absolutePath());
        if (!shot.save(output)) {
            std::fprintf(stderr, "cannot save %s\n", qPrintable(output));
            status = 1;
        }
        // Inside, the light background picture; at the corner, outside the rounded outline,
        // whatever lies beneath and not the dialog's own picture.
        const QPoint origin = dialog.geometry().topLeft() - area.topLeft();
        const QColor inside = shot.pixelColor(origin + QPoint(156, 150));
        const QColor corner = shot.pixelColor(origin + QPoint(1, 1));
        const QColor ownCorner = dialog.grab().toImage().pixelColor(1, 1);
        std::printf("inside %s, corner %s, the dialog's own corner %s\n", qPrintable(inside.name()),
                    qPrintable(corner.name()), qPrintable(ownCorner.name()));
        if (!dialog.isVisible() || inside.lightness() < 150 || corner == ownCorner) status = 1;
        // The main window taking over on the real display cancels the dialog.
        form.activateWindow();
    });
    QTimer::singleShot(2500, [&] {
        std::printf("after the main window became active the dialog is %s\n",
                    dialog.isVisible() ? "still shown" : "hidden");
        if (dialog.isVisible()) status = 1;
        QApplication::quit();
    });
    app.exec();
    std::printf("options screenshot: %s\n", status == 0 ? "ok" : "FAILED");
    return status;
}
