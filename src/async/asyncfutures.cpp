// The untyped future: its callback list, completion, failure and the scheduling hook.
#include "async/asyncfutures.h"

namespace quorvin {

thread_local ScheduleHook scheduleHook = nullptr;

void scheduleCallback(Callback cb) {
    if (scheduleHook == nullptr) {
        cb();
    } else {
        scheduleHook(std::move(cb), nullptr);
    }
}

std::exception_ptr FutureBase::readError() const {
    if (error_ == nullptr) {
        throw ValueError("No error in future.");
    }
    return error_;
}

void FutureBase::checkReadable() const {
    if (!finished_) {
        throw ValueError("Future still in progress.");
    }
    if (error_ != nullptr) {
        std::rethrow_exception(error_);
    }
}

void FutureBase::fail(std::exception_ptr error) {
    error_ = std::move(error);
    finish();
}

void FutureBase::finish() {
    finished_ = true;
    runCallbacks();
}

void FutureBase::reset() noexcept {
    finished_ = false;
    error_ = nullptr;
}

void FutureBase::appendCallback(Callback cb) {
    if (!callbacks_.cb) {
        assertCondition(callbacks_.next == nullptr, "callbacks.next == nil");
        callbacks_.cb = std::move(cb);
        return;
    }
    auto node = std::make_unique<CallbackNode>();
    node->cb = std::move(cb);
    std::unique_ptr<CallbackNode>* last = &callbacks_.next;
    while (*last != nullptr) {
        last = &(*last)->next;
    }
    *last = std::move(node);
}

void FutureBase::runCallbacks() {
    if (!callbacks_.cb) {
        return; // nobody waits (the list's invariant: no chain without the inline entry)
    }
    // The list is taken out first: a callback that runs at once (no dispatcher yet) may reset this
    // future and add new callbacks, which belong to the next outcome.
    CallbackList list = std::move(callbacks_);
    callbacks_ = CallbackList{};
    std::shared_ptr<FutureBase> self = shared_from_this();
    if (!list.next && scheduleHook != nullptr) {
        scheduleHook(std::move(list.cb), std::move(self)); // the usual single waiter
        return;
    }
    auto schedule = [&self](Callback& cb) {
        if (!cb) {
            return;
        }
        if (scheduleHook == nullptr) {
            cb();
        } else {
            scheduleHook(std::move(cb), self);
        }
    };
    schedule(list.cb);
    for (CallbackNode* node = list.next.get(); node != nullptr; node = node->next.get()) {
        schedule(node->cb);
    }
}

void FutureBase::addCallback(Callback cb) {
    assertCondition(static_cast<bool>(cb), "cb != nil");
    if (finished_) {
        scheduleCallback(std::move(cb));
    } else {
        appendCallback(std::move(cb));
    }
}

void FutureBase::clearCallbacks() noexcept {
    // Moved out before destruction: dropping a closure may release objects whose destructors touch
    // this list again.
    CallbackList dropped = std::move(callbacks_);
    callbacks_ = CallbackList{};
}

void FutureBase::replaceCallbacks(Callback cb) {
    clearCallbacks();
    addCallback(std::move(cb));
}

void FutureBase::addCallbackOnSelf(std::function<void(const std::shared_ptr<FutureBase>&)> cb) {
    assertCondition(static_cast<bool>(cb), "cb != nil");
    if (finished_) {
        // Scheduled now and run later: nothing else may keep the future alive until then.
        scheduleCallback([self = shared_from_this(), cb = std::move(cb)] { cb(self); });
        return;
    }
    std::weak_ptr<FutureBase> weak = weak_from_this();
    appendCallback(detail::cachedCallable([weak, cb = std::move(cb)] {
        if (auto self = weak.lock()) {
            cb(self);
        }
    }));
}

namespace detail {

void installAsyncCheck(FutureBase& future) {
    future.clearCallbacks();
    future.addCallbackOnSelf([](const std::shared_ptr<FutureBase>& self) {
        if (self->failed()) {
            std::rethrow_exception(self->readError());
        }
    });
}

} // namespace detail

} // namespace quorvin
