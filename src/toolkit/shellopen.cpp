// shellOpen over ShellExecuteW.
#include "toolkit/shellopen.h"

#include "runtime/utf.h"

#include <windows.h>

#include <shellapi.h>

namespace quorvin {

void shellOpen(std::string_view target, int show) {
    ShellExecuteW(nullptr, L"open", toWide(target).c_str(), nullptr, nullptr, show);
}

} // namespace quorvin
