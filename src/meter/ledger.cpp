#include "meter/ledger.h"

#include "framework/errors.h"
#include "framework/textformat.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace tarv {

namespace {

[[noreturn]] void ioError(const QString &what, const QFileDevice &file) {
    throw EInOutError(QStringLiteral("%1 \"%2\": %3").arg(what, file.fileName(), file.errorString()));
}

void openOrThrow(QFile &file, QIODevice::OpenMode mode) {
    if (file.open(mode)) return;
    if (!file.exists() && !(mode & QIODevice::Truncate) && !(mode & QIODevice::Append))
        throw EInOutError(QStringLiteral("File not found \"%1\"").arg(file.fileName()));
    ioError(QStringLiteral("Cannot open file"), file);
}

// Files are written unbuffered, so that a write that fails (a full disk) is seen at once and no
// buffered rest is written later when the file is closed.
void writeOrThrow(QFile &file, const QByteArray &bytes) {
    if (file.write(bytes) != bytes.size()) {
        if (file.error() == QFileDevice::NoError)
            throw EInOutError(QStringLiteral("Cannot write file \"%1\": the disk is full").arg(file.fileName()));
        ioError(QStringLiteral("Cannot write file"), file);
    }
    syncToDisk(file.handle());
}

// Writes bytes to a new file and puts it in place of path in one step (QSaveFile), so that a
// failure never leaves a half-written file where path was. A symbolic link is written through
// to its target, which keeps its permissions.
void replaceFile(const QString &path, const QByteArray &bytes) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        ioError(QStringLiteral("Cannot create file"), file);
    if (file.write(bytes) != bytes.size()) {
        const bool full = file.error() == QFileDevice::NoError;
        file.cancelWriting();
        if (full)
            throw EInOutError(QStringLiteral("Cannot write file \"%1\": the disk is full").arg(path));
        ioError(QStringLiteral("Cannot write file"), file);
    }
    if (!file.commit()) ioError(QStringLiteral("Cannot write file"), file);
}

// The end of the first line (the header), at its CR or LF or the end of the bytes.
qsizetype headerEnd(const QByteArray &bytes) {
    qsizetype i = 0;
    while (i < bytes.size() && bytes.at(i) != '\r' && bytes.at(i) != '\n') ++i;
    return i;
}

// The first line after the header that holds key, as [start, end) without its line end;
// start is -1 when there is none. The key holds no line-end characters, so its first
// occurrence after the header lies on the line that the readers would stop at.
std::pair<qsizetype, qsizetype> findRecord(const QByteArray &bytes, const QByteArray &key) {
    const qsizetype at = bytes.indexOf(key, headerEnd(bytes));
    if (at < 0) return {-1, -1};
    qsizetype start = at;
    while (start > 0 && bytes.at(start - 1) != '\r' && bytes.at(start - 1) != '\n') --start;
    qsizetype end = at + key.size();
    while (end < bytes.size() && bytes.at(end) != '\r' && bytes.at(end) != '\n') ++end;
    return {start, end};
}

} // namespace

namespace {
bool g_diskSync = true;
}

void setDiskSync(bool on) {
    g_diskSync = on;
}

void syncToDisk(int fd) {
#ifdef _WIN32
    // The C runtime's flush of a descriptor to the disk (FlushFileBuffers underneath).
    if (g_diskSync && fd >= 0) ::_commit(fd);
#else
    if (g_diskSync && fd >= 0) ::fsync(fd);
#endif
}

QList<QByteArray> ledgerLines(const QByteArray &bytes) {
    QList<QByteArray> lines;
    int start = 0;
    const int n = bytes.size();
    for (int i = 0; i < n; ++i) {
        const char c = bytes.at(i);
        if (c != '\r' && c != '\n') continue;
        lines.append(bytes.mid(start, i - start));
        if (c == '\r' && i + 1 < n && bytes.at(i + 1) == '\n') ++i;
        start = i + 1;
    }
    if (start < n) lines.append(bytes.mid(start));
    return lines;
}

Ledger::Ledger(QString folder) : m_path(QDir(folder).filePath(QStringLiteral("data.dat"))) {}

bool Ledger::exists() const {
    return QFileInfo::exists(m_path);
}

QByteArray Ledger::defaultHeaderBytes() {
    QByteArray header = fmt::toCp1253(QStringLiteral("8|22|270|540|9|Δρχ"));
    header.append(100 - header.size(), ' ');
    return header;
}

void Ledger::create(const QString &key) {
    replaceFile(m_path, defaultHeaderBytes() + "\r\n\r\n" + key.toLatin1() + "|0000,000");
}

QByteArray Ledger::readAll() const {
    QFile file(m_path);
    openOrThrow(file, QIODevice::ReadOnly);
    QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) ioError(QStringLiteral("Cannot read file"), file);
    return bytes;
}

