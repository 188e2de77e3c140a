#include "platform/platform.h"

#include "platform/linux/systemclock.h"
#include "platform/windows/rasdialupservice.h"
#include "platform/windows/runkeyautostartstore.h"
#include "platform/windows/shellexecuteopener.h"

#include <QCoreApplication>
#include <QDir>

namespace tarv {

Platform makeSystemPlatform() {
    Platform p;
    p.clock = std::make_shared<SystemClock>();
    p.dialup = std::make_shared<RasDialupService>();
    p.autostart = std::make_shared<RunKeyAutostartStore>();
    p.shell = std::make_shared<ShellExecuteOpener>();
    p.dataFolder = QCoreApplication::applicationDirPath();
    // The Run key holds the path as Windows writes it, with backslashes.
    p.executablePath = QDir::toNativeSeparators(QCoreApplication::applicationFilePath());
    p.makerUrl = QStringLiteral(TARV_MAKER_URL);
    return p;
}

} // namespace tarv
