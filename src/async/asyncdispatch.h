// The per-thread event loop (PDispatcher).
//
// Each thread has at most one dispatcher, made by the first currentDispatcher() call there. A loop
// step (runOnce) handles at most one operation end, then the timers that are due, then every queued
// callback, and it never blocks while callbacks are queued.
//
// Windows delivers completions through one I/O completion port. On POSIX, epoll (edge triggered)
// reports readiness; the loop then performs the waiting system calls and queues their outcomes as
// completions, which the steps deliver one at a time, in the same way.
#pragma once

#include "async/asyncfutures.h"
#include "async/sockethandle.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace quorvin {

namespace detail {
// The platform's completion machinery, defined by the platform file; it keeps the registry of
// the dispatcher's sockets.
struct IoBackend;
struct IoBackendDeleter {
    void operator()(IoBackend* backend) const noexcept;
};
class RingQueue;
} // namespace detail

// The event loop of one thread: its registered sockets, a timer heap and a callback FIFO.
class PDispatcher {
public:
    PDispatcher();
    ~PDispatcher();
    PDispatcher(const PDispatcher&) = delete;
    PDispatcher& operator=(const PDispatcher&) = delete;

    // `register`: associates the socket with the loop; OSError when that fails.
    void registerHandle(AsyncFD fd);
    // `unregister`: forgets the socket.
    void unregisterHandle(AsyncFD fd);
    bool isRegistered(AsyncFD fd) const;
    // ValueError "Operation performed on a socket which has not been registered with the
    // dispatcher yet." unless the socket is registered.
    void verifyPresence(AsyncFD fd) const;

    // One loop step; timeoutMs -1 waits without limit. True if the step did any work.
    // ValueError "No handles or timers registered in dispatcher." when there is nothing to run.
    bool runOnce(std::int32_t timeoutMs);
    void poll(std::int32_t timeoutMs) { (void)runOnce(timeoutMs); }
    // poll(500) for ever; only an exception out of a step ends it.
    [[noreturn]] void runLoopForever();

    // Completes the future (no value) in the first step at or after finishAt (monotonicNow() time).
    // A timer whose future someone else finishes first is dropped unfired, at the latest once the
    // heap has grown to twice its size after the last sweep, so withdrawn timers cost no memory.
    void addTimer(std::int64_t finishAt, Future<void> future);
    // Appends to the callback FIFO; the next callback phase runs it. `keepAlive` is held until
    // the callback has run.
    void queueCallback(Callback cb, std::shared_ptr<FutureBase> keepAlive = nullptr);

    std::size_t handleCount() const noexcept;
    std::size_t timerCount() const noexcept { return timers_.size(); }
    std::size_t callbackCount() const noexcept;

    detail::IoBackend& backend() noexcept { return *backend_; }

private:
    struct Timer {
        std::int64_t finishAt;
        Future<void> future;
    };
    std::optional<std::int32_t> expireTimers();
    void runPendingCallbacks();
    std::int32_t waitTime(std::int32_t timeoutMs, std::optional<std::int32_t> nextTimer) const;
    bool dropEverything();
    void dropFinishedTimers();
    // Once load has fallen (a step found nothing to do): the frame cache and, after many sockets
    // have gone, the heap's free pages go back to the system.
    void giveBackMemory();

    std::unique_ptr<detail::IoBackend, detail::IoBackendDeleter> backend_;
    std::vector<Timer> timers_; // a min-heap on finishAt
    std::size_t timerSweepAt_ = 64;
    std::unique_ptr<detail::RingQueue> callbacks_;
    bool didWork_ = false;
    std::size_t socketsGoneSinceTrim_ = 0;
};

// The thread's dispatcher, created on first use; it lives until the thread ends.
PDispatcher& currentDispatcher();

// The same operations on the current thread's dispatcher.
void registerHandle(AsyncFD fd);
void unregisterHandle(AsyncFD fd);
void verifyPresence(AsyncFD fd);
bool runOnce(std::int32_t timeoutMs);
void poll(std::int32_t timeoutMs);
[[noreturn]] void runLoopForever();

// A future that the current dispatcher completes once `ms` milliseconds have passed.
Future<void> sleepAsync(std::int32_t ms);

} // namespace quorvin
