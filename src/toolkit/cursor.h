// Shared system cursors: each is loaded once and handed to every control that asks for it.
#pragma once

#include <windows.h>

namespace quorvin {

// The system hand cursor (IDC_HAND).
HCURSOR handCursor();

} // namespace quorvin
