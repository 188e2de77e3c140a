#pragma once

// What the end-to-end tests of the real program share: a copy of the program in a folder of its
// own, where it keeps its ledger, and a ledger to start it with. TARV_EXE names the program.

#include "framework/textformat.h"

#include <QByteArray>
#include <QDate>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

namespace tarv::test {

// Copies the program into folder; the copy's path, or an empty text when it cannot be copied.
inline QString copyProgram(const QTemporaryDir &folder) {
    const QString exe = folder.filePath(QStringLiteral("tarv"));
    if (!QFile::copy(QStringLiteral(TARV_EXE), exe)) return {};
    QFile::setPermissions(exe, QFile::permissions(exe) | QFileDevice::ExeOwner);
    return exe;
}

// A ledger with the tariff header (padded to its 100 bytes) and one record: day and amount.
inline QByteArray oneDayLedger(QByteArray tariff, const QDate &day, const QByteArray &amount) {
    tariff.append(100 - tariff.size(), ' ');
    return tariff + "\r\n\r\n" + fmt::dayKey(day).toLatin1() + '|' + amount;
}

} // namespace tarv::test
