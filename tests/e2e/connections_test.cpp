// Persistent connections, pipelining, concurrent clients and clients that leave mid-transfer.
#include "httpclient.h"
#include "servedsite.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>
#include <vector>

namespace quorvin::testing {
namespace {

std::uint16_t sitePort() {
    return ServedSite::instance().port();
}

TEST(EndToEndConnections, ManyRequestsOnOneKeptAliveConnection) {
    HttpClient client(sitePort());
    ASSERT_TRUE(client.connected());
    const char* targets[] = {"/hello.html", "/docs/", "/nothing", "/empty.txt", "/over1m.dat"};
    for (int i = 0; i < 200; ++i) {
        const char* target = targets[i % 5];
        client.sendAll(getRequest(target));
        std::optional<HttpResponse> response = client.readResponse();
        ASSERT_TRUE(response) << "request " << i << " " << target;
        EXPECT_EQ(response->status, target == std::string_view("/nothing") ? 404 : 200);
    }
}

TEST(EndToEndConnections, PipelinedRequestsAreAnsweredInOrder) {
    HttpClient client(sitePort());
    std::string batch;
    for (int i = 0; i < 20; ++i) {
        batch += getRequest(i % 2 == 0 ? "/hello.html" : "/docs/guide.txt");
    }
    client.sendAll(batch);
    for (int i = 0; i < 20; ++i) {
        std::optional<HttpResponse> response = client.readResponse();
        ASSERT_TRUE(response) << "response " << i;
        EXPECT_EQ(response->body, i % 2 == 0 ? "<p>hello</p>" : "guide");
    }
}

TEST(EndToEndConnections, PipelinedAnswersDoNotWaitForAcknowledgements) {
    // Under Nagle's rule the second answer of each pair waits for the client's delayed
    // acknowledgement of the first: 40 ms or more on Linux (and so under Wine), 200 ms on
    // Windows, in every round once the connection looks interactive. So even the fastest of the
    // later rounds would take that long. The fastest rather than the total: a loaded machine,
    // or an emulated one, slows some rounds down, but hardly every one.
    constexpr int rounds = 40;
    constexpr int interactiveFrom = 10;
    HttpClient client(sitePort());
    std::chrono::steady_clock::duration fastest = std::chrono::hours(1);
    for (int round = 0; round < rounds; ++round) {
        const auto start = std::chrono::steady_clock::now();
        client.sendAll(getRequest("/hello.html") + getRequest("/hello.html"));
        ASSERT_TRUE(client.readResponse()) << "round " << round;
        ASSERT_TRUE(client.readResponse()) << "round " << round;
        if (round >= interactiveFrom) {
            fastest = std::min(fastest, std::chrono::steady_clock::now() - start);
        }
    }
    EXPECT_LT(fastest, std::chrono::milliseconds(40))
        << "every later answer waited for an acknowledgement";
}

TEST(EndToEndConnections, FiftyClientsAtOnce) {
    constexpr int clients = 50;
    std::atomic<int> good{0};
    std::vector<std::thread> threads;
    for (int c = 0; c < clients; ++c) {
        threads.emplace_back([c, &good] {
            HttpClient client(sitePort());
            bool allGood = client.connected();
            for (int r = 0; r < 4 && allGood; ++r) {
                bool large = (c + r) % 7 == 0;
                client.sendAll(getRequest(large ? "/over1m.dat" : "/style.css"));
                std::optional<HttpResponse> response = client.readResponse(30000);
                allGood = response && response->status == 200 &&
                          response->body.size() == (large ? 1024u * 1024u + 1 : 20u);
            }
            if (allGood) {
                ++good;
            }
        });
    }
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(good.load(), clients);
}

TEST(EndToEndConnections, ClientLeavingMidTransferDisturbsNoOne) {
    {
        HttpClient leaving(sitePort());
        leaving.sendAll(getRequest("/big.bin"));
        // A moment's worth of the body at most; the rest is left unread.
        (void)leaving.readResponse(50);
    }
    HttpResponse after = fetchGet(sitePort(), "/hello.html");
    EXPECT_EQ(after.body, "<p>hello</p>");
}

TEST(EndToEndConnections, ClosingAnswerArrivesWholeAlthoughTheClientSendsMore) {
    TestClient client(sitePort());
    client.sendAll(getRequest("/three.bin", "Host: 127.0.0.1\r\nConnection: close\r\n"));
    // Part of the answer first, so that the extra byte comes while the file is being sent.
    std::string wire = client.receive(1000);
    client.sendAll("x");
    ASSERT_TRUE(client.receiveUntilClosed(wire, 20000));
    const std::size_t headEnd = wire.find("\r\n\r\n");
    ASSERT_NE(headEnd, std::string::npos);
    const std::string body = wire.substr(headEnd + 4);
    EXPECT_EQ(body.size(), ServedSite::threeSize);
    EXPECT_TRUE(body == ServedSite::patternBytes(ServedSite::threeSize, ServedSite::threeSeed));
}

} // namespace
} // namespace quorvin::testing
