// The portable part of the event loop: the step, the timer heap, the callback FIFO and the
// thread's dispatcher.
#include "async/asyncdispatch.h"

#include "async/callbackqueue.h"
#include "async/framecache.h"
#include "async/iobackend.h"
#include "async/plainsockets.h"
#include "async/threaddispatcher.h"
#include "runtime/clock.h"
#include "runtime/memory.h"

#include <algorithm>
#include <limits>

namespace quorvin {

namespace {

bool laterTimer(const auto& a, const auto& b) {
    return a.finishAt > b.finishAt;
}

constexpr std::int64_t nanosPerMilli = 1'000'000;

// After this many sockets have left the loop, the next idle step hands the heap's free pages back
// to the system: a burst of connections must not leave the process large once it has passed.
constexpr std::size_t heapTrimAfterSockets = 256;

} // namespace

PDispatcher::PDispatcher()
    : backend_(detail::createIoBackend()), callbacks_(std::make_unique<detail::RingQueue>(64)) {
    detail::openFrameCache();
}

PDispatcher::~PDispatcher() {
    // Dropping a queued callback, a timer or an undelivered record can release a waiting
    // procedure, and its locals may start or queue more work on this dispatcher; keep dropping
    // until nothing is left.
    while (dropEverything()) {
    }
    detail::closeFrameCache();
}

bool PDispatcher::dropEverything() {
    bool dropped = false;
    if (!callbacks_->empty()) {
        detail::RingQueue queued = std::move(*callbacks_);
        *callbacks_ = detail::RingQueue(64);
        dropped = true;
    }
    if (!timers_.empty()) {
        std::vector<Timer> timers = std::move(timers_);
        timers_.clear();
        dropped = true;
    }
    return detail::dropUndelivered(*backend_) || dropped;
}

void PDispatcher::registerHandle(AsyncFD fd) {
    detail::associateHandle(*backend_, fd);
}

void PDispatcher::unregisterHandle(AsyncFD fd) {
    if (detail::dissociateHandle(*backend_, fd)) {
        ++socketsGoneSinceTrim_;
    }
}

bool PDispatcher::isRegistered(AsyncFD fd) const {
    return detail::isRegistered(*backend_, fd);
}

void PDispatcher::verifyPresence(AsyncFD fd) const {
    if (!isRegistered(fd)) {
        throw ValueError("Operation performed on a socket which has not been registered with the "
                         "dispatcher yet.");
    }
}

std::size_t PDispatcher::handleCount() const noexcept {
    return detail::registeredCount(*backend_);
}

std::size_t PDispatcher::callbackCount() const noexcept {
    return callbacks_->size();
}

void PDispatcher::queueCallback(Callback cb, std::shared_ptr<FutureBase> keepAlive) {
    callbacks_->push(std::move(cb), std::move(keepAlive));
}

void PDispatcher::dropFinishedTimers() {
    std::erase_if(timers_, [](const Timer& timer) { return timer.future.finished(); });
    std::make_heap(timers_.begin(), timers_.end(), laterTimer<Timer, Timer>);
    timerSweepAt_ = std::max<std::size_t>(64, timers_.size() * 2);
}

void PDispatcher::addTimer(std::int64_t finishAt, Future<void> future) {
    if (timers_.size() >= timerSweepAt_) {
        dropFinishedTimers();
    }
    timers_.push_back(Timer{finishAt, std::move(future)});
    std::push_heap(timers_.begin(), timers_.end(), laterTimer<Timer, Timer>);
}

std::optional<std::int32_t> PDispatcher::expireTimers() {
    if (timers_.empty()) {
        return std::nullopt;
    }
    std::size_t limit = timers_.size();
    const std::int64_t now = monotonicNow();
    // Timers added by the futures completed here wait for the next step.
    while (limit > 0 && !timers_.empty() && timers_.front().finishAt <= now) {
        std::pop_heap(timers_.begin(), timers_.end(), laterTimer<Timer, Timer>);
        Future<void> future = std::move(timers_.back().future);
        timers_.pop_back();
        --limit;
        didWork_ = true;
        // A timer future that someone else finished already is left as it is.
        if (!future.finished()) {
            future.complete();
        }
    }
    if (timers_.empty()) {
        return std::nullopt;
    }
    std::int64_t delay = (timers_.front().finishAt - now) / nanosPerMilli;
    if (delay > std::numeric_limits<std::int32_t>::max() - 1 ||
        delay < std::numeric_limits<std::int32_t>::min()) {
        throw RangeError("timer delay out of range");
    }
    return static_cast<std::int32_t>(delay) + 1;
}

std::int32_t PDispatcher::waitTime(std::int32_t timeoutMs,
                                   std::optional<std::int32_t> nextTimer) const {
    if (!callbacks_->empty()) {
        return 0;
    }
    if (!nextTimer) {
        return timeoutMs;
    }
    std::int32_t untilTimer = std::max<std::int32_t>(*nextTimer, 0);
    // A step without a time-out still wakes up for its timers.
    return timeoutMs < 0 ? untilTimer : std::min(timeoutMs, untilTimer);
}

void PDispatcher::runPendingCallbacks() {
    while (!callbacks_->empty()) {
        detail::QueuedCallback entry = callbacks_->pop();
        didWork_ = true;
        entry.cb();
    }
}

bool PDispatcher::runOnce(std::int32_t timeoutMs) {
    if (timers_.empty() && callbacks_->empty() && handleCount() == 0) {
        throw ValueError("No handles or timers registered in dispatcher.");
    }
    didWork_ = false;
    std::optional<std::int32_t> nextTimer = expireTimers();
    if (detail::runOneCompletion(*backend_, waitTime(timeoutMs, nextTimer))) {
        didWork_ = true;
    }
    expireTimers();
    runPendingCallbacks();
    if (!didWork_) {
        giveBackMemory();
    }
    return didWork_;
}

void PDispatcher::giveBackMemory() {
    detail::trimFrameCache();
    if (socketsGoneSinceTrim_ >= heapTrimAfterSockets) {
        socketsGoneSinceTrim_ = 0;
        // Timers withdrawn by their owners (the read deadlines of closed connections) would pin
        // their futures, scattered over the heap, until they are due.
        dropFinishedTimers();
        timers_.shrink_to_fit();
        releaseFreeMemory();
    }
}

void PDispatcher::runLoopForever() {
    for (;;) {
        poll(500);
    }
}

namespace {

void queueOnCurrentDispatcher(Callback cb, std::shared_ptr<FutureBase> keepAlive) {
    currentDispatcher().queueCallback(std::move(cb), std::move(keepAlive));
}

} // namespace

namespace detail {

PDispatcher* makeThreadDispatcher() {
    startupSockets();
    auto* dispatcher = new PDispatcher();
    if (scheduleHook == nullptr) {
        scheduleHook = queueOnCurrentDispatcher;
    }
    return dispatcher;
}

void forgetThreadDispatcher() noexcept {
    scheduleHook = nullptr;
}

} // namespace detail

void registerHandle(AsyncFD fd) {
    currentDispatcher().registerHandle(fd);
}
void unregisterHandle(AsyncFD fd) {
    currentDispatcher().unregisterHandle(fd);
}
void verifyPresence(AsyncFD fd) {
    currentDispatcher().verifyPresence(fd);
}
bool runOnce(std::int32_t timeoutMs) {
    return currentDispatcher().runOnce(timeoutMs);
}
void poll(std::int32_t timeoutMs) {
    currentDispatcher().poll(timeoutMs);
}
void runLoopForever() {
    currentDispatcher().runLoopForever();
}

Future<void> sleepAsync(std::int32_t ms) {
    Future<void> future = makeFuture<void>("sleepAsync");
    currentDispatcher().addTimer(monotonicNow() + std::int64_t{ms} * nanosPerMilli, future);
    return future;
}

} // namespace quorvin
