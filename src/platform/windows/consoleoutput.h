#pragma once

#include <QIODevice>

#include <windows.h>

namespace tarv {

// One of the process's standard handles as a device that takes UTF-8. Where the handle is a
// console the text goes out in UTF-16 through the console's own call, which shows Greek whatever
// the console's code page (737, 1253, 437, ...); a file or pipe gets the UTF-8 bytes unchanged.
class StdHandleDevice final : public QIODevice {
public:
    // which is STD_OUTPUT_HANDLE or STD_ERROR_HANDLE.
    explicit StdHandleDevice(DWORD which);
    // A device over a handle that the caller keeps open (tests pass a file or a pipe).
    explicit StdHandleDevice(HANDLE handle);

    // True when the handle is a console window rather than a file or a pipe.
    bool isConsole() const { return m_console; }

protected:
    qint64 readData(char *data, qint64 maxSize) override;
    qint64 writeData(const char *data, qint64 size) override;

private:
    bool writeBytes(const char *data, qint64 size);
    bool writeConsole(const char *data, qint64 size);

    HANDLE m_handle = INVALID_HANDLE_VALUE;
    bool m_console = false;
    // The first bytes of a character whose last bytes come with the next write.
    QByteArray m_partial;
};

} // namespace tarv
