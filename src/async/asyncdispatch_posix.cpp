// The thread's dispatcher on POSIX, destroyed with its thread.
#include "async/asyncdispatch.h"

#include "async/threaddispatcher.h"

namespace quorvin {

namespace {

// The thread's dispatcher (gDisp), destroyed when the thread ends, so that whatever still waits on
// it is released. The pointer stays set while the dispatcher is being destroyed: code run by its
// teardown still finds it.
struct DispatcherSlot {
    PDispatcher* dispatcher = nullptr;
    ~DispatcherSlot() {
        delete dispatcher;
        dispatcher = nullptr;
        detail::forgetThreadDispatcher();
    }
};
thread_local DispatcherSlot gDisp;

} // namespace

PDispatcher& currentDispatcher() {
    if (gDisp.dispatcher == nullptr) {
        gDisp.dispatcher = detail::makeThreadDispatcher();
    }
    return *gDisp.dispatcher;
}

} // namespace quorvin
