// Closes that wait for the client: after an answer to a client that may still send, the server
// reads and drops what comes until the client closes. (POSIX only: under Wine's 32-bit loader on
// emulation the server's receive sometimes sees an end of stream that the client never sent.)
#include "http/asynchttpserver.h"

#include "serverthread.h"
#include "testclient.h"

#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

using namespace quorvin;
using namespace quorvin::testing;

TEST(LingeringClose, AClientThatMayStillSendIsReadUntilItCloses) {
    ServerThread server([](Request request) { return respond(request, 200, "ok"); });
    const std::string answer = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    const std::vector<std::pair<const char*, std::string>> cases = {
        {"close, then more", "GET /a HTTP/1.1\r\nConnection: close\r\n\r\nGET /b"},
        {"upgrade nobody took", "GET /a HTTP/1.1\r\nConnection: Upgrade\r\n\r\n"},
    };
    for (const auto& [name, request] : cases) {
        TestClient client(server.port());
        client.sendAll(request);
        std::string got;
        ASSERT_TRUE(client.receiveUntilClosed(got)) << name;
        EXPECT_EQ(got, answer) << name;
        EXPECT_FALSE(server.waitForOpenSockets(1, 500))
            << name << ": let go before the client closed";
        client.close();
        EXPECT_TRUE(server.waitForOpenSockets(1, 1000)) << name << ": kept after the client closed";
    }
}
