#include "shell/bannerarchive.h"

#include <QHash>

namespace tarv {

namespace {

constexpr char kBoundary[] = "----=_TarvBannerPart_7e1d6a";

QByteArray base64Lines(const QByteArray &data) {
    const QByteArray text = data.toBase64();
    QByteArray out;
    out.reserve(text.size() + text.size() / 38 + 2);
    for (qsizetype i = 0; i < text.size(); i += 76) out += text.mid(i, 76) + "\r\n";
    return out;
}

QByteArray decodeQuotedPrintable(const QByteArray &text) {
    QByteArray out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char c = text.at(i);
        if (c != '=') {
            out += c;
            continue;
        }
        // "=" at a line's end joins it to the next one; "=XX" is a byte.
        if (text.mid(i + 1, 2) == "\r\n") {
            i += 2;
        } else if (text.mid(i + 1, 1) == "\n") {
            i += 1;
        } else {
            bool ok = false;
            const int value = text.mid(i + 1, 2).toInt(&ok, 16);
            if (ok && i + 2 < text.size()) {
                out += char(value);
                i += 2;
            } else {
                out += c;
            }
        }
    }
    return out;
}

// The header fields of a MIME header block, names in small letters, folded lines joined.
QHash<QByteArray, QByteArray> parseHeaders(const QByteArray &block) {
    QHash<QByteArray, QByteArray> fields;
    QByteArray last;
    for (QByteArray line : block.split('\n')) {
        if (line.endsWith('\r')) line.chop(1);
        if (line.isEmpty()) continue;
        if ((line.at(0) == ' ' || line.at(0) == '\t') && !last.isEmpty()) {
            fields[last] += ' ' + line.trimmed();
            continue;
        }
        const qsizetype colon = line.indexOf(':');
        if (colon <= 0) continue;
        last = line.left(colon).trimmed().toLower();
        fields[last] = line.mid(colon + 1).trimmed();
    }
    return fields;
}

// The value of a parameter of a header field ("boundary", "charset"), quotes removed.
QByteArray parameter(const QByteArray &field, const QByteArray &name) {
    for (const QByteArray &piece : field.split(';')) {
        const QByteArray p = piece.trimmed();
        const qsizetype eq = p.indexOf('=');
        if (eq <= 0 || p.left(eq).trimmed().toLower() != name) continue;
        QByteArray value = p.mid(eq + 1).trimmed();
        if (value.size() >= 2 && value.startsWith('"') && value.endsWith('"')) value = value.mid(1, value.size() - 2);
        return value;
    }
    return {};
}

// Splits header and body at the first blank line.
void splitHead(const QByteArray &bytes, QByteArray &head, QByteArray &body) {
    qsizetype end = bytes.indexOf("\r\n\r\n");
    qsizetype skip = 4;
    const qsizetype bare = bytes.indexOf("\n\n");
    if (end < 0 || (bare >= 0 && bare < end)) {
        end = bare;
        skip = 2;
    }
    if (end < 0) {
        head = bytes;
        body.clear();
        return;
    }
    head = bytes.left(end);
    body = bytes.mid(end + skip);
}

} // namespace

QByteArray BannerArchive::toBytes() const {
    QByteArray out;
    out += "MIME-Version: 1.0\r\n";
    out += "Snapshot-Content-Location: " + location.toEncoded() + "\r\n";
    out += "Content-Type: multipart/related; type=\"text/html\"; boundary=\"" + QByteArray(kBoundary) + "\"\r\n\r\n";
    const auto part = [&out](const QByteArray &type, const QUrl &where, const QByteArray &data) {
        out += "--" + QByteArray(kBoundary) + "\r\n";
        out += "Content-Type: " + type + "\r\n";
        out += "Content-Transfer-Encoding: base64\r\n";
        out += "Content-Location: " + where.toEncoded() + "\r\n\r\n";
        out += base64Lines(data);
    };
    part(charset.isEmpty() ? QByteArray("text/html") : "text/html; charset=" + charset, location, html);
    for (const Resource &r : resources) part(r.type.isEmpty() ? QByteArray("application/octet-stream") : r.type, r.location, r.data);
    out += "--" + QByteArray(kBoundary) + "--\r\n";
    return out;
}

bool BannerArchive::fromBytes(const QByteArray &bytes, BannerArchive &archive) {
    archive = BannerArchive();
    QByteArray head, body;
    splitHead(bytes, head, body);
    const auto top = parseHeaders(head);
    const QByteArray boundary = parameter(top.value("content-type"), "boundary");
    if (!top.value("content-type").toLower().startsWith("multipart/") || boundary.isEmpty()) return false;
    archive.location = QUrl::fromEncoded(top.value("snapshot-content-location"));

    const QByteArray delimiter = "--" + boundary;
    qsizetype at = body.indexOf(delimiter);
    while (at >= 0) {
        at += delimiter.size();
        if (body.mid(at, 2) == "--") break; // the closing delimiter
        const qsizetype next = body.indexOf(delimiter, at);
        QByteArray chunk = body.mid(at, next < 0 ? -1 : next - at);
        // The line break before a delimiter belongs to the delimiter.
        if (chunk.endsWith("\r\n")) chunk.chop(2);
        else if (chunk.endsWith('\n')) chunk.chop(1);
        if (chunk.startsWith("\r\n")) chunk.remove(0, 2);
        else if (chunk.startsWith('\n')) chunk.remove(0, 1);
        at = next;

        QByteArray partHead, data;
        splitHead(chunk, partHead, data);
        const auto fields = parseHeaders(partHead);
        const QByteArray encoding = fields.value("content-transfer-encoding").toLower();
        if (encoding == "base64")
            data = QByteArray::fromBase64(data);
        else if (encoding == "quoted-printable")
            data = decodeQuotedPrintable(data);
        const QByteArray type = fields.value("content-type");
        const QUrl where = QUrl::fromEncoded(fields.value("content-location"));
        if (archive.html.isNull() && type.toLower().startsWith("text/html")) {
            archive.html = data.isNull() ? QByteArray("") : data;
            archive.charset = parameter(type, "charset");
            if (archive.location.isEmpty()) archive.location = where;
        } else {
            archive.resources.append({where, type, data});
        }
    }
    return !archive.html.isNull();
}

} // namespace tarv
