// The thread's dispatcher on Windows, kept to the end of the process.
#include "async/asyncdispatch.h"

#include "async/threaddispatcher.h"

namespace quorvin {

namespace {

// The thread's dispatcher (gDisp). It is never destroyed: the thread-local storage of MinGW
// programs may be released before the destructors of thread-local objects run, so a destructor
// could not reach it safely. The server's thread never ends anyway.
thread_local PDispatcher* gDisp = nullptr;

} // namespace

PDispatcher& currentDispatcher() {
    if (gDisp == nullptr) {
        gDisp = detail::makeThreadDispatcher();
    }
    return *gDisp;
}

} // namespace quorvin
