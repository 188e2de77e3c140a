#pragma once

#include <QObject>
#include <memory>

namespace tarv::test {

// A part of a window found among its children by type and, where given, by object name; null
// when there is none.
template <typename T> T *part(const QObject *owner, const char *name = nullptr) {
    return name ? owner->findChild<T *>(QLatin1String(name)) : owner->findChild<T *>();
}
template <typename T> T *part(const QObject &owner, const char *name = nullptr) {
    return part<T>(&owner, name);
}
template <typename T, typename U> T *part(const std::unique_ptr<U> &owner, const char *name = nullptr) {
    return part<T>(owner.get(), name);
}

} // namespace tarv::test
