#include "net/encoders.h"

#include <QBuffer>
#include <exception>

namespace tarv {

namespace {

constexpr char kMimeAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr int kBlockSize = 45;

// The uuencode alphabet: the grave accent, then "!" through "_" in code order.
char uuChar(int index) {
    return index == 0 ? '`' : char(32 + index);
}

void encodeBlock(const unsigned char *in, int length, UUMethods method, QByteArray &out) {
    auto put = [&](int index) { out.append(method == uuCode ? uuChar(index) : kMimeAlphabet[index]); };
    if (method == uuCode) put(length % 64);
    int i = 0;
    for (; i + 3 <= length; i += 3) {
        const int b0 = in[i], b1 = in[i + 1], b2 = in[i + 2];
        put(b0 >> 2);
        put(((b0 << 4) & 63) | (b1 >> 4));
        put(((b1 << 2) & 63) | (b2 >> 6));
        put(b2 & 63);
    }
    if (length - i == 1) {
        const int b0 = in[i];
        put(b0 >> 2);
        put((b0 << 4) & 48);
        if (method == uuMime) out.append("==");
    } else if (length - i == 2) {
        const int b0 = in[i], b1 = in[i + 1];
        put(b0 >> 2);
        put(((b0 << 4) & 63) | (b1 >> 4));
        put((b1 << 2) & 60);
        if (method == uuMime) out.append('=');
    }
    out.append("\r\n");
}

} // namespace

void TStreamEncoder::Encode() {
    if (OnBeginEncode) OnBeginEncode(this);
    if (InputStream && OutputStream) {
        InputStream->seek(0);
        char block[kBlockSize];
        for (;;) {
            const qint64 n = InputStream->read(block, kBlockSize);
            if (n <= 0) break;
            QByteArray line;
            encodeBlock(reinterpret_cast<const unsigned char *>(block), int(n), Method, line);
            OutputStream->write(line);
        }
        if (Method == uuCode) OutputStream->write(QByteArray(1, uuChar(0)) + "\r\n");
        OutputStream->seek(0);
    }
    if (OnEndEncode) OnEndEncode(this);
}

QByteArray TStreamEncoder::base64Token(const QByteArray &bytes) {
    QByteArray input = bytes;
    QBuffer in(&input);
    QByteArray output;
    QBuffer out(&output);
    in.open(QIODevice::ReadOnly);
    out.open(QIODevice::ReadWrite);
    TStreamEncoder encoder;
    encoder.InputStream = &in;
    encoder.OutputStream = &out;
    encoder.Method = uuMime;
    encoder.Encode();
    return output.replace("\r\n", "");
}

QString TUrlEncoder::Encode() {
    try {
        static constexpr char hex[] = "0123456789ABCDEF";
        QByteArray out;
        for (const char c : InputString.toUtf8()) {
            const auto b = static_cast<unsigned char>(c);
            if (b == ' ')
                out.append('+');
            else if (b == '/' || (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z'))
                out.append(c);
            else {
                out.append('%');
                out.append(hex[b >> 4]);
                out.append(hex[b & 15]);
            }
        }
        return QString::fromLatin1(out);
    } catch (const std::exception &e) {
        if (OnError) OnError(this, QStringLiteral("Error during encode"), QString::fromLocal8Bit(e.what()));
        return InputString;
    }
}

} // namespace tarv
