#include "platform/windows/instancename.h"

#include <windows.h>

#include <sddl.h>

#include <vector>

namespace tarv {

QString currentUserSid() {
    HANDLE token = nullptr;
    if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return {};
    DWORD bytes = 0;
    GetTokenInformation(token, TokenUser, nullptr, 0, &bytes);
    std::vector<unsigned char> buffer(bytes);
    QString sid;
    if (bytes > 0 && GetTokenInformation(token, TokenUser, buffer.data(), bytes, &bytes)) {
        LPWSTR text = nullptr;
        if (ConvertSidToStringSidW(reinterpret_cast<TOKEN_USER *>(buffer.data())->User.Sid, &text)) {
            sid = QString::fromWCharArray(text);
            LocalFree(text);
        }
    }
    CloseHandle(token);
    return sid;
}

QString windowsInstanceName(const QString &folderDigest) {
    QString user = currentUserSid();
    if (user.isEmpty()) user = qEnvironmentVariable("USERNAME", QStringLiteral("user"));
    return QStringLiteral("tarv-%1-%2").arg(user, folderDigest);
}

} // namespace tarv
