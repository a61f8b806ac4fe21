// The shell's "open" verb for a URL, a file or a folder.
#pragma once

#include <string_view>

namespace quorvin {

// ShellExecuteW with no owner, the verb "open", the target and the show command; the result is
// ignored (nothing registered for the scheme fails silently).
void shellOpen(std::string_view target, int show);

} // namespace quorvin
