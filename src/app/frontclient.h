#pragma once

// The command-line front's side of the running program's quick answer. The front sends the whole
// command line, with the data folder and the locale it was given in, over the program's local
// socket; the program runs it with the very code of the commands' module and sends back what the
// module would have printed and its exit status, or declines. Either way the front prints nothing
// until it has the whole answer, so a failure at any point leaves it free to run the command
// itself.
//
// The exchange is described in commandexchange.h.

#include "app/commandexchange.h"
#include "app/frontlookup.h"

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace tarv::front {

inline constexpr std::size_t kMaxPayload = kMaxCommandPayload;
inline constexpr std::size_t kMaxAnswer = kMaxCommandAnswer;

// What the program printed for the command, and its exit status (0 to 255).
struct Answer {
    int exitStatus = 0;
    std::string out, err;
};

// The fields of a command: the data folder's canonical path, each of kCommandVariables (empty
// when unset, "=" and the value when set, so that a set but empty variable differs from an unset
// one), then argv[1] to argv[argc - 1]. Each field ends with a NUL.
std::string commandPayload(const std::string &dataFolder, int argc, char **argv, GetEnv env);

// Sends the payload to the program listening on socketPath and reads its answer, all within
// deadline from the connection. Nothing when there is no program, it declines, the deadline
// passes, or the answer is malformed, short or longer than kMaxAnswer.
std::optional<Answer> askProgram(const std::string &socketPath, const std::string &payload,
                                 std::chrono::milliseconds deadline);

} // namespace tarv::front
