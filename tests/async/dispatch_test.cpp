// The loop step: refusals, time-outs, the callback phase, timers and one completion per step.
#include "async/loopback.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <vector>

using namespace quorvin;
using looptest::millisSince;
using looptest::onFreshThread;

namespace {

std::string messageOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "<nothing raised>";
}

// A connected pair: the accepted side registered with the loop, the client side blocking.
struct Connection {
    AsyncFD listener = osInvalidSocket;
    AsyncFD server = osInvalidSocket;
    SocketHandle client = osInvalidSocket;

    Connection() {
        std::uint16_t port = 0;
        listener = looptest::listenLoopback(port);
        client = looptest::connectLoopback(port);
        Future<AcceptResult> accepted = acceptAddr(listener);
        looptest::runUntilFinished(accepted);
        server = accepted.read().second;
    }
    ~Connection() {
        closeOsSocket(client);
        closeAsyncSocket(server);
        closeAsyncSocket(listener);
    }
};

void sendBlocking(SocketHandle client, const std::string& text) {
    // The client is registered only for this send.
    registerHandle(client);
    Future<void> sent = send(client, text);
    looptest::runUntilFinished(sent);
    unregisterHandle(client);
    sent.read();
}

} // namespace

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
            Connection connection;
            sendBlocking(connection.client, "ab");
            char byte = 0;
            Future<std::int32_t> first = recvInto(connection.server, &byte, 1);
            ASSERT_TRUE(looptest::runUntilFinished(first));
            while (runOnce(0)) {
            }
            // "b" is already there: the receive ends inside the call.
            Future<std::int32_t> second = recvInto(connection.server, &byte, 1);
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
        Connection one;
        Connection two;
        char a = 0;
        char b = 0;
        Future<std::int32_t> first = recvInto(one.server, &a, 1);
        Future<std::int32_t> second = recvInto(two.server, &b, 1);
        ASSERT_FALSE(first.finished() || second.finished());
        sendBlocking(one.client, "1");
        sendBlocking(two.client, "2");
        std::this_thread::sleep_for(std::chrono::milliseconds(50));
        int finishedAfterStep = 0;
        while (finishedAfterStep == 0) {
            runOnce(1000);
            finishedAfterStep = int(first.finished()) + int(second.finished());
        }
        EXPECT_EQ(finishedAfterStep, 1);
        runOnce(1000);
        EXPECT_TRUE(first.finished() && second.finished());
    });
}
