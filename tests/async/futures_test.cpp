// Futures: callback order and phase, read and readError, assertions, asyncCheck, lifetimes.
#include "async/asyncdispatch.h"
#include "async/loopback.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quorvin;
using looptest::messageOf;
using looptest::onFreshThread;

TEST(Futures, WithoutDispatcherCallbacksRunInsideComplete) {
    onFreshThread([] {
        std::vector<int> order;
        Future<int> future = makeFuture<int>();
        future.addCallback([&] { order.push_back(1); });
        future.addCallback([&] { order.push_back(2); });
        future.complete(7);
        EXPECT_EQ(order, (std::vector<int>{1, 2}));
        // Added after the end, it runs at once as well.
        future.addCallback([&] { order.push_back(3); });
        EXPECT_EQ(order, (std::vector<int>{1, 2, 3}));
    });
}

TEST(Futures, CallbacksRunInOrderInTheCallbackPhase) {
    onFreshThread([] {
        currentDispatcher();
        std::vector<int> order;
        Future<int> future = makeFuture<int>();
        for (int i = 1; i <= 5; ++i) {
            future.addCallback([&order, i] { order.push_back(i); });
        }
        future.complete(1);
        EXPECT_TRUE(order.empty()) << "callbacks ran inside complete";
        EXPECT_TRUE(runOnce(0));
        EXPECT_EQ(order, (std::vector<int>{1, 2, 3, 4, 5}));

        // Added to a finished future: scheduled, not run inside addCallback.
        future.addCallback([&] { order.push_back(6); });
        EXPECT_EQ(order.size(), 5u);
        EXPECT_TRUE(runOnce(0));
        EXPECT_EQ(order.back(), 6);
    });
}

TEST(Futures, ReplaceAndClearCallbacks) {
    onFreshThread([] {
        currentDispatcher();
        std::vector<int> order;
        Future<void> future = makeFuture<void>();
        for (int i = 1; i <= 3; ++i) {
            future.addCallback([&order, i] { order.push_back(i); });
        }
        future.replaceCallbacks([&] { order.push_back(9); });
        future.complete();
        runOnce(0);
        EXPECT_EQ(order, (std::vector<int>{9}));

        Future<void> cleared = makeFuture<void>();
        cleared.addCallback([&] { order.push_back(10); });
        cleared.clearCallbacks();
        cleared.addCallback([&] { order.push_back(11); });
        cleared.complete();
        runOnce(0);
        EXPECT_EQ(order, (std::vector<int>{9, 11}));
    });
}

TEST(Futures, ReadAndReadError) {
    Future<std::string> text = makeFuture<std::string>();
    EXPECT_EQ(messageOf([&] { text.read(); }), "Future still in progress.");
    EXPECT_THROW(text.read(), ValueError);
    text.complete(std::string("hello"));
    EXPECT_EQ(text.read(), "hello");
    EXPECT_EQ(text.read(), "hello");
    EXPECT_EQ(messageOf([&] { text.readError(); }), "No error in future.");

    // The same exception object comes back each time, never a copy.
    Future<int> failed = makeFuture<int>();
    std::exception_ptr stored = std::make_exception_ptr(IOError("disk gone"));
    failed.fail(stored);
    EXPECT_TRUE(failed.finished());
    EXPECT_TRUE(failed.failed());
    EXPECT_EQ(failed.readError(), stored);
    const IOError* first = nullptr;
    for (int attempt = 0; attempt < 2; ++attempt) {
        try {
            failed.read();
            ADD_FAILURE() << "read of a failed future returned";
        } catch (const IOError& error) {
            if (first == nullptr) {
                first = &error;
            }
            EXPECT_EQ(&error, first);
            EXPECT_STREQ(error.what(), "disk gone");
        }
    }
}

TEST(Futures, MisuseIsAnAssertionFailure) {
    Future<int> future = makeFuture<int>();
    future.fail(ValueError("first"));
    std::string completing = messageOf([&] { future.complete(1); });
    EXPECT_EQ(completing.rfind("asyncfutures(", 0), 0u) << completing;
    EXPECT_NE(completing.find("`future.error == nil`"), std::string::npos) << completing;
    EXPECT_THROW(future.complete(1), AssertionError);

    std::string inPlace = messageOf([&] { future.completeInPlace(); });
    EXPECT_NE(inPlace.find("`fut.error == nil`"), std::string::npos) << inPlace;

    Future<int> pending = makeFuture<int>();
    std::string empty = messageOf([&] { pending.addCallback(Callback()); });
    EXPECT_NE(empty.find("`cb != nil`"), std::string::npos) << empty;

    std::string nil = messageOf([] { asyncCheck(Future<int>()); });
    EXPECT_NE(nil.find("`not future.isNil` Future is nil"), std::string::npos) << nil;
}

TEST(Futures, ResetReusesValueAndCallbacks) {
    onFreshThread([] {
        currentDispatcher();
        Future<std::string> line = makeFuture<std::string>();
        int runs = 0;
        line.value() = "GET / HTTP/1.1";
        line.completeInPlace();
        EXPECT_EQ(line.read(), "GET / HTTP/1.1");

        line.reset();
        EXPECT_FALSE(line.finished());
        EXPECT_EQ(line.value(), "GET / HTTP/1.1");
        line.addCallback([&] { ++runs; });
        line.fail(ValueError("x"));
        line.reset();
        EXPECT_FALSE(line.failed());
        line.addCallback([&] { ++runs; });
        line.complete(std::string("Host: a"));
        runOnce(0);
        // The first callback ran for the failure, the second for the completion.
        EXPECT_EQ(runs, 2);
    });
}

TEST(Futures, AsyncCheckRaisesFromTheLoopStep) {
    onFreshThread([] {
        currentDispatcher();
        int earlier = 0;
        Future<void> quiet = makeFuture<void>();
        quiet.addCallback([&] { ++earlier; });
        asyncCheck(quiet);
        quiet.complete();
        EXPECT_NO_THROW(runOnce(0));
        EXPECT_EQ(earlier, 0) << "asyncCheck keeps earlier callbacks";

        Future<void> failing = makeFuture<void>();
        asyncCheck(failing);
        std::exception_ptr stored = std::make_exception_ptr(OSError(5, "bind failed"));
        failing.fail(stored);
        failing = Future<void>(); // the check itself must keep the future alive
        try {
            runOnce(0);
            ADD_FAILURE() << "the failure did not leave the step";
        } catch (const OSError& error) {
            try {
                std::rethrow_exception(stored);
            } catch (const OSError& original) {
                EXPECT_EQ(&error, &original);
            }
        }
    });
}

TEST(Futures, TypedCallbackGetsTheFutureAndDoesNotKeepAPendingOneAlive) {
    onFreshThread([] {
        currentDispatcher();
        auto witness = std::make_shared<int>(0);
        {
            Future<int> abandoned = makeFuture<int>();
            abandoned.addCallback([witness](const Future<int>&) {});
            EXPECT_EQ(witness.use_count(), 2);
        }
        EXPECT_EQ(witness.use_count(), 1) << "a pending future kept itself alive";

        int seen = 0;
        Future<int> future = makeFuture<int>();
        future.addCallback([&seen](const Future<int>& done) { seen = done.read(); });
        future.complete(42);
        future = Future<int>(); // dropped before the callback phase
        runOnce(0);
        EXPECT_EQ(seen, 42);
    });
}
