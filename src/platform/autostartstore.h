#pragma once

#include <QString>

namespace tarv {

// The per-user store of programs started with the user's session (a Run key value on
// Windows, an XDG autostart entry on Linux). Failures raise ERegistryException.
class AutostartStore {
public:
    virtual ~AutostartStore() = default;
    // The command stored under name, or an empty text when there is none or it is disabled.
    virtual QString read(const QString &name) const = 0;
    // Stores the executable's full path under name, creating what is missing.
    virtual void write(const QString &name, const QString &executablePath) = 0;
    // Deletes the value; a missing value is no error.
    virtual void remove(const QString &name) = 0;
};

} // namespace tarv
