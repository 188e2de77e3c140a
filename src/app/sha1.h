#pragma once

// SHA-1 for the command-line front, which links no Qt and no crypto library but must name the
// running program's socket as the program does: by the digest of its data folder. It is not used
// for anything that needs to resist an attacker.

#include <string>

namespace tarv::front {

// The digest of bytes, as 40 lowercase hexadecimal digits.
std::string sha1Hex(const std::string &bytes);

} // namespace tarv::front
