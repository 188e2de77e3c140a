// The program as the user starts it on Linux: the command line, on Qt Core alone, and otherwise
// the tray program, which this process becomes.

#include "app/commandline.h"
#include "platform/programpath.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <unistd.h>

namespace {

// This executable's own path, as the system knows it.
std::string ownPath() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string();
}

// The tray program: where this build put it, or, for an installed front, where it was installed
// beside it (the path from the installed bindir to the libdir, so a moved prefix still works).
// An installed front never looks in the build folder.
std::string trayProgram() {
#ifdef TARV_TRAY_PROGRAM
    return TARV_TRAY_PROGRAM;
#else
    const std::string self = ownPath();
    return self.substr(0, self.rfind('/') + 1) + TARV_TRAY_RELATIVE "/tarv";
#endif
}

// Replaces this process with the tray program, keeping its id, its arguments and so its name:
// the running program, its single instance and the session's view of it stay what they were.
int startTrayProgram(char **argv) {
    const std::string self = ownPath();
    const std::string tray = trayProgram();
    if (!self.empty()) ::setenv(tarv::kProgramPathVariable, self.c_str(), 1);
    ::execv(tray.c_str(), argv);
    const int error = errno;
    const bool greek = tarv::messagesOfEnvironment() == tarv::Messages::Greek;
    std::fprintf(stderr, greek ? "tarv: δεν είναι δυνατό να ξεκινήσει το %s: %s\n" : "tarv: cannot start %s: %s\n",
                 tray.c_str(), std::strerror(error));
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (const std::optional<int> status = tarv::runCommandLine(argc, argv)) return *status;
    return startTrayProgram(argv);
}
