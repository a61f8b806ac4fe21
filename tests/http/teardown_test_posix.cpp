// A loop that goes away with its thread while connections are halfway through a request leaves
// nothing behind: no procedure frame, no request record, no descriptor.
#include "async/asyncdispatch.h"
#include "async/asyncsockets.h"
#include "async/plainsockets.h"
#include "http/asynchttpserver.h"

#include "testclient.h"

#include "async/asyncproc.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

using namespace quorvin;
using namespace quorvin::testing;

namespace {

// What the loop thread leaves for the test to look at once the thread has ended.
struct Remains {
    std::vector<std::weak_ptr<BufferedSocketObject>> sockets;
    std::vector<std::weak_ptr<FutureBase>> connections;
};

Future<void> neverCalled(Request /*request*/) {
    ADD_FAILURE() << "no request is complete";
    return makeFuture<void>("neverCalled");
}

// Serves `count` connections until each has read its first bytes, then runs a few more steps
// and returns, leaving the loop to go with the thread.
void serveUntilHalfway(std::promise<std::uint16_t>& port, std::size_t count, Remains& remains) {
    startupSockets();
    HttpServer server = createHttpServer();
    BufferedSocket listener = createBufferedSocket();
    bindAddr(listener, 0, "127.0.0.1");
    listen(listener);
    port.set_value(localPort(listener->fd));
    std::vector<BufferedSocket> clients;
    while (clients.size() < count) {
        Future<std::pair<std::string, BufferedSocket>> accepting = acceptAddr(listener);
        while (!accepting.finished()) {
            runOnce(10);
        }
        auto [address, client] = accepting.read();
        remains.sockets.push_back(client);
        clients.push_back(client);
        Future<void> serving = processClient(server, client, address, neverCalled);
        remains.connections.push_back(serving.state());
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(5);
    for (const BufferedSocket& client : clients) {
        while (client->fillLength == 0 && std::chrono::steady_clock::now() < deadline) {
            runOnce(10);
        }
    }
    for (int step = 0; step < 10; ++step) {
        runOnce(5);
    }
}

} // namespace

TEST(LoopTeardown, ConnectionsInTheMiddleOfARequestLeaveNothingBehind) {
    const int descriptorsBefore = openDescriptorCount();
    const std::vector<std::string> halves = {
        "GET / HTTP/1.1\r\nHost: x",                                     // in the head
        "POST / HTTP/1.1\r\nContent-Length: 100\r\n\r\nthe first bytes", // in the body
        "BREW / HTTP/1.1\r\nGET /next HTTP/1.1\r\nAccept: */*\r\n",      // after a refusal
    };
    Remains remains;
    std::promise<std::uint16_t> port;
    std::thread loop(serveUntilHalfway, std::ref(port), halves.size(), std::ref(remains));
    const std::uint16_t listening = port.get_future().get();
    std::vector<std::unique_ptr<TestClient>> clients;
    for (const std::string& half : halves) {
        clients.push_back(std::make_unique<TestClient>(listening));
        clients.back()->sendAll(half);
    }
    loop.join();

    ASSERT_EQ(remains.sockets.size(), halves.size());
    for (std::size_t i = 0; i < halves.size(); ++i) {
        EXPECT_TRUE(remains.sockets[i].expired()) << "socket of connection " << i;
        EXPECT_TRUE(remains.connections[i].expired()) << "procedure of connection " << i;
    }
    clients.clear();
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}
