#pragma once

namespace tarv {

// The environment variable through which the command-line front tells the tray program it starts
// where the front itself lies. The tray program lives in a folder of its own, so without this it
// would take its own folder for the one the user started the program from.
inline constexpr char kProgramPathVariable[] = "TARV_PROGRAM";

} // namespace tarv
