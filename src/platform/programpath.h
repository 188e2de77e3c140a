#pragma once

#include "platform/programpathvariable.h"

#include <QString>

namespace tarv {

// Takes the front's path from the environment, once, at the start of the tray program, and
// removes the variable so that nothing the program starts inherits it.
void adoptProgramPath();

// The program the user started: the front's path when the front started this process, otherwise
// this executable's own. The ledger's folder and the autostart entry are derived from it.
QString programFilePath();

// The folder of programFilePath().
QString programFolder();

} // namespace tarv
