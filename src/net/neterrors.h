#pragma once

#include "framework/errors.h"

namespace tarv {

// A failure of the socket component: a lookup, a connection or a socket call. Socket errors
// carry the error number, ":" and its text ("10054:Connection reset by peer").
class ESockError : public Exception {
public:
    using Exception::Exception;
};

// A transfer that was aborted or ran out of time ("Socket readln aborted").
class EAbortError final : public ESockError {
public:
    using ESockError::ESockError;
};

} // namespace tarv
