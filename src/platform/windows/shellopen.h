#pragma once

// The shell's "open" on Windows. No Qt here.

#include <string>

namespace tarv::win32 {

// Hands a web address, document or program to the shell's default handler under the verb "open",
// asking for a maximised window. The shell's answer is not examined, so a failure is silent.
void shellOpen(const std::wstring &target);

} // namespace tarv::win32
