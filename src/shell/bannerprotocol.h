#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QString>

namespace tarv::bannerwire {

// The banner's web engine runs in a helper program of its own, so that the program waiting in
// the tray never maps the engine or a graphics stack, and everything the engine took goes back
// to the system the moment the helper ends. The two talk over the helper's standard input and
// output, one message a line: a word, then arguments separated by single spaces. Addresses and
// paths are percent-encoded, so that no argument holds a space or a line end.
//
// To the helper:   offline 0|1, load <url>, save <path>, embed <native parent> <w> <h>,
//                  show <w> <h> (where nothing can be embedded), size <w> <h>
// From the helper: started, finished 0|1 <url>, saved 0|1 <path>

inline QByteArray arg(const QString &text) {
    return text.toUtf8().toPercentEncoding();
}

inline QString text(const QByteArray &argument) {
    return QString::fromUtf8(QByteArray::fromPercentEncoding(argument));
}

inline QByteArray line(const QByteArray &word, const QByteArrayList &args = {}) {
    QByteArray out = word;
    for (const QByteArray &a : args)
        out += ' ' + a;
    return out + '\n';
}

} // namespace tarv::bannerwire
