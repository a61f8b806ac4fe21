// The loop step: refusals, time-outs, the callback phase, timers and one completion per step.
#include "async/asyncdispatch.h"
#include "async/asyncsockets.h"
#include "async/loopback.h"
#include "async/plainsockets.h"
#include "async/socketconstants.h"
#include "async/sockethandle.h"
#include "runtime/clock.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace quorvin;
using looptest::messageOf;
using looptest::millisSince;
using looptest::onFreshThread;

using looptest::LoopbackPair;

TEST(Dispatch, RefusesToRunWithNothingToDo) {
    onFreshThread([] {
        EXPECT_EQ(messageOf([] { runOnce(10); }), "No handles or timers registered in dispatcher.");
        EXPECT_THROW(poll(0), ValueError);
    });
}

TEST(Dispatch, IdleStepTimesOutAndReportsNoWork) {
    onFreshThread([] {
        AsyncFD idle = createAsyncSocketHandle(osAfInet, osSockStream, osIpprotoTcp);
        ASSERT_NE(idle, osInvalidSocket);
        std::int64_t start = monotonicNow();
        EXPECT_FALSE(runOnce(100));
        std::int64_t elapsed = millisSince(start);
        EXPECT_GE(elapsed, 80);
        EXPECT_LT(elapsed, 1000);
        closeAsyncSocket(idle);
        EXPECT_EQ(currentDispatcher().handleCount(), 0u);
    });
}

TEST(Dispatch, QueuedCallbacksMakeTheStepNonBlocking) {
    onFreshThread([] {
        AsyncFD idle = createAsyncSocketHandle(osAfInet, osSockStream, osIpprotoTcp);
        std::vector<char> order;
        scheduleCallback([&] {
            order.push_back('a');
            scheduleCallback([&] { order.push_back('c'); });
        });
        scheduleCallback([&] { order.push_back('b'); });
        std::int64_t start = monotonicNow();
        EXPECT_TRUE(runOnce(500));
        EXPECT_LT(millisSince(start), 250);
        // The callback queued by a callback runs in the same phase, after those queued before.
        EXPECT_EQ(std::string(order.begin(), order.end()), "abc");
        closeAsyncSocket(idle);
    });
}

TEST(Dispatch, CallbackFifoKeepsOrderWhenItWrapsAndGrows) {
    onFreshThread([] {
        currentDispatcher();
        std::vector<int> order;
        // The first batch moves the ring's start; the second wraps around it and outgrows it.
        for (int batch : {10, 150}) {
            order.clear();
            for (int i = 0; i < batch; ++i) {
                scheduleCallback([&order, i] { order.push_back(i); });
            }
            runOnce(0);
            ASSERT_EQ(order.size(), std::size_t(batch));
            for (int i = 0; i < batch; ++i) {
                EXPECT_EQ(order[std::size_t(i)], i);
            }
        }
    });
}

TEST(Dispatch, RaisingCallbackLeavesTheRestQueued) {
    onFreshThread([] {
        currentDispatcher();
        int later = 0;
        scheduleCallback([] { throw ValueError("boom"); });
        scheduleCallback([&] { ++later; });
        EXPECT_EQ(messageOf([] { runOnce(0); }), "boom");
        EXPECT_EQ(later, 0);
        EXPECT_EQ(currentDispatcher().callbackCount(), 1u);
        EXPECT_TRUE(runOnce(0));
        EXPECT_EQ(later, 1);
    });
}

TEST(Dispatch, TimersFinishInOrderAndWakeAnUnlimitedStep) {
    onFreshThread([] {
        std::vector<int> order;
        std::int64_t start = monotonicNow();
        Future<void> slow = sleepAsync(60);
        Future<void> fast = sleepAsync(20);
        slow.addCallback([&] { order.push_back(60); });
        fast.addCallback([&] { order.push_back(20); });
        // Nothing is registered, and -1 means no time-out: the timers alone end the waits.
        while (!slow.finished()) {
            runOnce(-1);
        }
        EXPECT_EQ(order, (std::vector<int>{20, 60}));
        std::int64_t elapsed = millisSince(start);
        EXPECT_GE(elapsed, 55);
        EXPECT_LT(elapsed, 2000);
        EXPECT_EQ(currentDispatcher().timerCount(), 0u);
    });
}

TEST(Dispatch, RegisterAndPresence) {
    onFreshThread([] {
        EXPECT_EQ(messageOf([] { verifyPresence(12345); }),
                  "Operation performed on a socket which has not been registered with the "
                  "dispatcher yet.");
        SocketHandle plain = createOsSocket(osAfInet, osSockStream, osIpprotoTcp);
        closeOsSocket(plain);
        // A closed handle cannot be associated, and is then not registered.
        EXPECT_THROW(registerHandle(plain), OSError);
        EXPECT_FALSE(currentDispatcher().isRegistered(plain));
    });
}

TEST(Dispatch, ImmediateSuccessStillDeliversOneCompletion) {
    onFreshThread([] {
        {
            LoopbackPair pair;
            Future<void> sent = send(pair.client, std::string("ab"));
            char byte = 0;
            Future<std::int32_t> first = recvInto(pair.server, &byte, 1);
            ASSERT_TRUE(looptest::runUntilFinished(first));
            while (runOnce(0)) {
            }
            // "b" is already there: the receive ends inside the call.
            Future<std::int32_t> second = recvInto(pair.server, &byte, 1);
            ASSERT_TRUE(second.finished());
            EXPECT_EQ(second.read(), 1);
            EXPECT_EQ(byte, 'b');
            EXPECT_TRUE(runOnce(0)) << "the completion of the finished receive";
            EXPECT_FALSE(runOnce(0));
            EXPECT_EQ(second.read(), 1);
        }
        EXPECT_EQ(currentDispatcher().handleCount(), 0u);
    });
}

TEST(Dispatch, AtMostOneCompletionPerStep) {
    onFreshThread([] {
        LoopbackPair one;
        LoopbackPair two;
        char a = 0;
        char b = 0;
        Future<std::int32_t> first = recvInto(one.server, &a, 1);
        Future<std::int32_t> second = recvInto(two.server, &b, 1);
        ASSERT_FALSE(first.finished() || second.finished());
        send(one.client, std::string("1"));
        send(two.client, std::string("2"));
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        // Both receives can end now; the steps also deliver the completions of the two sends,
        // which ended at once. No step may end more than one operation.
        auto finished = [&] { return int(first.finished()) + int(second.finished()); };
        for (int step = 0; step < 20 && finished() < 2; ++step) {
            int before = finished();
            runOnce(1000);
            EXPECT_LE(finished() - before, 1);
        }
        EXPECT_TRUE(first.finished() && second.finished());
    });
}
