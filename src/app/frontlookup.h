#pragma once

// Where the running program listens, found by the command-line front without Qt. The front asks
// the running program to answer a command before it loads the commands' module, which would load
// Qt Core, so it must name the same data folder and the same socket as the program's own code
// (platform/linux/datafolder.cpp and framework/instancepaths.cpp) from the same environment. A
// difference only costs the quick answer: the front then finds no program, or the program
// declines a data folder that is not its own, and the commands' module answers instead.

#include <cstdlib>
#include <string>

namespace tarv::front {

// Reads one environment variable: its value, or null when it is unset. The tests give their own.
using GetEnv = const char *(*)(const char *name);

// The process's environment, the front's GetEnv.
inline const char *systemVariable(const char *name) { return std::getenv(name); }

// The SHA-1 digest of bytes, as 40 lowercase hexadecimal digits: the program names its socket by
// the digest of its data folder. The front needs no other hash, and links no library for one.
std::string sha1Hex(const std::string &bytes);

// The path tidied as QDir::cleanPath tidies it: no repeated or trailing slashes, no "." and no
// ".." after a name. Nothing on disk is looked at.
std::string cleanPath(const std::string &path);

// The path with every link resolved, as QDir::canonicalPath gives it; empty when it does not
// exist. An empty path is the current folder.
std::string canonicalPath(const std::string &path);

// The folder of a file's path, as QFileInfo::absolutePath gives it for an absolute path.
std::string folderOf(const std::string &filePath);

// The user's data folder for the program: $XDG_DATA_HOME/tarv, else $HOME/.local/share/tarv.
std::string userDataFolder(GetEnv env);

// True when the program in programFolder is the installed one (installFolder, absolute).
bool isInstalledProgram(const std::string &programFolder, const std::string &installFolder);

// The folder of data.dat: the user's data folder for an installed program or one whose folder
// cannot be written, the program's own folder otherwise.
std::string dataFolder(const std::string &programFolder, const std::string &installFolder,
                       const std::string &userDataFolder);

// The running program's socket for the data folder (its canonical path), or empty when there is
// no usable folder for it. Nothing is made or changed: a folder that is missing, a link, another
// user's or open to others is simply not used.
std::string instanceSocket(const std::string &canonicalDataFolder, GetEnv env);

} // namespace tarv::front
