// The command line runs on Qt Core alone: after --version, --help, --report and --status this
// process (linked as the front is) has mapped no windowing, D-Bus, network, web or chart library.

#include "app/commandline.h"

#include <QFile>
#include <cstdio>

int main(int, char **argv) {
    const char *commands[][5] = {{"tarv", "--version"},
                                 {"tarv", "--help"},
                                 {"tarv", "--report", "--year", "2003"},
                                 {"tarv", "--status", "--format", "json"}};
    for (auto &command : commands) {
        int argc = 0;
        char *args[5] = {};
        for (const char *a : command)
            if (a) args[argc++] = const_cast<char *>(a);
        if (!tarv::runCommandLine(argc, args)) {
            std::fprintf(stderr, "%s: %s was not taken as a command\n", argv[0], command[1]);
            return 1;
        }
    }
    QFile maps(QStringLiteral("/proc/self/maps"));
    if (!maps.open(QIODevice::ReadOnly)) return 1;
    int found = 0;
    for (const QByteArray &line : maps.readAll().split('\n'))
        for (const char *library : {"libQt6Gui", "libQt6Widgets", "libQt6DBus", "libQt6Network", "libQt6WebEngine",
                                    "libQt6Charts", "libQt6PrintSupport", "libGL", "tarvchart"})
            if (line.contains(library)) {
                std::fprintf(stderr, "mapped: %s\n", line.constData());
                ++found;
            }
    std::printf("%s\n", found ? "GUI libraries mapped" : "no GUI library mapped");
    return found ? 1 : 0;
}
