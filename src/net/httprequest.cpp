// The request and response texts of the HTTP client: URL parsing, the request header and the
// response header.
#include "net/httpclient.h"

#include "framework/textformat.h"
#include "net/encoders.h"

#include <QFile>
#include <QFileInfo>

namespace tarv {

namespace {

// The index of the n-th (1-based) occurrence of c in text, -1 when there are fewer.
qsizetype nthIndexOf(const QString &text, QChar c, int n) {
    qsizetype at = -1;
    for (int i = 0; i < n; ++i) {
        at = text.indexOf(c, at + 1);
        if (at < 0) return -1;
    }
    return at;
}

const char *verbOf(CmdType code) {
    static const char *const verbs[] = {"GET ",  "OPTIONS ", "HEAD ",   "POST ", "PUT ",    "PATCH ",
                                        "COPY ", "MOVE ",    "DELETE ", "LINK ", "UNLINK ", "TRACE "};
    return code < cmdHeadless ? verbs[code] : nullptr;
}

bool sendsBody(CmdType code) {
    return code == cmdPost || code == cmdPut || code == cmdPatch || code == cmdTrace || code == cmdHeadless;
}

bool hasContentLength(CmdType code) {
    return sendsBody(code) || code == cmdLink || code == cmdUnlink;
}

// The status code of a status line: its second space-separated word when that is a plain
// decimal number, otherwise 0; the low 16 bits read as a signed number.
qint16 statusOf(const QByteArray &line) {
    const QList<QByteArray> words = line.split(' ');
    if (words.size() < 2) return 0;
    const QByteArray &word = words[1];
    if (word.isEmpty() || word.size() > 10) return 0;
    for (const char c : word)
        if (c < '0' || c > '9') return 0;
    const qint64 value = word.toLongLong();
    if (value > std::numeric_limits<int>::max()) return 0;
    return qint16(quint16(value & 0xFFFF));
}

// The decimal number after "Content-Length:": the character after the colon is passed over,
// then everything up to the first digit; no digits give 0.
qint64 contentLengthOf(const QByteArray &line) {
    qsizetype i = line.indexOf(':') + 2;
    while (i < line.size() && (line[i] < '0' || line[i] > '9'))
        ++i;
    qint64 value = 0;
    for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i) {
        if (value > std::numeric_limits<qint64>::max() / 20) break; // no overflow on silly input
        value = value * 10 + (line[i] - '0');
    }
    return value;
}

QByteArray withoutTerminator(QByteArray line) {
    while (line.endsWith('\n') || line.endsWith('\r'))
        line.chop(1);
    return line;
}

} // namespace

void THttpClient::ParseURL() {
    QString &url = m_targetURL;
    if (url.isEmpty()) throw Exception(QStringLiteral("Empty URL"));
    if (Port == 0) Port = 80;

    const bool hasAuthority = url.contains(QStringLiteral("//"));
    qsizetype pathStart = -1;
    if (hasAuthority)
        pathStart = nthIndexOf(url, QLatin1Char('/'), 3);
    else
        pathStart = url.indexOf(QLatin1Char('/'));
    m_requestPath = pathStart < 0 ? QString() : url.mid(pathStart, kMaxValueLength);
    // A path of the single "/" that ends a URL counts as none; "/" is put back below.
    if (hasAuthority && pathStart == url.size() - 1) m_requestPath.clear();

    const qsizetype colon = url.indexOf(QLatin1Char(':'));
    if (colon >= 0) {
        const QString scheme = url.left(colon).toLower();
        if (scheme == QLatin1String("gopher"))
            Port = 70;
        else if (scheme == QLatin1String("ftp"))
            Port = 21;
        else if (scheme == QLatin1String("https"))
            throw Exception(QStringLiteral("HTTP Secure Socket is not supported"));
        else
            Port = 80;
    }

    QString hostPart;
    if (hasAuthority)
        hostPart = url.section(QLatin1Char('/'), 2, 2);
    else if (!url.startsWith(QLatin1Char('/')))
        hostPart = url.section(QLatin1Char('/'), 0, 0);
    if (hostPart.contains(QLatin1Char(':'))) {
        Port = fmt::toInt(hostPart.section(QLatin1Char(':'), 1, 1));
        hostPart = hostPart.section(QLatin1Char(':'), 0, 0);
    }
    if (!hostPart.isEmpty()) Host = hostPart;

    if (m_requestPath.isEmpty()) {
        m_requestPath = QStringLiteral("/");
        url += QLatin1Char('/');
    }
}

