#include "platform/windows/consoleoutput.h"

#include <vector>

namespace tarv {

namespace {

// How many bytes at the end of text start a UTF-8 character that is not complete yet.
int incompleteTail(const QByteArray &text) {
    const int n = int(text.size());
    for (int back = 1; back <= 3 && back <= n; ++back) {
        const auto byte = static_cast<unsigned char>(text[n - back]);
        if ((byte & 0xC0) == 0x80) continue; // a continuation byte: look further back
        const int length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
        return length > back ? back : 0;
    }
    return 0;
}

} // namespace

StdHandleDevice::StdHandleDevice(DWORD which) : StdHandleDevice(GetStdHandle(which)) {}

StdHandleDevice::StdHandleDevice(HANDLE handle) : m_handle(handle) {
    DWORD mode = 0;
    m_console = handle && handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode);
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 StdHandleDevice::readData(char *, qint64) {
    return -1;
}

qint64 StdHandleDevice::writeData(const char *data, qint64 size) {
    // Without a handle (a program started with its output closed) the text is dropped, as a
    // closed standard output drops it elsewhere.
    if (!m_handle || m_handle == INVALID_HANDLE_VALUE) return size;
    const bool ok = m_console ? writeConsole(data, size) : writeBytes(data, size);
    return ok ? size : -1;
}

bool StdHandleDevice::writeBytes(const char *data, qint64 size) {
    while (size > 0) {
        DWORD written = 0;
        const DWORD chunk = DWORD(qMin<qint64>(size, 1 << 20));
        if (!WriteFile(m_handle, data, chunk, &written, nullptr) || written == 0) return false;
        data += written;
        size -= written;
    }
    return true;
}

bool StdHandleDevice::writeConsole(const char *data, qint64 size) {
    // A character may be split between two writes; its first bytes wait for the rest.
    QByteArray text = m_partial + QByteArray(data, size);
    const int keep = incompleteTail(text);
    m_partial = text.right(keep);
    text.chop(keep);
    if (text.isEmpty()) return true;
    const int wide = MultiByteToWideChar(CP_UTF8, 0, text.constData(), int(text.size()), nullptr, 0);
    if (wide <= 0) return false;
    std::vector<wchar_t> buffer(static_cast<size_t>(wide));
    MultiByteToWideChar(CP_UTF8, 0, text.constData(), int(text.size()), buffer.data(), wide);
    const wchar_t *next = buffer.data();
    DWORD left = DWORD(wide);
    while (left > 0) {
        DWORD written = 0;
        // The console takes a limited amount per call on older systems: a few KB at a time.
        if (!WriteConsoleW(m_handle, next, qMin<DWORD>(left, 8192), &written, nullptr) || written == 0) return false;
        next += written;
        left -= written;
    }
    return true;
}

} // namespace tarv
