#pragma once

#include "platform/platform.h"

#include <QString>
#include <memory>

class QWidget;

namespace tarv {

class TForm1;
class TfrmOptions;

// The main window and the options dialog, created once at start-up and living until it ends.
// The main window makes the chart window when it is first needed.
struct Windows {
    std::unique_ptr<TForm1> Form1;
    std::unique_ptr<TfrmOptions> frmOptions;
    Windows();
    ~Windows();
    Windows(Windows &&) noexcept;
    Windows &operator=(Windows &&) noexcept;
};

// The exit question: three lines joined by CR alone.
QString exitConfirmText();

// Asks the exit question in a modal warning box with Yes and No; on Yes the application
// terminates. Asked whenever the main window reports that the user wants to end the program.
void exitConfirm(QWidget *parent);

// Creates the main window and the options dialog in that order, with the main window hidden.
// Errors in a window's creation are shown and start-up goes on.
Windows createWindows(const Platform &platform);

// The whole program: application settings, the windows and the message loop.
int runProgram(int argc, char **argv);

} // namespace tarv
