// Texts of the coroutine glue.
#include "async/asyncproc.h"

namespace quorvin::detail {

std::string nilAwaitMessage(const char* procedure) {
    return std::string("Async procedure (") + procedure +
           ") yielded `nil`, are you await'ing a `nil` Future?";
}

} // namespace quorvin::detail
