#pragma once

#include <QString>
#include <QStringList>

namespace tarv {

class StdHandleDevice;

// tarv.exe, the program's command line on Windows. Windows gives a program a console, or none,
// by the kind of executable it is: a console program is waited for by the Command Prompt, prints
// in its window and sets ERRORLEVEL, but brings up a console window of its own when started from
// the Start menu or at logon. So the command line and the tray program are two executables from
// one folder: tarv.exe (console) runs --report, --status, --help and --version as the program
// always has, and given no such option starts the tray program tarvw.exe (no console, nothing
// flashes) with the same arguments and ends. The Run value and the shortcuts name tarvw.exe.
//
// Prints through out and err (the console in Unicode, a file or pipe in UTF-8; a CSV report to a
// file or pipe starts with a byte-order mark, by which spreadsheets on Windows recognise UTF-8)
// and returns the exit status.
int runConsoleFront(const QStringList &arguments, const QString &programFolder, StdHandleDevice &out,
                    StdHandleDevice &err);

// The tray program's file name beside tarv.exe.
inline constexpr char kTrayProgramName[] = "tarvw.exe";

} // namespace tarv
