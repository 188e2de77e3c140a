#include "platform/windows/runkeyautostartstore.h"

#include "framework/errors.h"
#include "platform/windows/runkey.h"

#include <QDir>

namespace tarv {

namespace {

// The message of the error box for a failed registry operation.
QString errorText(const win32::RegistryResult &result, const QString &name) {
    switch (result.status) {
    case win32::RegistryStatus::KeyNotCreated:
        return QStringLiteral("Failed to create key %1").arg(QString::fromWCharArray(win32::kRunKeyPath));
    case win32::RegistryStatus::KeyNotOpened:
        return QStringLiteral("Failed to open key %1").arg(QString::fromWCharArray(win32::kRunKeyPath));
    case win32::RegistryStatus::InvalidType:
        return QStringLiteral("Invalid data type for '%1'").arg(name);
    case win32::RegistryStatus::ValueNotRead:
        return QStringLiteral("Failed to get data for '%1'").arg(name);
    case win32::RegistryStatus::ValueNotSet:
        return QStringLiteral("Failed to set data for '%1'").arg(name);
    case win32::RegistryStatus::ValueNotDeleted:
        return QStringLiteral("Failed to delete value '%1'").arg(name);
    case win32::RegistryStatus::Ok:
        break;
    }
    return QString();
}

void check(const win32::RegistryResult &result, const QString &name) {
    if (!result.ok()) throw ERegistryException(errorText(result, name));
}

} // namespace

QString RunKeyAutostartStore::read(const QString &name) const {
    std::wstring data;
    check(win32::RunKey().read(name.toStdWString(), data), name);
    // Quoted or not (earlier versions wrote the bare path), a value reads as set, as the path.
    return QString::fromStdWString(win32::programOfRunCommand(data));
}

void RunKeyAutostartStore::write(const QString &name, const QString &executablePath) {
    // Windows' own separators and quotes: the session's start-up runs the value as a command line.
    const std::wstring path = QDir::toNativeSeparators(executablePath).toStdWString();
    check(win32::RunKey().write(name.toStdWString(), win32::runCommandFor(path)), name);
}

void RunKeyAutostartStore::remove(const QString &name) {
    check(win32::RunKey().remove(name.toStdWString()), name);
}

} // namespace tarv
