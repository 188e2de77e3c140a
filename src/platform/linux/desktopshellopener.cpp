#include "platform/linux/desktopshellopener.h"

#include <QDesktopServices>
#include <QUrl>

namespace tarv {

void DesktopShellOpener::open(const QString &target) {
    // The desktop chooses the handler and its window; its answer is not examined.
    QDesktopServices::openUrl(QUrl::fromUserInput(target));
}

} // namespace tarv
