// Ctrl-C on Windows: a console control handler, which the system runs on a thread of its own.
#include "server/launch.h"

#include "runtime/errors.h"

#include <windows.h>

namespace quorvin {

namespace {

BOOL WINAPI onConsoleControl(DWORD event) {
    if (event == CTRL_C_EVENT || event == CTRL_BREAK_EVENT) {
        onInterrupt();
    }
    return FALSE;
}

} // namespace

void installInterruptHandler() {
    // Without a console (the windowed program) the handler is registered but never called.
    if (!SetConsoleCtrlHandler(onConsoleControl, TRUE)) {
        throw lastOsError();
    }
}

} // namespace quorvin
