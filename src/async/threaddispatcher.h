// How the platform file that keeps each thread's dispatcher (currentDispatcher) makes and forgets
// it.
#pragma once

#include "async/asyncdispatch.h"

namespace quorvin::detail {

// Creates the calling thread's dispatcher and fills its scheduling hook; the platform file keeps
// the pointer and decides whether the thread's end destroys it.
PDispatcher* makeThreadDispatcher();
// Empties the scheduling hook after the thread's dispatcher has been destroyed.
void forgetThreadDispatcher() noexcept;

} // namespace quorvin::detail
