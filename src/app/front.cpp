// The program as the user starts it on Linux. It links no Qt: it prints the version and the help
// itself, has a running program answer the other commands when it can, else loads the commands'
// module (Qt Core alone) for them, and otherwise replaces itself with the tray program.

#include "app/frontclient.h"
#include "app/frontlookup.h"
#include "app/helptext.h"
#include "platform/programpathvariable.h"

#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <dlfcn.h>
#include <string>
#include <unistd.h>

namespace {

namespace front = tarv::front;

// This executable's own path, as the system knows it.
std::string ownPath() {
    char path[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    return n > 0 ? std::string(path, size_t(n)) : std::string();
}

// A file of the program: where this build put it, or, for an installed front, where it was
// installed (by the path from the installed bindir, so that a moved prefix still works). An
// installed front never looks in the build folder.
std::string programFile(const char *built, const char *installedRelative) {
    if (built) return built;
    const std::string self = ownPath();
    return self.substr(0, self.rfind('/') + 1) + installedRelative;
}

#ifdef TARV_TRAY_PROGRAM
const char *const kTrayBuilt = TARV_TRAY_PROGRAM;
const char *const kModuleBuilt = TARV_CLI_MODULE;
#else
const char *const kTrayBuilt = nullptr;
const char *const kModuleBuilt = nullptr;
#endif

int fail(const char *greek, const char *english, const std::string &file, const char *why) {
    std::fprintf(stderr, tarv::greekMessagesOfEnvironment() ? greek : english, file.c_str(), why);
    return 1;
}

// Replaces this process with the tray program, keeping its id, its arguments and so its name:
// the running program, its single instance and the session's view of it stay what they were.
int startTrayProgram(char **argv) {
    const std::string self = ownPath();
    const std::string tray = programFile(kTrayBuilt, TARV_RELATIVE "/tarv");
    if (!self.empty()) ::setenv(tarv::kProgramPathVariable, self.c_str(), 1);
    ::execv(tray.c_str(), argv);
    return fail("tarv: δεν είναι δυνατό να ξεκινήσει το %s: %s\n", "tarv: cannot start %s: %s\n", tray,
                std::strerror(errno));
}

// The commands' module: parses the whole command line and runs a command; -1 when the arguments
// ask for the tray program.
int runCommandModule(int argc, char **argv) {
    const std::string module = programFile(kModuleBuilt, TARV_RELATIVE "/tarvcli.so");
    void *handle = ::dlopen(module.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!handle) return fail("tarv: δεν φορτώνεται το %s: %s\n", "tarv: cannot load %s: %s\n", module, ::dlerror());
    using Run = int (*)(int, char **);
    const auto run = reinterpret_cast<Run>(::dlsym(handle, "tarv_run_command_line"));
    if (!run) return fail("tarv: δεν φορτώνεται το %s: %s\n", "tarv: cannot load %s: %s\n", module, ::dlerror());
    return run(argc, argv);
}

// Has the program running on this front's data folder answer the command, which spares loading
// Qt; false, with nothing printed, when there is none or it does not answer in time or declines.
// --watch keeps printing for as long as the output is read, which one answer cannot carry: the
// program is not asked for it.
bool answeredByRunningProgram(int argc, char **argv, int &status) {
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--watch") == 0) return false;
    const std::string programFolder = front::folderOf(ownPath());
    const std::string folder = front::canonicalPath(
        front::dataFolder(programFolder, TARV_INSTALL_BINDIR, front::userDataFolder(front::systemVariable)));
    // A program runs on a folder that exists: it makes it before it starts to listen.
    if (folder.empty()) return false;
    const std::string socket = front::instanceSocket(folder, front::systemVariable);
    if (socket.empty()) return false;
    const auto answer = front::askProgram(socket, front::commandPayload(folder, argc, argv, front::systemVariable),
                                          std::chrono::seconds(3));
    if (!answer) return false;
    std::fwrite(answer->out.data(), 1, answer->out.size(), stdout);
    std::fwrite(answer->err.data(), 1, answer->err.size(), stderr);
    status = answer->exitStatus;
    return true;
}

bool is(const char *argument, std::initializer_list<const char *> names) {
    for (const char *name : names)
        if (std::strcmp(argument, name) == 0) return true;
    return false;
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 2 && is(argv[1], {"-v", "--version"})) {
        std::fputs("tarv " TARV_VERSION "\n", stdout);
        return 0;
    }
    if (argc == 2 && is(argv[1], {"-h", "--help", "-?"})) {
        std::fputs(tarv::helpText(tarv::greekMessagesOfEnvironment()).c_str(), stdout);
        return 0;
    }
    if (argc > 1) {
        int status = 0;
        if (answeredByRunningProgram(argc, argv, status)) return status;
        status = runCommandModule(argc, argv);
        if (status >= 0) return status;
    }
    return startTrayProgram(argv);
}