TariffHeader Ledger::parseHeader(const QString &line) {
    QString rest = line;
    auto nextField = [&rest]() {
        const int p = rest.indexOf(QLatin1Char('|')) + 1; // 1-based, 0 when missing
        const QString field = fmt::copyChars(rest, 1, p - 1);
        rest = fmt::copyChars(rest, p + 1, 0);
        return field;
    };
    TariffHeader h;
    h.zoneAFrom = fmt::toInt(nextField());
    h.zoneATo = fmt::toInt(nextField());
    const QString a = nextField();
    h.zoneASeconds = fmt::toInt(a);
    const QString b = nextField();
    h.zoneBSeconds = fmt::toInt(b);
    // A unit of no seconds would make the unit rule divide by zero.
    if (h.zoneASeconds < 1) throw EConvertError(QStringLiteral("'%1' is not a valid number of seconds per unit").arg(a));
    if (h.zoneBSeconds < 1) throw EConvertError(QStringLiteral("'%1' is not a valid number of seconds per unit").arg(b));
    h.unitPrice = fmt::toDouble(nextField());
    // Leading and trailing spaces and control characters are not part of the label.
    int from = 0, to = rest.size();
    while (from < to && rest.at(from) <= QLatin1Char(' ')) ++from;
    while (to > from && rest.at(to - 1) <= QLatin1Char(' ')) --to;
    h.currencyLabel = rest.mid(from, to - from);
    return h;
}

Ledger::ReadResult Ledger::read(const QString &key) const {
    const QByteArray bytes = readAll();
    ReadResult r;
    r.header = parseHeader(fmt::fromCp1253(bytes.left(headerEnd(bytes))));
    const auto [start, end] = findRecord(bytes, key.toLatin1());
    if (start >= 0) r.amountText = fmt::copyChars(fmt::fromCp1253(bytes.mid(start, end - start)), 8, 0);
    return r;
}

void Ledger::appendRecord(const QString &key) {
    QFile file(m_path);
    openOrThrow(file, QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered);
    const qint64 oldSize = file.size();
    try {
        writeOrThrow(file, "\r\n" + key.toLatin1() + "|0000,000");
    } catch (...) {
        // A record written in part would damage the ledger's last line: cut it off again.
        file.resize(oldSize);
        throw;
    }
}

bool Ledger::writeAmount(const QString &key, const QByteArray &amountText) {
    QFile file(m_path);
    openOrThrow(file, QIODevice::ReadWrite | QIODevice::Unbuffered);
    const QByteArray bytes = file.readAll();
    if (file.error() != QFileDevice::NoError) ioError(QStringLiteral("Cannot read file"), file);

    // The record is the first line after the header that holds the key; its amount starts at
    // its eighth character. The header is never written here, whatever it holds.
    const auto [lineStart, slotEnd] = findRecord(bytes, key.toLatin1());
    const qsizetype position = lineStart < 0 ? -1 : lineStart + 7;
    const qsizetype n = bytes.size();
    if (position < 0) return false;
    if (position > slotEnd)
        throw EInOutError(QStringLiteral("Damaged record %1 in \"%2\"").arg(key, m_path));

    const bool isLast = slotEnd == n;
    if (isLast || position + amountText.size() <= slotEnd) {
        if (!file.seek(position)) ioError(QStringLiteral("Cannot write file"), file);
        writeOrThrow(file, amountText);
        return true;
    }
    file.close();

    // The wider amount would run over the line end into the next record: write the whole file
    // anew with the record widened, then put it in place of the old one in a single step.
    QByteArray widened = bytes;
    widened.replace(position, slotEnd - position, amountText);
    replaceFile(m_path, widened);
    return true;
}

void Ledger::writeHeader(const QByteArray &header95) {
    // The 95 characters and the line end are built first and go out in one write, so the header
    // is never left half old and half new. A missing file is an error, never created here.
    QByteArray slot = header95.left(95);
    slot.append(95 - slot.size(), ' ');
    slot.append("\r\n");
    // A header line shorter than the slot (an edited ledger) would have the write run over the
    // first records: the file is then written anew with the slot in place of the header line.
    QByteArray start;
    {
        QFile reader(m_path);
        openOrThrow(reader, QIODevice::ReadOnly);
        start = reader.read(2 * slot.size());
        if (reader.error() != QFileDevice::NoError) ioError(QStringLiteral("Cannot read file"), reader);
    }
    qsizetype next = headerEnd(start);
    if (next < start.size() && start.at(next) == '\r') ++next;
    if (next < start.size() && start.at(next) == '\n') ++next;
    if (next < slot.size() && next < start.size()) {
        replaceFile(m_path, slot + readAll().mid(next));
        return;
    }
    QFile file(m_path);
    openOrThrow(file, QIODevice::ReadWrite | QIODevice::ExistingOnly | QIODevice::Unbuffered);
    writeOrThrow(file, slot);
}

} // namespace tarv
