// The boundary of every call that the system makes into the toolkit: window procedures, the
// drop target, timers. No exception may pass it: 32-bit builds unwind with tables that cannot
// cross the system's frames, and on 64-bit the system may swallow it.
#pragma once

#include <exception>

namespace quorvin {

// Reports the exception as the main thread reports one that escapes it ("Error: unhandled
// exception: MESSAGE [TYPE]") and ends the process with status 1, without running the
// destructors of the windows whose procedure is still on the stack.
[[noreturn]] void endWithUnhandledException(const std::exception_ptr& error);

} // namespace quorvin
