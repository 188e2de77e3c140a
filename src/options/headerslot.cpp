#include "options/headerslot.h"

#include "framework/textformat.h"

namespace tarv {

QByteArray headerSlot(const QString &text) {
    QByteArray bytes = fmt::toCp1253(text).left(kHeaderSlotChars);
    for (char &c : bytes)
        if (c == '\r' || c == '\n') c = ' ';
    bytes.append(kHeaderSlotChars - bytes.size(), ' ');
    return bytes;
}

} // namespace tarv
