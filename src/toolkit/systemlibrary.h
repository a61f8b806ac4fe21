// Libraries loaded at run time come from the system folder only, never from the program's own
// folder or the current one, where a planted copy could wait (think of a Downloads folder).
#pragma once

#include <windows.h>

namespace quorvin {

// Makes the system folder the only place the loader searches for libraries loaded by name from
// now on, the libraries they import included. Call it first thing at program start.
void restrictLibrarySearch();

// Loads the named library (a bare name such as L"msftedit.dll") from the system folder; null
// when it is not there.
HMODULE loadSystemLibrary(const wchar_t* name);

} // namespace quorvin
