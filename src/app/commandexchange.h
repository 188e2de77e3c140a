#pragma once

// The exchange by which a command line has the running program run its command, shared by the
// front (plain C++, src/app/frontclient.*) and the program (src/app/commandservice.*).
//
// The command line sends "command <n>\n", n bytes of fields, each ended by a NUL, and then
// kCommandPadding bytes of padding that are not part of the fields. The fields: the data folder's
// canonical path, each of kCommandVariables (empty when unset, "=" and the value when set), then
// the arguments after the program's name. The program answers "decline\n", or "done <exit>
// <outlen> <errlen>\n" followed by outlen bytes of standard output and errlen bytes of standard
// error, and closes.
//
// The padding is for programs of earlier versions, which take only short one-line requests and
// drop a client that sends more than 64 bytes without a line end: such a program drops the
// command at once, and the command line runs it itself, instead of waiting for an answer that
// never comes.

#include <cstddef>

namespace tarv {

// The longest command sent and the longest answer taken (output and errors).
inline constexpr std::size_t kMaxCommandPayload = 16 * 1024;
inline constexpr std::size_t kMaxCommandAnswer = 16 * 1024 * 1024;
inline constexpr std::size_t kCommandPadding = 65;

// The environment variables that change what a command prints (its language, numbers, month
// names and day), sent with it in this order.
inline constexpr const char *kCommandVariables[] = {"LANGUAGE", "LC_ALL", "LC_MESSAGES", "LC_NUMERIC",
                                                     "LC_TIME",  "LANG",   "TZ"};

} // namespace tarv
