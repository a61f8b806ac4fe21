// Finding and answering the folder chooser from a timer, as a user would.
#pragma once

#include <windows.h>

#include <string>

namespace quorvin::testing {

// The chooser dialog this thread shows now, or null while it is not up.
HWND findVisibleChooser();

// Picks `path` in the chooser (types it into the name box and presses OK), or cancels it when
// `path` is empty.
void answerChooser(HWND chooser, const std::string& path);

} // namespace quorvin::testing
