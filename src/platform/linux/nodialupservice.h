#pragma once

#include "platform/dialupservice.h"

namespace tarv {

// A dial-up service that never has a connection: the stand-in where the system offers none.
class NoDialupService final : public DialupService {
public:
    std::optional<QStringList> activeConnections() override { return std::nullopt; }
    DialStatus connectionStatus(const QString &) override { return {}; }
};

} // namespace tarv
