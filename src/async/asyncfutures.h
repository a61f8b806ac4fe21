// One-shot, single-threaded futures with callbacks that the thread's dispatcher runs.
#pragma once

#include "async/framecache.h"
#include "runtime/errors.h"

#include <concepts>
#include <exception>
#include <functional>
#include <memory>
#include <type_traits>
#include <utility>

namespace quorvin {

// A callback is a closure taking nothing and returning nothing.
using Callback = std::function<void()>;

class FutureBase;

// Hands a callback to the current thread's dispatcher, together with the future (may be null) that
// must stay alive until the callback has run.
using ScheduleHook = void (*)(Callback, std::shared_ptr<FutureBase>);

// Empty until the thread's dispatcher is created; the dispatcher then queues callbacks through it.
extern thread_local ScheduleHook scheduleHook;

// Calls the hook with the callback, or runs the callback at once when the thread has no hook yet.
void scheduleCallback(Callback cb);

// The untyped part of every future: its callbacks, whether it has finished, and its error.
//
// A future is owned through shared pointers only (makeFuture). When it finishes, each callback is
// handed to the scheduling hook together with a reference to the future, so a callback that runs
// later from the dispatcher's queue still finds the future alive even if every other holder dropped
// it.
class FutureBase : public std::enable_shared_from_this<FutureBase> {
public:
    explicit FutureBase(const char* name) : name_(name) {}
    FutureBase(const FutureBase&) = delete;
    FutureBase& operator=(const FutureBase&) = delete;
    virtual ~FutureBase() = default;

    bool finished() const noexcept { return finished_; }
    bool failed() const noexcept { return error_ != nullptr; }

    // The stored error; ValueError "No error in future." when there is none.
    std::exception_ptr readError() const;

    // Marks the future finished with the error and schedules its callbacks. No earlier outcome is
    // checked.
    void fail(std::exception_ptr error);

    // Back to pending; the value and the callbacks stay.
    void reset() noexcept;

    // Schedules the callback at once when the future has finished, else appends it to the list.
    void addCallback(Callback cb);
    void clearCallbacks() noexcept;
    void replaceCallbacks(Callback cb);

    // Adds a callback that receives this future. While the future is pending the closure holds it
    // only weakly, so a future that never finishes is not kept alive by its own callbacks.
    void addCallbackOnSelf(std::function<void(const std::shared_ptr<FutureBase>&)> cb);

    // A static text naming the operation or procedure, for diagnostics.
    const char* name() const noexcept { return name_; }
    void setName(const char* name) noexcept { name_ = name; }

protected:
    // Raises the stored error itself, or ValueError "Future still in progress.".
    void checkReadable() const;
    // Sets `finished` and schedules the callback list.
    void finish();

private:
    struct CallbackNode {
        Callback cb;
        std::unique_ptr<CallbackNode> next;
    };
    // The first entry lives inline; the rest form a chain. If `cb` is empty, `next` is null.
    struct CallbackList {
        Callback cb;
        std::unique_ptr<CallbackNode> next;
    };

    void appendCallback(Callback cb);
    void runCallbacks();

    CallbackList callbacks_;
    bool finished_ = false;
    std::exception_ptr error_;
    const char* name_;
};

namespace detail {

template <class T>
class FutureState : public FutureBase {
public:
    using FutureBase::FutureBase;

    void complete(T value) {
        assertCondition(!failed(), "future.error == nil");
        value_ = std::move(value);
        finish();
    }
    void completeInPlace() {
        assertCondition(!failed(), "fut.error == nil");
        finish();
    }
    T read() const {
        checkReadable();
        return value_;
    }
    T& value() noexcept { return value_; }

private:
    T value_{};
};

template <>
class FutureState<void> : public FutureBase {
public:
    using FutureBase::FutureBase;

