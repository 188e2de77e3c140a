#pragma once

#include "framework/errors.h"

#include <QString>

namespace tarv::test {

// The message of the program's error that body raises, empty when it raises none.
template <typename F> QString errorOf(F body) {
    try {
        body();
    } catch (const Exception &e) {
        return e.message();
    }
    return {};
}

} // namespace tarv::test
