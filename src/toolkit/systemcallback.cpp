// The fatal end of an exception that reached a system callback.
#include "toolkit/systemcallback.h"

#include "runtime/process.h"

#include <cstdio>
#include <cstdlib>

namespace quorvin {

void endWithUnhandledException(const std::exception_ptr& error) {
    const int status = runMain([&error]() -> int { std::rethrow_exception(error); });
    std::fflush(stdout);
    std::_Exit(status);
}

} // namespace quorvin