    void complete() {
        assertCondition(!failed(), "future.error == nil");
        finish();
    }
    void completeInPlace() {
        assertCondition(!failed(), "fut.error == nil");
        finish();
    }
    void read() const { checkReadable(); }
};

} // namespace detail

// A shared handle to a future of T (T may be void). Copies share one future; a default-constructed
// handle is nil.
template <class T>
class Future {
public:
    using State = detail::FutureState<T>;
    using ValueType = T;

    Future() = default;
    explicit Future(std::shared_ptr<State> state) : state_(std::move(state)) {}

    bool isNil() const noexcept { return state_ == nullptr; }
    explicit operator bool() const noexcept { return state_ != nullptr; }

    bool finished() const noexcept { return state_->finished(); }
    bool failed() const noexcept { return state_->failed(); }
    const char* name() const noexcept { return state_->name(); }

    // Stores the value (moved in), marks the future finished and schedules its callbacks.
    // Completing a failed future is an assertion failure; a second completion is not checked.
    template <class U = T>
    requires(!std::is_void_v<T> && std::convertible_to<U&&, T>) void complete(U&& value) const {
        state_->complete(T(std::forward<U>(value)));
    }
    void complete() const requires std::is_void_v<T> { state_->complete(); }

    // Completion for a caller that has already filled value() itself.
    void completeInPlace() const { state_->completeInPlace(); }

    // The value in place, for callers that fill it before completeInPlace().
    auto& value() const requires(!std::is_void_v<T>) { return state_->value(); }

    void fail(std::exception_ptr error) const { state_->fail(std::move(error)); }
    template <class E>
    requires std::derived_from<std::decay_t<E>, std::exception>
    void fail(E&& error) const { state_->fail(std::make_exception_ptr(std::forward<E>(error))); }

    void reset() const noexcept { state_->reset(); }

    // A copy of the value; raises the stored error object itself, or ValueError when pending.
    T read() const { return state_->read(); }
    std::exception_ptr readError() const { return state_->readError(); }

    // Either a callback taking nothing, or one taking this future.
    template <class F>
    void addCallback(F&& cb) const {
        if constexpr (std::is_invocable_v<F&, const Future&>) {
            state_->addCallbackOnSelf(detail::cachedCallable(
                [cb = std::forward<F>(cb)](const std::shared_ptr<FutureBase>& base) mutable {
                    cb(Future(std::static_pointer_cast<State>(base)));
                }));
        } else {
            state_->addCallback(Callback(std::forward<F>(cb)));
        }
    }
    template <class F>
    void replaceCallbacks(F&& cb) const {
        clearCallbacks();
        addCallback(std::forward<F>(cb));
    }
    void clearCallbacks() const noexcept { state_->clearCallbacks(); }

    const std::shared_ptr<State>& state() const noexcept { return state_; }

    friend bool operator==(const Future& a, const Future& b) noexcept {
        return a.state_ == b.state_;
    }

private:
    std::shared_ptr<State> state_;
};

// A new pending future without error or callbacks. The name must be a static text.
template <class T>
Future<T> makeFuture(const char* name = "") {
    return Future<T>(detail::makeCached<detail::FutureState<T>>(name));
}

// What `start` gives, or, when it raises, a future of that name failed with its exception: for an
// operation that hands on another operation's future instead of being a procedure of its own,
// and must fail the way a procedure would.
template <class T, class Start>
Future<T> futureOrFailure(const char* name, Start&& start) {
    try {
        return start();
    } catch (...) {
        Future<T> failed = makeFuture<T>(name);
        failed.fail(std::current_exception());
        return failed;
    }
}

namespace detail {
void installAsyncCheck(FutureBase& future);
}

// Replaces the future's callbacks with one that raises its error, if it fails, from the callback
// phase of the dispatcher, so that the failure leaves the loop step.
template <class T>
void asyncCheck(const Future<T>& future) {
    assertCondition(!future.isNil(), "not future.isNil", "Future is nil");
    detail::installAsyncCheck(*future.state());
}

} // namespace quorvin
