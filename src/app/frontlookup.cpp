#include "app/frontlookup.h"

#include <cstdint>
#include <cstdlib>
#include <string>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>
#include <vector>

namespace tarv::front {

namespace {

std::uint32_t rotateLeft(std::uint32_t value, int bits) { return (value << bits) | (value >> (32 - bits)); }

// SHA-1's compression function applied to one 64-byte block of the padded message.
void compress(std::uint32_t state[5], const unsigned char *block) {
    std::uint32_t w[80];
    for (int i = 0; i < 16; ++i)
        w[i] = std::uint32_t(block[4 * i]) << 24 | std::uint32_t(block[4 * i + 1]) << 16 |
               std::uint32_t(block[4 * i + 2]) << 8 | std::uint32_t(block[4 * i + 3]);
    for (int i = 16; i < 80; ++i) w[i] = rotateLeft(w[i - 3] ^ w[i - 8] ^ w[i - 14] ^ w[i - 16], 1);

    std::uint32_t a = state[0], b = state[1], c = state[2], d = state[3], e = state[4];
    for (int i = 0; i < 80; ++i) {
        std::uint32_t f, k;
        if (i < 20) {
            f = (b & c) | (~b & d);
            k = 0x5a827999;
        } else if (i < 40) {
            f = b ^ c ^ d;
            k = 0x6ed9eba1;
        } else if (i < 60) {
            f = (b & c) | (b & d) | (c & d);
            k = 0x8f1bbcdc;
        } else {
            f = b ^ c ^ d;
            k = 0xca62c1d6;
        }
        const std::uint32_t t = rotateLeft(a, 5) + f + e + k + w[i];
        e = d;
        d = c;
        c = rotateLeft(b, 30);
        b = a;
        a = t;
    }
    state[0] += a;
    state[1] += b;
    state[2] += c;
    state[3] += d;
    state[4] += e;
}

std::string variable(GetEnv env, const char *name) {
    const char *value = env(name);
    return value ? std::string(value) : std::string();
}

// The path of name inside folder, joined as QDir::filePath joins them: a trailing slash of the
// folder is not doubled, and an empty folder is the current one.
std::string filePath(std::string folder, const std::string &name) {
    if (folder.empty()) return "./" + name;
    while (folder.size() > 1 && folder.back() == '/') folder.pop_back();
    return folder == "/" ? folder + name : folder + '/' + name;
}

// The folder as the system finds it: links resolved where it exists, tidied where it does not.
std::string resolved(const std::string &folder) {
    const std::string canonical = canonicalPath(folder);
    return canonical.empty() ? cleanPath(folder) : canonical;
}

// True when path is a real folder (not a link) of this user that no one else may enter. Unlike
// the program, the front never closes a folder that others may enter: it only asks, and leaves
// the repair to the program and the commands' module.
bool isOwnFolder(const std::string &path) {
    struct stat st {};
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::geteuid() &&
           (st.st_mode & 077) == 0;
}

// The system's folder for temporary files as QDir::tempPath gives it: $TMPDIR, else /tmp, with
// links resolved; empty when it does not exist.
std::string tempFolder(GetEnv env) {
    std::string temp = variable(env, "TMPDIR");
    if (temp.empty()) temp = "/tmp";
    return canonicalPath(cleanPath(temp));
}

} // namespace

std::string sha1Hex(const std::string &bytes) {
    std::uint32_t state[5] = {0x67452301, 0xefcdab89, 0x98badcfe, 0x10325476, 0xc3d2e1f0};

    // The message is padded with a one bit, zeros, and its length in bits as a 64-bit big-endian
    // number, to a whole number of blocks.
    std::string message = bytes;
    const std::uint64_t bitLength = std::uint64_t(bytes.size()) * 8;
    message.push_back(char(0x80));
    while (message.size() % 64 != 56) message.push_back('\0');
    for (int shift = 56; shift >= 0; shift -= 8) message.push_back(char((bitLength >> shift) & 0xff));

    for (std::size_t offset = 0; offset < message.size(); offset += 64)
        compress(state, reinterpret_cast<const unsigned char *>(message.data() + offset));

    static const char digits[] = "0123456789abcdef";
    std::string hex;
    for (std::uint32_t word : state)
        for (int shift = 28; shift >= 0; shift -= 4) hex.push_back(digits[(word >> shift) & 0xf]);
    return hex;
}

std::string cleanPath(const std::string &path) {
    if (path.empty()) return path;
    const bool absolute = path.front() == '/';
    std::vector<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        const std::string name = path.substr(start, end - start);
        start = end + 1;
        if (name.empty() || name == ".") continue;
        // A ".." takes away the name before it; one with no name before it stays, at the root
        // as in a relative path, as Qt leaves it.
        if (name == ".." && !names.empty() && names.back() != "..")
            names.pop_back();
        else
            names.push_back(name);
    }
    std::string clean = absolute ? "/" : "";
    for (std::size_t i = 0; i < names.size(); ++i) clean += (i ? "/" : "") + names[i];
    return clean.empty() ? "." : clean;
}

std::string canonicalPath(const std::string &path) {
    char *real = ::realpath(path.empty() ? "." : path.c_str(), nullptr);
    if (!real) return {};
    std::string canonical(real);
    std::free(real);
    return canonical;
}

std::string folderOf(const std::string &filePath) {
    const std::size_t slash = filePath.rfind('/');
    if (slash == std::string::npos) return ".";
    return slash == 0 ? "/" : filePath.substr(0, slash);
}

std::string userDataFolder(GetEnv env) {
    // The application has a name ("tarv") and no organisation, which Qt appends as one folder.
    std::string folder = variable(env, "XDG_DATA_HOME");
    if (folder.empty()) {
        // Qt takes the root for a home folder when HOME is unset or empty.
        std::string home = cleanPath(variable(env, "HOME"));
        if (home.empty()) home = "/";
        folder = home + "/.local/share";
    }
    return folder + "/tarv";
}

bool isInstalledProgram(const std::string &programFolder, const std::string &installFolder) {
    if (programFolder.empty() || installFolder.empty()) return false;
    return resolved(programFolder) == resolved(installFolder);
}

std::string dataFolder(const std::string &programFolder, const std::string &installFolder,
                       const std::string &userDataFolder) {
    if (userDataFolder.empty()) return programFolder;
    if (isInstalledProgram(programFolder, installFolder)) return userDataFolder;
    // QFileInfo::isWritable asks the system with access(), as here.
    return ::access(programFolder.c_str(), W_OK) == 0 ? programFolder : userDataFolder;
}

std::string instanceSocket(const std::string &canonicalDataFolder, GetEnv env) {
    // The session's runtime folder when it is absolute and the user's own; else a folder of the
    // user's in the temporary folder.
    const std::string runtime = variable(env, "XDG_RUNTIME_DIR");
    std::string folder;
    if (!runtime.empty() && runtime.front() == '/' && isOwnFolder(runtime)) {
        folder = filePath(runtime, "tarv");
    } else {
        const std::string temp = tempFolder(env);
        if (temp.empty()) return {};
        folder = filePath(temp, "tarv-" + std::to_string(::geteuid()));
    }
    if (!isOwnFolder(folder)) return {};
    const std::string socket = filePath(folder, sha1Hex(canonicalDataFolder).substr(0, 16) + ".sock");
    if (socket.size() >= sizeof(sockaddr_un::sun_path)) return {};
    return socket;
}

} // namespace tarv::front
