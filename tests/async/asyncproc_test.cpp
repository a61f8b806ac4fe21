// The async procedure contract: eager start, immediate continuation, failures, nil futures and the
// lifetime of suspended frames.
#include "async/asyncdispatch.h"
#include "async/loopback.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>

using namespace quorvin;
using looptest::onFreshThread;

namespace {

// Counts its destructions, to see when a frame's locals go.
struct Tracker {
    int* destroyed;
    ~Tracker() { ++*destroyed; }
};

Future<int> addOne(Future<int> input, bool* reachedEnd) {
    co_await procedureName("addOne");
    int value = co_await input;
    *reachedEnd = true;
    co_return value + 1;
}

Future<int> twoSteps(bool* beforeWait, Future<int> first, Future<int> second) {
    *beforeWait = true;
    int a = co_await first;
    int b = co_await second;
    co_return a * 10 + b;
}

Future<void> raiseEarly() {
    co_await procedureName("raiseEarly");
    throw ValueError("early");
    co_return;
}

Future<std::string> catchAt(Future<int> input, const std::exception** caught) {
    try {
        co_await input;
    } catch (const std::exception& error) {
        *caught = &error;
        co_return std::string("caught ") + error.what();
    }
    co_return std::string("not caught");
}

Future<int> passThrough(Future<int> input) {
    int value = co_await input;
    co_return value;
}

Future<int> awaitNil(int* destroyed, bool* caught) {
    co_await procedureName("recv");
    Tracker local{destroyed};
    try {
        co_await Future<int>();
    } catch (...) {
        *caught = true;
    }
    co_return 0;
}

// Takes the future by pointer: a parameter of type Future would live in the frame and keep the
// awaited future alive.
Future<void> waitFor(const Future<void>* input, int* destroyed) {
    Tracker local{destroyed};
    co_await *input;
}

Future<std::pair<std::string, int>> pairOf(Future<int> count) {
    int n = co_await count;
    co_return {std::string(static_cast<std::size_t>(n), 'x'), n};
}

} // namespace

TEST(AsyncProc, BodyRunsInsideTheCallUntilItsFirstWait) {
    onFreshThread([] {
        currentDispatcher();
        bool beforeWait = false;
        Future<int> first = makeFuture<int>();
        Future<int> second = makeFuture<int>();
        Future<int> result = twoSteps(&beforeWait, first, second);
        EXPECT_TRUE(beforeWait);
        EXPECT_FALSE(result.finished());

        first.complete(4);
        EXPECT_FALSE(result.finished());
        runOnce(0);
        EXPECT_FALSE(result.finished()) << "waiting on the second future";
        second.complete(2);
        runOnce(0);
        ASSERT_TRUE(result.finished());
        EXPECT_EQ(result.read(), 42);
    });
}

TEST(AsyncProc, FinishedFutureContinuesWithoutTheLoop) {
    onFreshThread([] {
        currentDispatcher();
        bool reachedEnd = false;
        Future<int> ready = makeFuture<int>();
        ready.complete(1);
        Future<int> result = addOne(ready, &reachedEnd);
        EXPECT_TRUE(reachedEnd);
        ASSERT_TRUE(result.finished());
        EXPECT_EQ(result.read(), 2);
        EXPECT_STREQ(result.name(), "addOne");
    });
}

TEST(AsyncProc, ResumesInTheCallbackPhaseNotInsideComplete) {
    onFreshThread([] {
        currentDispatcher();
        bool reachedEnd = false;
        Future<int> input = makeFuture<int>();
        Future<int> result = addOne(input, &reachedEnd);
        input.complete(5);
        EXPECT_FALSE(reachedEnd);
        EXPECT_TRUE(runOnce(0));
        EXPECT_TRUE(reachedEnd);
        EXPECT_EQ(result.read(), 6);
    });
}

TEST(AsyncProc, RaisingBeforeTheFirstWaitGivesAFailedFuture) {
    Future<void> result = raiseEarly();
    ASSERT_TRUE(result.finished());
    EXPECT_TRUE(result.failed());
    EXPECT_THROW(result.read(), ValueError);
}

TEST(AsyncProc, AwaitRaisesTheStoredExceptionObjectItself) {
    onFreshThread([] {
        currentDispatcher();
        std::exception_ptr stored = std::make_exception_ptr(OSError(104, "reset"));
        const std::exception* original = nullptr;
        try {
            std::rethrow_exception(stored);
        } catch (const std::exception& error) {
            original = &error;
        }

        // Failed before the wait, and failed while waiting.
        for (bool failFirst : {true, false}) {
            const std::exception* caught = nullptr;
            Future<int> input = makeFuture<int>();
            if (failFirst) {
                input.fail(stored);
            }
            Future<std::string> result = catchAt(input, &caught);
            if (!failFirst) {
                input.fail(stored);
                runOnce(0);
            }
            ASSERT_TRUE(result.finished());
            EXPECT_EQ(result.read(), "caught reset");
            EXPECT_EQ(caught, original);
        }

        // An uncaught error travels through a chain of procedures unchanged.
        Future<int> input = makeFuture<int>();
        Future<int> outer = passThrough(passThrough(input));
        input.fail(stored);
        looptest::runUntilFinished(outer, 1000);
        ASSERT_TRUE(outer.failed());
        EXPECT_EQ(outer.readError(), stored);
    });
}

TEST(AsyncProc, AwaitingNilFailsTheProcedureByName) {
    int destroyed = 0;
    bool caught = false;
    Future<int> result = awaitNil(&destroyed, &caught);
    ASSERT_TRUE(result.failed());
    EXPECT_FALSE(caught) << "the body must not see this failure";
    EXPECT_EQ(destroyed, 1) << "the frame is released";
    try {
        result.read();
    } catch (const AssertionError& error) {
        EXPECT_STREQ(error.what(),
                     "Async procedure (recv) yielded `nil`, are you await'ing a `nil` Future?");
    }
}

TEST(AsyncProc, FrameGoesWithAnAwaitedFutureThatNeverFinishes) {
    int destroyed = 0;
    onFreshThread([&destroyed] {
        currentDispatcher();
        Future<void> result;
        {
            Future<void> input = makeFuture<void>();
            result = waitFor(&input, &destroyed);
            EXPECT_EQ(destroyed, 0);
        }
        EXPECT_EQ(destroyed, 1);
        EXPECT_FALSE(result.finished());

        Future<void> kept = makeFuture<void>();
        Future<void> second = waitFor(&kept, &destroyed);
        kept.clearCallbacks();
        EXPECT_EQ(destroyed, 2);

        // A waiting procedure whose future is queued but never run goes with the dispatcher.
        Future<void> third = waitFor(&kept, &destroyed);
        kept.complete();
        EXPECT_EQ(destroyed, 2);
    });
#ifndef _WIN32
    // The end of the thread destroys its dispatcher; on Windows the dispatcher stays.
    EXPECT_EQ(destroyed, 3);
#endif
}

TEST(AsyncProc, ValuesOfEveryKindComeBack) {
    onFreshThread([] {
        currentDispatcher();
        Future<int> count = makeFuture<int>();
        auto result = pairOf(count);
        count.complete(3);
        looptest::runUntilFinished(result, 1000);
        EXPECT_EQ(result.read(), (std::pair<std::string, int>("xxx", 3)));
    });
}
