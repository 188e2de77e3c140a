#include "platform/fakes/fakes.h"

#include "framework/errors.h"

namespace tarv {

void MemoryAutostartStore::throw_() {
    throw ERegistryException(QStringLiteral("Failed to set data for 'Tarv'"));
}

} // namespace tarv
