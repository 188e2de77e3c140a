#include "calls/calljournal.h"

#include "calls/callrow.h"
#include "framework/errors.h"
#include "meter/ledger.h"

#include <QCryptographicHash>
#include <QFile>
#include <QSaveFile>

namespace tarv::calls {

namespace {

constexpr int kSlotSize = 4096;
const QByteArray kMagic = "TARVCALLS1";

[[noreturn]] void ioError(const QString &what, const QFileDevice &file) {
    throw EInOutError(QStringLiteral("%1 \"%2\": %3").arg(what, file.fileName(), file.errorString()));
}

void writeAll(QFile &file, const QByteArray &bytes) {
    if (file.write(bytes) != bytes.size()) ioError(QStringLiteral("Cannot write file"), file);
    syncToDisk(file.handle());
}

QByteArray checksum(const QByteArray &bytes) {
    return QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex().left(16);
}

// A slot: "TARVCALLS1 <sequence> <offset> <length> <checksum>\n" and the text, padded with
// spaces to the slot's size. The checksum covers the first line's numbers and the text.
QByteArray slotBytes(quint64 sequence, const JournalEntry &entry) {
    const QByteArray numbers = QByteArray::number(sequence) + ' ' + QByteArray::number(entry.offset) + ' ' +
                               QByteArray::number(entry.text.size());
    QByteArray slot = kMagic + ' ' + numbers + ' ' + checksum(numbers + '\n' + entry.text) + '\n' + entry.text;
    slot.append(kSlotSize - slot.size(), ' ');
    return slot;
}

struct Slot {
    quint64 sequence = 0;
    JournalEntry entry;
};

std::optional<Slot> parseSlot(const QByteArray &slot) {
    const qsizetype lineEnd = slot.indexOf('\n');
    if (lineEnd < 0) return std::nullopt;
    const QList<QByteArray> parts = slot.left(lineEnd).split(' ');
    if (parts.size() != 5 || parts.at(0) != kMagic) return std::nullopt;
    bool ok1 = false, ok2 = false, ok3 = false;
    Slot s;
    s.sequence = parts.at(1).toULongLong(&ok1);
    s.entry.offset = parts.at(2).toLongLong(&ok2);
    const qsizetype length = parts.at(3).toLongLong(&ok3);
    if (!ok1 || !ok2 || !ok3 || length < 0 || lineEnd + 1 + length > slot.size()) return std::nullopt;
    s.entry.text = slot.mid(lineEnd + 1, length);
    const QByteArray numbers = parts.at(1) + ' ' + parts.at(2) + ' ' + parts.at(3);
    if (checksum(numbers + '\n' + s.entry.text) != parts.at(4)) return std::nullopt;
    return s;
}

std::optional<Slot> newestSlot(const QString &path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return std::nullopt;
    std::optional<Slot> best;
    for (int i = 0; i < 2; ++i) {
        const std::optional<Slot> s = parseSlot(file.read(kSlotSize));
        if (s && (!best || s->sequence > best->sequence)) best = s;
    }
    return best;
}

} // namespace

void CallJournal::write(const JournalEntry &entry) {
    if (entry.text.size() > kTextCapacity)
        throw EInOutError(QStringLiteral("The connection's row is too long for \"%1\"").arg(m_path));
    // A file left from before is continued, so that the newer slot stays the newer.
    if (m_sequence == 0)
        if (const std::optional<Slot> old = newestSlot(m_path)) m_sequence = old->sequence;
    ++m_sequence;
    QFile file(m_path);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) ioError(QStringLiteral("Cannot open file"), file);
    if (!file.seek(qint64(m_sequence % 2) * kSlotSize)) ioError(QStringLiteral("Cannot write file"), file);
    writeAll(file, slotBytes(m_sequence, entry));
}

std::optional<JournalEntry> CallJournal::read() const {
    const std::optional<Slot> s = newestSlot(m_path);
    if (!s) return std::nullopt;
    return s->entry;
}

void CallJournal::clear() {
    QFile::remove(m_path);
    m_sequence = 0;
}

qint64 prepareCsv(const QString &csvPath) {
    QFile file(csvPath);
    if (!file.exists() || file.size() == 0) {
        QSaveFile save(csvPath);
        const QByteArray header = csvHeader() + '\n';
        if (!save.open(QIODevice::WriteOnly) || save.write(header) != header.size() || !save.commit())
            ioError(QStringLiteral("Cannot create file"), save);
        return header.size();
    }
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) ioError(QStringLiteral("Cannot open file"), file);
    const qint64 size = file.size();
    if (!file.seek(size - 1)) ioError(QStringLiteral("Cannot read file"), file);
    if (file.read(1) == "\n") return size;
    // A line without its end (written by hand, or cut short elsewhere) is ended, so the next row
    // starts a line of its own.
    if (!file.seek(size)) ioError(QStringLiteral("Cannot write file"), file);
    writeAll(file, "\n");
    return size + 1;
}

qint64 applyEntry(const QString &csvPath, const JournalEntry &entry) {
    QFile file(csvPath);
    if (!file.open(QIODevice::ReadWrite | QIODevice::Unbuffered)) ioError(QStringLiteral("Cannot open file"), file);
    const qint64 size = file.size();
    qint64 at = size;
    // No longer than the entry's text: more than that after the offset is not an append of it.
    if (entry.offset <= size && size - entry.offset <= entry.text.size() && file.seek(entry.offset)) {
        // Bytes after the offset that begin the entry's text are an earlier append of the same
        // rows, whole or cut short: they are written over rather than kept beside the rows.
        const QByteArray tail = file.read(size - entry.offset);
        if (entry.text.startsWith(tail)) at = entry.offset;
    }
    if (at == size && size > 0) {
        if (!file.seek(size - 1)) ioError(QStringLiteral("Cannot read file"), file);
        if (file.read(1) != "\n") {
            if (!file.seek(size)) ioError(QStringLiteral("Cannot write file"), file);
            writeAll(file, "\n");
            at = size + 1;
        }
    }
    if (!file.seek(at)) ioError(QStringLiteral("Cannot write file"), file);
    writeAll(file, entry.text);
    if (!file.resize(at + entry.text.size())) ioError(QStringLiteral("Cannot write file"), file);
    return at + entry.text.size();
}

} // namespace tarv::calls
