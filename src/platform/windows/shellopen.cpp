#include "platform/windows/shellopen.h"

#include <windows.h>

#include <shellapi.h>

namespace tarv::win32 {

void shellOpen(const std::wstring &target) {
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWMAXIMIZED);
}

} // namespace tarv::win32
