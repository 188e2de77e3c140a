#include "platform/windows/instancename.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

namespace tarv {

namespace {

// The text form of a token's user, empty when it cannot be read.
QString tokenUserSid(HANDLE token) {
    DWORD bytes = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &bytes);
    if (bytes == 0) return {};
    std::vector<unsigned char> buffer(bytes);
    if (!GetTokenInformation(token, TokenUser, buffer.data(), bytes, &bytes)) return {};
    LPWSTR text = nullptr;
    if (!ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &text)) return {};
    const QString sid = QString::fromWCharArray(text);
    LocalFree(text);
    return sid;
}

// The user a process runs as; empty when its token is closed to this user, as another
// account's processes are.
QString processUserSid(DWORD pid) {
    HANDLE process = OpenProcess(PROCESS_QUERY_LIMITED_INFORMATION, FALSE, pid);
    if (!process) return {};
    HANDLE token = nullptr;
    QString sid;
    if (OpenProcessToken(process, TOKEN_QUERY, &token)) {
        sid = tokenUserSid(token);
        CloseHandle(token);
    }
    CloseHandle(process);
    return sid;
}

// Who holds a pipe name: nobody yet (the first instance creates it), this user's program (its
// server runs as this user), or another account (its pipe shuts this user out, or its server runs
// as someone else).
enum class PipeHolder { Nobody, ThisUser, Other };

PipeHolder pipeHolder(const QString &name, const QString &sid) {
    const std::wstring path = (QStringLiteral("\\\\.\\pipe\\") + name).toStdWString();
    for (int attempt = 0; attempt < 2; ++attempt) {
        HANDLE pipe = CreateFileW(path.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0, nullptr);
        if (pipe == INVALID_HANDLE_VALUE) {
            const DWORD error = GetLastError();
            if (error == ERROR_FILE_NOT_FOUND) return PipeHolder::Nobody;
            // Every instance is busy for a moment while the program accepts another caller.
            if (error == ERROR_PIPE_BUSY && WaitNamedPipeW(path.c_str(), 500)) continue;
            return PipeHolder::Other;
        }
        ULONG server = 0;
        const bool known = GetNamedPipeServerProcessId(pipe, &server);
        CloseHandle(pipe);
        return known && processUserSid(server) == sid ? PipeHolder::ThisUser : PipeHolder::Other;
    }
    return PipeHolder::Other;
}

// How many names are tried when another account holds the first ones.
constexpr int kNameCandidates = 4;

} // namespace

QString currentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    const QString sid = tokenUserSid(token);
    CloseHandle(token);
    return sid;
}

QString windowsInstanceName(const QString &folderDigest) {
    return windowsInstanceName(folderDigest, currentUserSid());
}

QString windowsInstanceName(const QString &folderDigest, const QString &sid) {
    const QString user = sid.isEmpty() ? qEnvironmentVariable("USERNAME", QStringLiteral("user")) : sid;
    const QString first = QStringLiteral("tarv-%1-%2").arg(user, folderDigest);
    if (sid.isEmpty()) return first;
    // The pipe server does not create its pipe exclusively, so another account could make a pipe
    // of this name first and have the program's second start and the command line talk to it.
    // Such names are passed over: callers take the name this user's program serves, and a
    // program starting (there is none yet: it holds the lock) the first name nobody holds.
    QString firstFree;
    for (int i = 0; i < kNameCandidates; ++i) {
        const QString name = i == 0 ? first : first + QStringLiteral("-%1").arg(i + 1);
        const PipeHolder holder = pipeHolder(name, sid);
        if (holder == PipeHolder::ThisUser) return name;
        if (holder == PipeHolder::Nobody && firstFree.isEmpty()) firstFree = name;
    }
    return firstFree.isEmpty() ? first : firstFree;
}

} // namespace tarv
