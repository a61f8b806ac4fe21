// The counting semaphore, written once over the platform's event and lock.
#include "async/threadprims.h"

namespace quorvin {

void Semaphore::signal() {
    lock_.enter();
    ++counter_;
    lock_.leave();
    event_.set();
}

void Semaphore::wait() {
    lock_.enter();
    while (counter_ <= 0) {
        lock_.leave();
        event_.wait();
        lock_.enter();
    }
    --counter_;
    bool moreLeft = counter_ > 0;
    lock_.leave();
    // Signals given while no one was waiting yet set the event only once; a waiter that leaves
    // signals behind passes the wake-up on, so that each of them reaches another waiter.
    if (moreLeft) {
        event_.set();
    }
}

} // namespace quorvin
