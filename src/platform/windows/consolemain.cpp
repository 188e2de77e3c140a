// tarv.exe: the command line, a console program beside the tray program tarvw.exe.

#include "platform/windows/consolefront.h"
#include "platform/windows/consoleoutput.h"

#include <QCoreApplication>

int main(int argc, char **argv) {
    // A core application only: no window, no display. Its name gives the same data folder as the
    // tray program's, and its arguments are read from Windows' own UTF-16 command line.
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("tarv"));
    tarv::StdHandleDevice out(STD_OUTPUT_HANDLE);
    tarv::StdHandleDevice err(STD_ERROR_HANDLE);
    return tarv::runConsoleFront(QCoreApplication::arguments(), QCoreApplication::applicationDirPath(), out, err);
}
