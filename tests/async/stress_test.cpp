// Many clients and round trips on one loop: every byte comes back, nothing is left behind.
#include "async/asyncdispatch.h"
#include "async/asyncsockets.h"
#include "async/loopback.h"
#include "async/sockethandle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace quorvin;

namespace {

constexpr std::size_t messageSize = 48;

#ifdef _WIN32
constexpr int clientCount = 20;
constexpr int roundTrips = 50;
#else
constexpr int clientCount = 200;
constexpr int roundTrips = 200;
#endif

Future<void> echo(AsyncFD fd) {
    co_await procedureName("echo");
    for (;;) {
        std::string message = co_await looptest::recvExactly(fd, messageSize);
        if (message.size() < messageSize) {
            break;
        }
        co_await send(fd, std::move(message));
    }
    closeAsyncSocket(fd);
}

Future<void> acceptAll(AsyncFD listener, int count, std::vector<Future<void>>* servers) {
    co_await procedureName("acceptAll");
    for (int i = 0; i < count; ++i) {
        AcceptResult accepted = co_await acceptAddr(listener);
        servers->push_back(echo(accepted.second));
    }
}

Future<void> talk(AsyncFD fd, int id) {
    co_await procedureName("talk");
    for (int round = 0; round < roundTrips; ++round) {
        std::string message = std::to_string(id) + ":" + std::to_string(round) + ":";
        message.resize(messageSize, static_cast<char>('a' + (id + round) % 26));
        co_await send(fd, message);
        std::string answer = co_await looptest::recvExactly(fd, messageSize);
        if (answer != message) {
            throw ValueError("echo mismatch for client " + std::to_string(id));
        }
    }
    closeAsyncSocket(fd);
}

} // namespace

TEST(Stress, ManyClientsManyRoundTrips) {
    looptest::onFreshThread([] {
        std::uint16_t port = 0;
        AsyncFD listener = looptest::listenLoopback(port);
        std::vector<Future<void>> servers;
        Future<void> accepting = acceptAll(listener, clientCount, &servers);
        std::vector<Future<void>> clients;
        for (int id = 0; id < clientCount; ++id) {
            clients.push_back(talk(looptest::adopt(looptest::connectLoopback(port)), id));
        }
        auto allDone = [&] {
            for (const auto& client : clients) {
                if (!client.finished()) {
                    return false;
                }
            }
            return servers.size() == clientCount &&
                   std::all_of(servers.begin(), servers.end(),
                               [](const Future<void>& server) { return server.finished(); });
        };
        ASSERT_TRUE(looptest::runUntil(allDone, 120000));
        EXPECT_TRUE(accepting.finished());
        for (const auto& client : clients) {
            EXPECT_FALSE(client.failed()) << (client.failed() ? "failed" : "");
        }
        for (const auto& server : servers) {
            EXPECT_FALSE(server.failed());
        }
        closeAsyncSocket(listener);
        EXPECT_EQ(currentDispatcher().handleCount(), 0u);
    });
}
