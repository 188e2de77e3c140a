#pragma once

#include <QByteArray>
#include <QString>

namespace tarv {

// The width of the tariff header that the options dialog writes, without its CR LF.
constexpr int kHeaderSlotChars = 95;

// The header text in the ledger's code page, cut or padded with spaces to exactly 95 bytes.
// A line end inside the text would split the header line, so CR and LF become spaces.
QByteArray headerSlot(const QString &text);

} // namespace tarv
