// The commands that print and end, as the module the front loads when it needs them: the front
// itself loads no Qt, so that --version, --help and a start of the tray program load nothing more.

#include "app/commandline.h"

extern "C" __attribute__((visibility("default"))) int tarv_run_command_line(int argc, char **argv) {
    const std::optional<int> status = tarv::runCommandLine(argc, argv);
    return status ? *status : -1;
}
