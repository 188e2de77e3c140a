#pragma once

#include <QString>
#include <stdexcept>

namespace tarv {

// The base of the program's own errors. The application's default handler shows what()
// in an error box and lets the program carry on.
class Exception : public std::runtime_error {
public:
    explicit Exception(const QString &message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// A file could not be opened, read or written.
class EInOutError final : public Exception {
public:
    using Exception::Exception;
};

// A text did not convert to a number.
class EConvertError final : public Exception {
public:
    using Exception::Exception;
};

// A date could not be formed or parsed.
class EDateError final : public Exception {
public:
    using Exception::Exception;
};

// The autostart store could not be read or written.
class ERegistryException final : public Exception {
public:
    using Exception::Exception;
};

} // namespace tarv
