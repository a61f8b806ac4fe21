// Libraries the toolkit loads at run time come from the system folder only, never from the
// program's own folder or the current one, where a planted copy could wait (the program's start
// restricts every later load the same way: restrictLibrarySearch in runtime/process.h).
#pragma once

#include <windows.h>

namespace quorvin {

// Loads the named library (a bare name such as L"msftedit.dll") from the system folder; null
// when it is not there.
HMODULE loadSystemLibrary(const wchar_t* name);

} // namespace quorvin
