#pragma once

#include "platform/autostartstore.h"

namespace tarv {

// Autostart through the per-user Run key: one string value per program, holding the executable's
// full path with no quotes and no arguments. Failures raise ERegistryException.
class RunKeyAutostartStore final : public AutostartStore {
public:
    QString read(const QString &name) const override;
    void write(const QString &name, const QString &executablePath) override;
    void remove(const QString &name) override;
};

} // namespace tarv
