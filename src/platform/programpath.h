#pragma once

#include <QString>

namespace tarv {

// The environment variable through which the command-line front tells the tray program it starts
// where the front itself lies. The tray program lives in a folder of its own, so without this it
// would take its own folder for the one the user started the program from.
inline constexpr char kProgramPathVariable[] = "TARV_PROGRAM";

// Takes the front's path from the environment, once, at the start of the tray program, and
// removes the variable so that nothing the program starts inherits it.
void adoptProgramPath();

// The program the user started: the front's path when the front started this process, otherwise
// this executable's own. The ledger's folder and the autostart entry are derived from it.
QString programFilePath();

// The folder of programFilePath().
QString programFolder();

} // namespace tarv
