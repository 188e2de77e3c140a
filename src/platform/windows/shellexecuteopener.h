#pragma once

#include "platform/shellopener.h"

namespace tarv {

// The shell's "open" on Windows, asking for a maximised window.
class ShellExecuteOpener final : public ShellOpener {
public:
    void open(const QString &target) override;
};

} // namespace tarv
