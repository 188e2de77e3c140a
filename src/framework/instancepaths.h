#pragma once

#include <QString>

namespace tarv {

// Where the program that runs on a data folder keeps its lock and listens for the command line.
struct InstancePaths {
    QString lock;   // the lock file that decides which program is the first
    QString socket; // the local socket's name (a path on Linux)
    QString error;  // why no paths could be given; the other fields are then empty
};

// The one rule that names the lock and the socket of dataFolder. On Linux both live in a folder
// of the user's own: $XDG_RUNTIME_DIR/tarv, or, without a usable $XDG_RUNTIME_DIR,
// <temporary folder>/tarv-<uid>. A folder that exists but is not the user's (another owner, a
// link, not a folder) is refused with error set, as another user could otherwise take the
// program's place; a folder of the user's own that others may enter is closed to them. With
// create false nothing is made, for the commands that only ask.
InstancePaths instancePaths(const QString &dataFolder, bool create = true);

// The folder instancePaths puts its files in, checked (and made when create) as it describes.
// Empty with error set when it cannot be used.
QString instanceFolder(bool create, QString &error);

} // namespace tarv
