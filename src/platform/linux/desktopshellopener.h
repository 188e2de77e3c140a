#pragma once

#include "platform/shellopener.h"

namespace tarv {

// Opens web addresses and documents with the desktop's default handler.
class DesktopShellOpener final : public ShellOpener {
public:
    void open(const QString &target) override;
};

} // namespace tarv
