// Ctrl-C on POSIX: SIGINT is blocked everywhere and taken by one thread with sigwait.
#include "server/launch.h"

#include "runtime/errors.h"

#include <csignal>
#include <pthread.h>

namespace quorvin {

namespace {

// A signal handler may not take the output lock (the interrupted thread may hold it), so the
// signal is received synchronously by a thread that does nothing else.
void* waitForInterrupt(void* set) {
    for (;;) {
        int received = 0;
        if (sigwait(static_cast<sigset_t*>(set), &received) == 0 && received == SIGINT) {
            onInterrupt();
        }
    }
}

} // namespace

void installInterruptHandler() {
    // Once per process: a second call finds the waiting thread already there.
    static const bool installed = [] {
        static sigset_t set;
        sigemptyset(&set);
        sigaddset(&set, SIGINT);
        int code = pthread_sigmask(SIG_BLOCK, &set, nullptr);
        if (code != 0) {
            throw OSError(code);
        }
        pthread_t thread;
        code = pthread_create(&thread, nullptr, waitForInterrupt, &set);
        if (code != 0) {
            throw OSError(code);
        }
        pthread_detach(thread);
        return true;
    }();
    (void)installed;
}

} // namespace quorvin
