#pragma once

#include "platform/platform.h"

#include <QString>
#include <memory>

class QTranslator;
class QWidget;

namespace tarv {

class TForm1;
template <typename T> class OnDemand;
namespace limits {
class LimitsController;
}
namespace calls {
class CallsWindow;
}

// The main window, created once at start-up and living until it ends. It makes the options
// dialog and the chart window when they are first asked for.
struct Windows {
    std::unique_ptr<TForm1> Form1;
    // The spending limits: they follow the meter's charges and open their dialog when asked.
    std::unique_ptr<limits::LimitsController> limits;
    // The list of connections, made the first time it is asked for (the tray menu, the chart).
    std::unique_ptr<OnDemand<calls::CallsWindow>> calls;
    Windows();
    ~Windows();
    Windows(Windows &&) noexcept;
    Windows &operator=(Windows &&) noexcept;
};

// Installs the program's Greek for Qt's own texts (the standard buttons, the file and print
// dialogs) when the user's locale is Greek; returns the translator, or null when none applies.
// The application owns it.
QTranslator *installQtTranslation();

// The exit question: three lines joined by CR alone.
QString exitConfirmText();

// Asks the exit question in a modal warning box with Yes and No; on Yes the application
// terminates. Asked whenever the main window reports that the user wants to end the program.
void exitConfirm(QWidget *parent);

// Creates the main window, hidden, and tells it how to make the other two. Errors in its
// creation steps are shown and start-up goes on.
Windows createWindows(const Platform &platform);

// The whole program: application settings, the windows and the message loop.
int runProgram(int argc, char **argv);

} // namespace tarv
