#pragma once

#include "meter/meterstate.h"

#include <QByteArray>
#include <QString>
#include <optional>

namespace tarv {

// The ledger file data.dat: a tariff header line, filler lines, and one record per day
// ("yymmdd|0000,000"), in the Greek single-byte code page with CR LF line ends.
// Every call opens and closes the file; errors raise EInOutError or EConvertError.
class Ledger final {
public:
    explicit Ledger(QString folder);

    QString path() const { return m_path; }
    bool exists() const;

    // The header text of a new ledger, padded to 100 characters (without its CR LF).
    static QByteArray defaultHeaderBytes();

    // Creates the file with the default header, an empty line and the record of key
    // with 0000,000. Replaces an existing file.
    void create(const QString &key);

    struct ReadResult {
        TariffHeader header;
        std::optional<QString> amountText; // characters 8 on of the first line holding the key
    };
    // Reads the header and the first record line that holds key. The header must convert.
    ReadResult read(const QString &key) const;

    // Appends CR LF and key|0000,000 at the end of the file.
    void appendRecord(const QString &key);

    // Writes amountText over the amount of the first line that holds key. Returns false when
    // no line holds it. An amount that does not fit before the next line end writes the file
    // anew (through a symbolic link to its target, keeping its permissions), so no record is
    // ever overrun.
    bool writeAmount(const QString &key, const QByteArray &amountText);

    // Writes the 95-character header and CR LF over the first 97 bytes, in one write. When the
    // header line is shorter, so that those bytes would reach a record, the file is written anew
    // with the slot in place of the header line instead.
    void writeHeader(const QByteArray &header95);

    // Parses a header line. Raises EConvertError for a field that does not convert or
    // seconds per unit below 1.
    static TariffHeader parseHeader(const QString &line);

private:
    QByteArray readAll() const;

    QString m_path;
};

// Splits ledger bytes into lines at CR LF, lone LF or lone CR, the way the text readers take them.
QList<QByteArray> ledgerLines(const QByteArray &bytes);

// Forces written bytes of an open file to the disk.
void syncToDisk(int fd);
// Turns the forcing off for programs that write many throw-away ledgers (the fuzz targets).
void setDiskSync(bool on);

} // namespace tarv
