#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>
#include <functional>

class QIODevice;

namespace tarv {

enum UUMethods { uuMime = 0, uuCode = 1 };

// Encodes a stream as Base64 (uuMime) or uuencode (uuCode) text: one line of CR LF-ended text
// per 45 input bytes, uuencode with its length character first and a closing line.
class TStreamEncoder final : public QObject {
public:
    using QObject::QObject;

    UUMethods Method = uuMime;
    std::function<void(QObject *)> OnBeginEncode;
    std::function<void(QObject *)> OnEndEncode;
    std::function<void(QObject *)> OnBeginDecode;
    std::function<void(QObject *)> OnEndDecode;
    // Read from the start and written; the caller owns both.
    QIODevice *InputStream = nullptr;
    QIODevice *OutputStream = nullptr;

    // Encodes all of InputStream into OutputStream and leaves OutputStream at its start.
    void Encode();

    // The Base64 form of bytes as one unbroken token, as a Basic credential needs it.
    static QByteArray base64Token(const QByteArray &bytes);
};

using TOnErrorEvent = std::function<void(QObject *sender, const QString &operation, const QString &errMsg)>;

// URL-encodes form data: a space becomes "+", "/", digits and ASCII letters stay, every other
// byte (of the text's UTF-8 form) becomes "%" and two upper-case hexadecimal digits.
class TUrlEncoder final : public QObject {
public:
    using QObject::QObject;

    QString InputString;
    TOnErrorEvent OnError;

    // The encoded InputString; on an error while encoding, OnError is told and the input is
    // returned as it was.
    QString Encode();
};

} // namespace tarv
