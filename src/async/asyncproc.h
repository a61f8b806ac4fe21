// Async procedures: C++20 coroutines that return Future<T> and wait on futures with co_await.
//
// Writing one:
//
//     Future<int32_t> recvCount(AsyncFD fd, char* buffer) {
//         co_await procedureName("recvCount");   // first statement: names the procedure
//         int32_t n = co_await recvInto(fd, buffer, 100);
//         co_return n;
//     }
//
// The contract:
// - A procedure is eager: its body runs inside the call up to the first co_await on a future that
//   has not finished yet, and the call then returns the procedure's result future. A body that ends
//   or raises before that returns a future that has already finished or failed.
// - co_await on a finished future continues at once, without a trip through the event loop.
// - co_await on a pending future adds a callback to it; the body resumes when that callback runs,
//   which is in the dispatcher's callback phase once the thread has a dispatcher.
// - co_await yields the future's value (a copy, as read() gives), or raises the very exception
//   object that the future failed with, at the co_await, where the body may catch it.
// - An exception that leaves the body fails the result future with it.
// - co_await on a nil future ends the procedure at once: its frame is released and its result
//   future fails with AssertionError "Async procedure (NAME) yielded `nil`, are you await'ing a
//   `nil` Future?". The body cannot catch this.
// - `co_await procedureName("text")` sets the name used in that message and given to the result
//   future (Future::name()). It never suspends. The text must be static. Unnamed procedures are
//   called "anonymous".
//
// Lifetime: while a procedure waits, its frame is owned by the callback it added to the awaited
// future, and the procedure holds that future only weakly. So if the awaited future is destroyed,
// or its callbacks are cleared or replaced, without ever finishing, the frame is destroyed with its
// locals, and the procedure's result future stays pending for good. A future held in the frame
// itself, by a local variable or a parameter of type Future, keeps the awaited future alive, and
// the future then keeps the frame alive: hold one across its own co_await only if something else
// will finish it. `co_await someOperation(...)` holds nothing.
#pragma once

#include "async/asyncfutures.h"
#include "async/framecache.h"

#include <coroutine>
#include <string>

namespace quorvin {

struct ProcedureName {
    const char* text;
};

// `co_await procedureName("serve");` names the running procedure.
constexpr ProcedureName procedureName(const char* text) noexcept {
    return ProcedureName{text};
}

namespace detail {

// The text raised when a procedure waits on a nil future.
std::string nilAwaitMessage(const char* procedure);

// What every promise shares: the result future in untyped form and the procedure's name.
class PromiseBase {
public:
    const char* name() const noexcept { return name_; }
    void setName(const char* name) noexcept {
        name_ = name;
        result_->setName(name);
    }
    const std::shared_ptr<FutureBase>& result() const noexcept { return result_; }

    // The frame of every procedure comes from the per-thread frame cache.
    static void* operator new(std::size_t size) { return allocateFrame(size); }
    static void operator delete(void* frame, std::size_t size) noexcept {
        releaseFrame(frame, size);
    }

protected:
    explicit PromiseBase(std::shared_ptr<FutureBase> result) : result_(std::move(result)) {}

private:
    std::shared_ptr<FutureBase> result_;
    const char* name_ = "anonymous";
};

// Owns a suspended frame on behalf of the callback that will resume it. If the callback is dropped
// without running, the frame goes with it.
class SuspendedFrame {
public:
    explicit SuspendedFrame(std::coroutine_handle<> frame) noexcept : frame_(frame) {}
    SuspendedFrame(const SuspendedFrame&) = delete;
    SuspendedFrame& operator=(const SuspendedFrame&) = delete;
    ~SuspendedFrame() {
        if (frame_) {
            frame_.destroy();
        }
    }
    void resume() {
        std::coroutine_handle<> frame = std::exchange(frame_, nullptr);
        if (frame) {
            frame.resume();
        }
    }

private:
    std::coroutine_handle<> frame_;
};

template <class T>
class FutureAwaiter {
public:
    explicit FutureAwaiter(Future<T> future) : held_(future.state()) {}

    bool await_ready() const noexcept { return held_ != nullptr && held_->finished(); }

    template <class Promise>
    void await_suspend(std::coroutine_handle<Promise> frame) {
        // Everything used below lives on the stack: the frame, and with it this awaiter, may be
        // destroyed before this function returns.
        std::shared_ptr<detail::FutureState<T>> future = std::move(held_);
        if (future == nullptr) {
            std::shared_ptr<FutureBase> result = frame.promise().result();
            std::string message = nilAwaitMessage(frame.promise().name());
            frame.destroy();
            result->fail(std::make_exception_ptr(AssertionError(message)));
            return;
        }
        waiting_ = future;
        // A closure holding a shared pointer does not fit in std::function's inline storage; its
        // block comes from the frame cache.
        future->addCallback(
            cachedCallable([owner = makeCached<SuspendedFrame>(frame)] { owner->resume(); }));
    }

    T await_resume() const {
        std::shared_ptr<detail::FutureState<T>> future = held_ ? held_ : waiting_.lock();
        // A finished future's callbacks run with the future kept alive; this cannot fail.
        assertCondition(future != nullptr, "awaited future alive");
        return future->read();
    }

private:
    std::shared_ptr<detail::FutureState<T>> held_;
    std::weak_ptr<detail::FutureState<T>> waiting_;
};

template <class T>
class PromiseCommon : public PromiseBase {
public:
    PromiseCommon()
        : PromiseBase(makeCached<FutureState<T>>("anonymous")),
          future_(std::static_pointer_cast<FutureState<T>>(result())) {}

    Future<T> get_return_object() const { return future_; }
    std::suspend_never initial_suspend() const noexcept { return {}; }
    std::suspend_never final_suspend() const noexcept { return {}; }

    void unhandled_exception() {
        // Only a callback run at once while the result completes (no dispatcher on the thread)
        // can raise after the result has finished; that error belongs to the caller.
        if (future_.finished()) {
            throw;
        }
        future_.fail(std::current_exception());
    }

    template <class U>
    FutureAwaiter<U> await_transform(Future<U> future) const {
        return FutureAwaiter<U>(std::move(future));
    }
    std::suspend_never await_transform(ProcedureName name) noexcept {
        setName(name.text);
        return {};
    }
    // An awaiter of another layer that waits on a future through FutureAwaiter and so keeps the
    // contract above; it says so with a member type ProcedureAwaiter.
    template <class Awaiter>
    requires requires { typename Awaiter::ProcedureAwaiter; }
    Awaiter await_transform(Awaiter awaiter) const { return awaiter; }

protected:
    Future<T> future_;
};

template <class T>
class Promise : public PromiseCommon<T> {
public:
    template <class U = T>
    void return_value(U&& value) {
        this->future_.complete(std::forward<U>(value));
    }
};

template <>
class Promise<void> : public PromiseCommon<void> {
public:
    void return_void() { this->future_.complete(); }
};

} // namespace detail
} // namespace quorvin

template <class T, class... Args>
struct std::coroutine_traits<quorvin::Future<T>, Args...> {
    using promise_type = quorvin::detail::Promise<T>;
};
