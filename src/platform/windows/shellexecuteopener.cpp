#include "platform/windows/shellexecuteopener.h"

#include "platform/windows/shellopen.h"

namespace tarv {

void ShellExecuteOpener::open(const QString &target) {
    win32::shellOpen(target.toStdWString());
}

} // namespace tarv
