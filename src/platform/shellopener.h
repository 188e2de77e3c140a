#pragma once

#include <QString>

namespace tarv {

// The desktop's "open": hands a web address or document to its default handler.
// The result is not examined, so a failure is silent.
class ShellOpener {
public:
    virtual ~ShellOpener() = default;
    // Opens target with the desktop's default handler (maximised where the platform can say so).
    virtual void open(const QString &target) = 0;
};

} // namespace tarv