void THttpClient::BuildRequestHeader() {
    THeaderList &h = m_requestHeader;
    h.Clear();
    if (const char *verb = verbOf(m_commandCode))
        h.Add(QLatin1String(verb) + (Proxy.isEmpty() ? m_requestPath : m_targetURL) +
              QStringLiteral(" HTTP/1.0"));
    if (!Proxy.isEmpty()) {
        h.Add(QStringLiteral("Proxy-Connection: Keep-Alive"));
        h.Add(QStringLiteral("Host: ") + Host);
    }
    h.SetHeader(QStringLiteral("Host"), Host);
    h.Add(QStringLiteral("Accept: www/source, text/html, video/mpeg, image/jpeg, image/x-tiff"));
    h.Add(QStringLiteral("Accept: image/x-rgb, image/x-xbm, image/gif, */*, application/postscript"));
    if (!HeaderInfo.LocalProgram.isEmpty())
        h.SetHeader(QStringLiteral("User-Agent"), HeaderInfo.LocalProgram);
    if (!HeaderInfo.LocalMailAddress.isEmpty())
        h.SetHeader(QStringLiteral("From"), HeaderInfo.LocalMailAddress);
    if (!HeaderInfo.Cookie.isEmpty()) h.SetHeader(QStringLiteral("Cookie"), HeaderInfo.Cookie);
    if (!HeaderInfo.Referer.isEmpty()) h.SetHeader(QStringLiteral("Referer"), HeaderInfo.Referer);
    if (!HeaderInfo.UserId.isEmpty() && !HeaderInfo.Password.isEmpty()) {
        const QByteArray credentials = (HeaderInfo.UserId + QLatin1Char(':') + HeaderInfo.Password).toUtf8();
        h.SetHeader(QStringLiteral("Authorization"),
                    QStringLiteral("Basic ") + QString::fromLatin1(TStreamEncoder::base64Token(credentials)));
    }
    h.Add(QStringLiteral("Content-type: application/x-www-form-urlencoded"));
    if (m_commandCode == cmdCopy || m_commandCode == cmdMove)
        h.Add(QStringLiteral("URI-header: ") + m_commandTarget);
    if (m_commandCode == cmdLink || m_commandCode == cmdUnlink)
        h.Add(QStringLiteral("Link: ") + m_commandTarget);
    if (hasContentLength(m_commandCode)) {
        qint64 length = 0;
        if (OutputFileMode) {
            QFile file(m_commandData);
            if (!file.open(QIODevice::ReadOnly))
                throw EInOutError(
                    QStringLiteral("Cannot open file \"%1\": %2").arg(m_commandData, file.errorString()));
            length = file.size();
        } else {
            length = m_commandData.toUtf8().size();
        }
        h.Add(QStringLiteral("Content-Length: %1").arg(length));
    }
}

QByteArray THttpClient::wireBytes(const QString &line) const {
    // A redirect's target goes out as the bytes the server sent; re-encoding them as UTF-8
    // would ask for another resource. Everything else the caller gave is sent as UTF-8.
    if (!m_targetFromServer) return line.toUtf8();
    const bool carriesTarget = (verbOf(m_commandCode) && line.startsWith(QLatin1String(verbOf(m_commandCode)))) ||
                               line.startsWith(QLatin1String("Host: "));
    return carriesTarget ? line.toLatin1() : line.toUtf8();
}

void THttpClient::SendRequest() {
    QByteArray text;
    for (const QString &line : m_requestHeader.lines())
        text += wireBytes(line) + "\r\n";
    Write(text);
    Writeln(QByteArray());
    if (!sendsBody(m_commandCode)) return;
    if (OutputFileMode)
        SendFile(m_commandData);
    else
        Write(m_commandData.toUtf8());
}

namespace {

// A header's value from offset on, at most kMaxValueLength characters. Control characters are
// dropped: a bare CR in a "Location:" would otherwise reach the next request line and its Host
// header, letting the server add header lines to the client's own request.
QString headerValue(const QByteArray &bare, int offset) {
    QByteArray value = bare.mid(offset, THttpClient::kMaxValueLength);
    value.removeIf([](char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7F; });
    return QString::fromLatin1(value);
}

} // namespace

// One header line however long it is. ReadLn hands a line longer than its buffer over in
// pieces, only the last one with the LF; taken one by one, a last piece of a bare CR LF would
// end the header early. More than room bytes end the command as an over-long header. An empty
// result means the peer has closed.
QByteArray THttpClient::readHeaderLine(qint64 room) {
    QByteArray line = ReadLn();
    while (!line.isEmpty() && !line.endsWith('\n')) {
        if (line.size() > room) throw ESockError(QStringLiteral("Response header too long"));
        const QByteArray piece = ReadLn();
        if (piece.isEmpty()) break;
        line += piece;
    }
    return line;
}

void THttpClient::ReadResponseHeader() {
    m_bytesTotal = 0;
    m_responseCookie.clear();
    // A "Location:" counts only for the response that carries it.
    m_redirectLocation.clear();
    QFile headerFile(Header);
    if (OutputFileMode) {
        if (!headerFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
            throw EInOutError(
                QStringLiteral("Cannot create file \"%1\": %2").arg(Header, headerFile.errorString()));
    } else {
        Header.clear();
    }
    qint64 headerSize = 0;
    auto keep = [&](const QByteArray &line) {
        headerSize += line.size();
        if (headerSize > kMaxHeaderSize) throw ESockError(QStringLiteral("Response header too long"));
        if (!OutputFileMode)
            Header += QString::fromLatin1(line);
        else if (headerFile.write(line) != line.size())
            throw EInOutError(
                QStringLiteral("Cannot write file \"%1\": %2").arg(Header, headerFile.errorString()));
    };

    // TimeOut bounds the whole header, not each line: a server that drips a line now and then
    // would otherwise hold the command for as long as it likes.
    TimerOn();
    struct LimitGuard {
        THttpClient *owner;
        ~LimitGuard() { owner->TimerOff(); }
    } limit{this};

    QByteArray line = readHeaderLine(kMaxHeaderSize);
    if (!line.isEmpty()) m_replyNumber = statusOf(line);
    keep(line);
    for (;;) {
        line = readHeaderLine(kMaxHeaderSize - headerSize);
        const QByteArray bare = withoutTerminator(line);
        const QByteArray name = bare.left(bare.indexOf(' ')).toUpper();
        if (name == "SET-COOKIE:")
            m_responseCookie = headerValue(bare, 12);
        else if (name == "LOCATION:")
            m_redirectLocation = headerValue(bare, 10);
        else if (name == "CONTENT-LENGTH:")
            m_bytesTotal = contentLengthOf(bare);
        keep(line);
        if (line.isEmpty() || line == "\n" || line == "\r\n") break;
    }
}

} // namespace tarv
