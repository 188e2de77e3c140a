// Feeds arbitrary bytes to the vendor menu file's reader and to the command filter that
// decides what a menu item may open.
#include "fuzzsupport.h"
#include "shell/popupfile.h"

#include <cstdint>

using namespace tarv;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz::environment();
    const QByteArray bytes(reinterpret_cast<const char *>(data), static_cast<qsizetype>(size));
    for (const PopupItem &item : parsePopupFile(bytes)) {
        const MenuCommand command = classifyMenuCommand(item.command);
        (void)command;
    }
    return 0;
}
