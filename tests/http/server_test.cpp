// The request reader, listener and connection loop over real loopback connections.
#include "async/asyncdispatch.h"
#include "async/plainsockets.h"
#include "http/asynchttpserver.h"

#include "serverthread.h"
#include "testclient.h"

#include "async/asyncproc.h"
#include "looptest.h"
#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <memory>
#include <string>
#include <thread>
#include <utility>
#include <vector>

using namespace quorvin;
using namespace quorvin::testing;

namespace {

// More than the system buffers of a loopback connection hold.
const std::string& bigText() {
    static const std::string text = [] {
        std::string made;
        for (int i = 0; made.size() < 24u * 1024u * 1024u; ++i) {
            made += std::to_string(i) + ',';
        }
        return made;
    }();
    return text;
}

// Answers with a description of the request: "METHOD path major.minor [body]". A few paths fail
// on purpose, send nothing, or take over their connection.
class DescribingHandler {
public:
    ServerThread* server = nullptr;

    RequestHandler handler() {
        return [this](Request request) { return describe(this, std::move(request)); };
    }

private:
    static Future<void> describe(DescribingHandler* self, Request request) {
        co_await procedureName("describe");
        const std::string& path = request.url.path;
        if (path == "/fail") {
            throw IOError("cannot read the file");
        }
        if (path == "/fail-after") {
            co_await respond(request, 200, "partial");
            throw IOError("late failure");
        }
        if (path == "/silent") {
            co_return;
        }
        if (path == "/big" || path == "/big-unawaited") {
            Future<void> sending = respond(request, 200, bigText());
            if (path == "/big") {
                co_await sending;
            }
            co_return;
        }
        if (path == "/chat" && self->server != nullptr) {
            takeOverConnection(request);
            self->server->adopt(request.client);
        }
        std::string text = std::string(methodText(request.method)) + " " + path + " " +
                           std::to_string(request.protocol.major) + "." +
                           std::to_string(request.protocol.minor) + " [" + request.body + "]";
        co_await respond(request, 200, text);
    }
};

std::string ok(const std::string& text) {
    return "HTTP/1.1 200 OK\r\nContent-Length: " + std::to_string(text.size()) + "\r\n\r\n" + text;
}

std::string status(const std::string& text) {
    return "HTTP/1.1 " + text + "\r\nContent-Length: " + std::to_string(text.size()) + "\r\n\r\n" +
           text;
}

std::string page(int code, const std::string& reason, const std::string& content) {
    return "HTTP/1.1 " + std::to_string(code) + " " + reason +
           "\r\nContent-Length: " + std::to_string(content.size()) + "\r\n\r\n" + content;
}

const std::string badRequest = status("400 Bad Request");
const std::string tooLarge = status("413 Request Entity Too Large");

struct Exchange {
    const char* name;
    std::string request;
    std::string answer;
    bool staysOpen;
};

class ServerTest : public ::testing::Test {
protected:
    ServerTest() : server(describing.handler()) { describing.server = &server; }

    // Sends `request` on a new connection and checks the exact answer and the connection's fate.
    void expectExchange(const std::string& name, const std::string& request,
                        const std::string& answer, bool staysOpen);
    // The same for many exchanges at once, each on its own connection.
    void expectExchanges(const std::vector<Exchange>& exchanges);

    DescribingHandler describing;
    ServerThread server;
};

void ServerTest::expectExchange(const std::string& name, const std::string& request,
                                const std::string& answer, bool staysOpen) {
    expectExchanges({{name.c_str(), request, answer, staysOpen}});
}

void ServerTest::expectExchanges(const std::vector<Exchange>& exchanges) {
    std::vector<std::unique_ptr<TestClient>> clients;
    for (const Exchange& e : exchanges) {
        clients.push_back(std::make_unique<TestClient>(server.port()));
        clients.back()->sendAll(e.request);
    }
    for (std::size_t i = 0; i < exchanges.size(); ++i) {
        EXPECT_EQ(clients[i]->receive(exchanges[i].answer.size()), exchanges[i].answer)
            << exchanges[i].name;
    }
    // One wait for all: a connection that is to close has closed by then.
    const auto settled = std::chrono::steady_clock::now() + std::chrono::milliseconds(120);
    for (std::size_t i = 0; i < exchanges.size(); ++i) {
        const Exchange& e = exchanges[i];
        if (e.staysOpen) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                settled - std::chrono::steady_clock::now());
            EXPECT_TRUE(clients[i]->staysOpenAndSilent(std::max<int>(0, left.count())))
                << e.name << ": should stay open";
        } else {
            std::string extra;
            EXPECT_TRUE(clients[i]->receiveUntilClosed(extra)) << e.name << ": should be closed";
            EXPECT_EQ(extra, "") << e.name;
        }
    }
}

} // namespace

TEST_F(ServerTest, ServesARequestAndKeepsTheConnection) {
    expectExchanges({
        {"simple GET", "GET / HTTP/1.1\r\n\r\n", ok("GET / 1.1 []"), true},
        {"bare LF lines", "HEAD /x?q=1 HTTP/1.1\nHost: h\n\n", ok("HEAD /x 1.1 []"), true},
    });
}

TEST_F(ServerTest, PipelinedRequestsInOneSegmentAreAnsweredInOrder) {
    TestClient client(server.port());
    client.sendAll("GET /1 HTTP/1.1\r\n\r\nGET /2 HTTP/1.1\r\n\r\nGET /3 HTTP/1.1\r\n"
                   "Connection: close\r\n\r\n");
    const std::string expected = ok("GET /1 1.1 []") + ok("GET /2 1.1 []") + ok("GET /3 1.1 []");
    std::string got;
    EXPECT_TRUE(client.receiveUntilClosed(got));
    EXPECT_EQ(got, expected);
}

// Two small answers in a row: under Nagle's rule the second would wait for the client's delayed
// acknowledgement of the first (40 ms or more, every round once the connection looks interactive).
TEST_F(ServerTest, PipelinedAnswersDoNotWaitForTheClientsAcknowledgement) {
    TestClient client(server.port());
    const std::string expected = ok("GET /1 1.1 []") + ok("GET /2 1.1 []");
    const auto start = std::chrono::steady_clock::now();
    for (int round = 0; round < 20; ++round) {
        client.sendAll("GET /1 HTTP/1.1\r\n\r\nGET /2 HTTP/1.1\r\n\r\n");
        ASSERT_EQ(client.receive(expected.size()), expected) << "round " << round;
    }
    const auto elapsed = std::chrono::steady_clock::now() - start;
    EXPECT_LT(elapsed, std::chrono::milliseconds(500));
}

TEST_F(ServerTest, LeadingEmptyLines) {
    expectExchanges({
        {"one skipped", "\r\nGET /a HTTP/1.1\r\n\r\n", ok("GET /a 1.1 []"), true},
        {"two: 400, then the request", "\r\n\r\nGET /a HTTP/1.1\r\n\r\n",
         badRequest + ok("GET /a 1.1 []"), true},
    });
}

// The head split at every kind of place, with a pause after each piece, then the same head
// pipelined behind a leading empty line: both are read as one request each.
TEST_F(ServerTest, AHeadArrivingInPiecesIsReadAsOne) {
    TestClient client(server.port());
    const std::vector<std::string> pieces = {"GE",           "T /split HTTP/1.1\r", "\nHo",
                                             "st: h\r\nX-A", ": 1\r\n\r",           "\n"};
    for (const std::string& piece : pieces) {
        client.sendAll(piece);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(client.receive(ok("GET /split 1.1 []").size()), ok("GET /split 1.1 []"));
    client.sendAll("\r\nGET /next HTTP/1.1\r\nHost: h\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    client.sendAll("Connection: close\r\n\r\n");
    std::string rest;
    EXPECT_TRUE(client.receiveUntilClosed(rest));
    EXPECT_EQ(rest, ok("GET /next 1.1 []"));
}

TEST_F(ServerTest, LineLengthLimits) {
    const std::string target = "/" + std::string(8192 - 4 - 1 - 9, 'a');
    const std::string exact = "GET " + target + " HTTP/1.1";
    ASSERT_EQ(exact.size(), 8192u);
    const std::string header = "X-Long: " + std::string(8192 - 8, 'h');
    expectExchanges({
        {"8192-byte request line", exact + "\r\n\r\n", ok("GET " + target + " 1.1 []"), true},
        {"8193-byte request line", "GET " + target + "a HTTP/1.1\r\n\r\n", tooLarge, false},
        {"8192-byte header line", "GET / HTTP/1.1\r\n" + header + "\r\n\r\n", ok("GET / 1.1 []"),
         true},
        {"8193-byte header line", "GET / HTTP/1.1\r\n" + header + "h\r\n\r\n", tooLarge, false},
    });
}

TEST_F(ServerTest, HeaderNameLimit) {
    auto withNames = [](int count, bool distinct) {
        std::string request = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < count; ++i) {
            request += "h" + std::to_string(distinct ? i : 0) + ": v\r\n";
        }
        return request + "\r\n";
    };
    expectExchanges({
        {"10000 names", withNames(10000, true), ok("GET / 1.1 []"), true},
        {"10001 names", withNames(10001, true), "HTTP/1.1 400 Bad Request\r\n\r\n", false},
        {"one name 20000 times", withNames(20000, false), ok("GET / 1.1 []"), true},
    });
}

TEST_F(ServerTest, RefusalsWithTheirExactBytes) {
    const std::vector<Exchange> refusals = {
        {"method in lower case", "get / HTTP/1.1\r\n\r\n", badRequest, true},
        {"unknown method", "BREW / HTTP/1.1\r\n\r\n", badRequest, true},
        {"protocol not HTTP/", "GET / FTP/1.1\r\n\r\n", badRequest, true},
        {"two spaces move the target to the protocol", "GET  / HTTP/1.1\r\n\r\n", badRequest, true},
        {"space after the protocol", "GET / HTTP/1.1 \r\n\r\n", badRequest, true},
        {"length with no number", "GET / HTTP/1.1\r\nContent-Length: -5\r\n\r\n",
         page(400, "Bad Request", "Bad Request. Invalid Content-Length."), true},
        {"length of letters", "GET / HTTP/1.1\r\nContent-Length: ten\r\n\r\n",
         page(400, "Bad Request", "Bad Request. Invalid Content-Length."), true},
        {"empty length", "GET / HTTP/1.1\r\nContent-Length:\r\n\r\n",
         page(400, "Bad Request", "Bad Request. Invalid Content-Length."), true},
        {"saturated length", "POST / HTTP/1.1\r\nContent-Length: 99999999999\r\n\r\n", tooLarge,
         false},
        {"length over the maximum body", "POST / HTTP/1.1\r\nContent-Length: 8388609\r\n\r\n",
         tooLarge, false},
        {"POST without length", "POST / HTTP/1.1\r\n\r\n",
         page(411, "Length Required", "Content-Length required."), true},
    };
    expectExchanges(refusals);
}

TEST_F(ServerTest, TheRestOfARefusedRequestIsReadAsNewRequests) {
    // The header line and the blank line each come back as a request line: the header draws a
    // 400, the blank line is the one skipped empty line before the next real request.
    expectExchange("refused then served",
                   "get / HTTP/1.1\r\nHost: h\r\n\r\nGET /b HTTP/1.1\r\n\r\n",
                   badRequest + badRequest + ok("GET /b 1.1 []"), true);
}

TEST_F(ServerTest, BodyShorterThanItsLength) {
    TestClient client(server.port());
    client.sendAll("POST /f HTTP/1.1\r\nContent-Length: 10\r\n\r\nshort");
    client.shutdownWrite();
    const std::string answer =
        page(400, "Bad Request", "Bad Request. Content-Length does not match actual.");
    std::string got;
    EXPECT_TRUE(client.receiveUntilClosed(got));
    EXPECT_EQ(got, answer);
}

TEST_F(ServerTest, ContentLengthForms) {
    const std::vector<Exchange> forms = {
        {"leading plus", "POST /p HTTP/1.1\r\nContent-Length: +3\r\n\r\nabc",
         ok("POST /p 1.1 [abc]"), true},
        {"trailing space", "POST /p HTTP/1.1\r\nContent-Length: 3 \r\n\r\nabc",
         ok("POST /p 1.1 [abc]"), true},
        {"digits then letters", "POST /p HTTP/1.1\r\nContent-Length: 3xyz\r\n\r\nabc",
         ok("POST /p 1.1 [abc]"), true},
        {"zero", "POST /p HTTP/1.1\r\nContent-Length: 0\r\n\r\n", ok("POST /p 1.1 []"), true},
        {"GET with a body", "GET /g HTTP/1.1\r\ncontent-length: 4\r\n\r\nbody",
         ok("GET /g 1.1 [body]"), true},
        {"space before the colon is part of the name",
         "GET /s HTTP/1.1\r\nContent-Length : 3\r\n\r\nabc\r\n", ok("GET /s 1.1 []") + badRequest,
         true},
        {"repeated length keeps the last",
         "POST /r HTTP/1.1\r\nContent-Length: 9\r\n"
         "Content-Length: 2\r\n\r\nhi",
         ok("POST /r 1.1 [hi]"), true},
    };
    expectExchanges(forms);
}

TEST_F(ServerTest, LengthEqualToTheMaximumIsAccepted) {
    ServerThread small(describing.handler(), ServerOptions{16, true, "127.0.0.1", {}});
    TestClient client(small.port());
    client.sendAll("POST / HTTP/1.1\r\nContent-Length: 16\r\n\r\n0123456789abcdef");
    const std::string answer = ok("POST / 1.1 [0123456789abcdef]");
    EXPECT_EQ(client.receive(answer.size()), answer);
    client.sendAll("POST / HTTP/1.1\r\nContent-Length: 17\r\n\r\n");
    std::string got;
    EXPECT_TRUE(client.receiveUntilClosed(got));
    EXPECT_EQ(got, tooLarge);
}

TEST_F(ServerTest, ExpectContinueComesBeforeTheBodyIsRead) {
    TestClient client(server.port());
    client.sendAll("POST /up HTTP/1.1\r\nExpect: 100-CONTINUE\r\nContent-Length: 3\r\n\r\n");
    const std::string interim = "HTTP/1.1 100 Continue\r\n\r\n";
    EXPECT_EQ(client.receive(interim.size()), interim);
    client.sendAll("abc");
    const std::string answer = ok("POST /up 1.1 [abc]");
    EXPECT_EQ(client.receive(answer.size()), answer);
}

TEST_F(ServerTest, OtherExpectationsGet417AndTheEndOfTheStream) {
    // The 417 has no length: only the end of the stream frames it, and the handler never runs.
    expectExchanges({
        {"417", "POST /e HTTP/1.1\r\nExpect: something\r\nContent-Length: 1\r\n\r\nx",
         "HTTP/1.1 417 Expectation Failed\r\n\r\n", false},
        {"417 with the next request pipelined",
         "POST /e HTTP/1.1\r\nExpect: 100-continue, x\r\nExpect: other\r\n\r\n"
         "GET /never HTTP/1.1\r\n\r\n",
         "HTTP/1.1 417 Expectation Failed\r\n\r\n", false},
        {"Expect is only for POST",
         "PUT /e HTTP/1.1\r\nExpect: something\r\nContent-Length: 1\r\n\r\nx", ok("PUT /e 1.1 [x]"),
         true},
    });
}

TEST_F(ServerTest, PersistenceByVersionAndConnectionHeader) {
    const std::vector<Exchange> cases = {
        {"1.1 default", "GET / HTTP/1.1\r\n\r\n", ok("GET / 1.1 []"), true},
        {"1.1 close", "GET / HTTP/1.1\r\nConnection: close\r\n\r\n", ok("GET / 1.1 []"), false},
        {"1.1 CLOSE", "GET / HTTP/1.1\r\nConnection: CLOSE\r\n\r\n", ok("GET / 1.1 []"), false},
        {"1.1 'close ' with a space", "GET / HTTP/1.1\r\nConnection: close \r\n\r\n",
         ok("GET / 1.1 []"), true},
        {"1.1 first word decides", "GET / HTTP/1.1\r\nConnection: keep-alive, close\r\n\r\n",
         ok("GET / 1.1 []"), true},
        {"1.0 default", "GET / HTTP/1.0\r\n\r\n", ok("GET / 1.0 []"), false},
        {"1.0 keep-alive", "GET / HTTP/1.0\r\nConnection: Keep-Alive\r\n\r\n", ok("GET / 1.0 []"),
         true},
        {"lower-case protocol word", "GET / http/1.1\r\n\r\n", ok("GET / 1.1 []"), true},
        {"no protocol part", "GET /old\r\n\r\n", ok("GET /old 0.0 []"), false},
        {"method alone", "GET\r\n\r\n", ok("GET  0.0 []"), false},
        {"HTTP/2.0", "GET / HTTP/2.0\r\n\r\n", ok("GET / 2.0 []"), false},
    };
    expectExchanges(cases);
}

// A client that asked for the close and sent nothing more is let go of at once after its answer,
// although it keeps its end open: no lingering close (2 s) waits for it.
TEST_F(ServerTest, ClientThatAskedForTheCloseIsLetGoOfAtOnce) {
    const std::vector<Exchange> cases = {
        {"1.1 close", "GET /a HTTP/1.1\r\nConnection: close\r\n\r\n", ok("GET /a 1.1 []"), false},
        {"1.0 default", "GET /a HTTP/1.0\r\n\r\n", ok("GET /a 1.0 []"), false},
    };
    for (const Exchange& c : cases) {
        TestClient client(server.port());
        client.sendAll(c.request);
        std::string got;
        ASSERT_TRUE(client.receiveUntilClosed(got)) << c.name;
        EXPECT_EQ(got, c.answer) << c.name;
        EXPECT_TRUE(server.waitForOpenSockets(1, 500)) << c.name;
    }
}

TEST_F(ServerTest, UpgradeTakenOverByTheHandlerLeavesTheConnectionOpenAndUnread) {
    TestClient client(server.port());
    client.sendAll("GET /chat HTTP/1.0\r\nConnection: keep-alive, Upgrade\r\n\r\n");
    const std::string answer = ok("GET /chat 1.0 []");
    EXPECT_EQ(client.receive(answer.size()), answer);
    client.sendAll("GET / HTTP/1.1\r\n\r\n");
    EXPECT_TRUE(client.staysOpenAndSilent(200)) << "nothing more is read from it";
}

TEST_F(ServerTest, UpgradeNobodyTookOverIsAnsweredAndClosed) {
    const int descriptorsBefore = openDescriptorCount();
    const std::string answer = ok("GET /up 1.1 []");
    for (int i = 0; i < 100; ++i) {
        TestClient client(server.port());
        client.sendAll("GET /up HTTP/1.1\r\nConnection: Upgrade\r\nUpgrade: websocket\r\n\r\n");
        std::string got;
        ASSERT_TRUE(client.receiveUntilClosed(got)) << "request " << i;
        ASSERT_EQ(got, answer) << "request " << i;
    }
    // Every connection's socket is closed again: only the listener is left.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(3);
    while ((server.openSockets() != 1 || openDescriptorCount() != descriptorsBefore) &&
           std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(server.openSockets(), 1u);
    EXPECT_EQ(openDescriptorCount(), descriptorsBefore);
}

TEST_F(ServerTest, TwoClientsAtOnceAndOneStaysIdle) {
    TestClient idle(server.port());
    TestClient halfway(server.port());
    halfway.sendAll("GET /slow HTTP/1.1\r\nHost:");
    TestClient busy(server.port());
    for (int i = 0; i < 3; ++i) {
        busy.sendAll("GET /" + std::to_string(i) + " HTTP/1.1\r\n\r\n");
        const std::string answer = ok("GET /" + std::to_string(i) + " 1.1 []");
        EXPECT_EQ(busy.receive(answer.size()), answer);
    }
    halfway.sendAll(" h\r\n\r\n");
    const std::string answer = ok("GET /slow 1.1 []");
    EXPECT_EQ(halfway.receive(answer.size()), answer);
    EXPECT_TRUE(idle.staysOpenAndSilent(20));
}

TEST_F(ServerTest, ClientsThatGoAwayMidRequestEndOnlyTheirConnection) {
    {
        TestClient closing(server.port());
        closing.sendAll("GET / HTTP/1.1\r\nHost: x");
    }
    {
        TestClient resetting(server.port());
        resetting.sendAll("POST / HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc");
        resetting.abortConnection();
    }
    { TestClient silent(server.port()); }
    expectExchange("still serving", "GET / HTTP/1.1\r\n\r\n", ok("GET / 1.1 []"), true);
}

TEST_F(ServerTest, FailingHandlerGets500AndClosesOnlyItsConnection) {
    TestClient other(server.port());
    other.sendAll("GET /before HTTP/1.1\r\n\r\n");
    EXPECT_EQ(other.receive(ok("GET /before 1.1 []").size()), ok("GET /before 1.1 []"));

    const std::string serverError = "HTTP/1.1 500 Internal Server Error\r\nconnection: close\r\n"
                                    "Content-Length: 25\r\n\r\n500 Internal Server Error";
    expectExchange("fails before sending", "GET /fail HTTP/1.1\r\n\r\nGET /never HTTP/1.1\r\n\r\n",
                   serverError, false);
    expectExchange("fails after sending", "GET /fail-after HTTP/1.1\r\n\r\n", ok("partial"), false);

    other.sendAll("GET /after HTTP/1.1\r\n\r\n");
    EXPECT_EQ(other.receive(ok("GET /after 1.1 []").size()), ok("GET /after 1.1 []"));
    expectExchange("new connections too", "GET / HTTP/1.1\r\n\r\n", ok("GET / 1.1 []"), true);
}

TEST_F(ServerTest, SilentHandlerSendsNothingForItsRequest) {
    expectExchange("nothing for /silent", "GET /silent HTTP/1.1\r\n\r\nGET /next HTTP/1.1\r\n\r\n",
                   ok("GET /next 1.1 []"), true);
}

TEST_F(ServerTest, ListenerUsesTheReuseOption) {
    const NativeSocketOption reuse = nativeSocketOption(OptReuseAddr);
    EXPECT_NE(socketOptionValue(server.listenerHandle(), reuse.level, reuse.name), 0);
}

TEST(Serve, EmptyAddressListensOnEveryInterface) {
    DescribingHandler describing;
    ServerThread server(describing.handler(), ServerOptions{defaultMaxBodyLength, true, "", {}});
    EXPECT_EQ(localAddressOf(server.listenerHandle()), "0.0.0.0");
    TestClient client(server.port());
    client.sendAll("GET / HTTP/1.1\r\nConnection: close\r\n\r\n");
    std::string got;
    EXPECT_TRUE(client.receiveUntilClosed(got));
    EXPECT_EQ(got, ok("GET / 1.1 []"));
}

TEST(Serve, BindingAHeldPortFailsServe) {
    startupSockets();
    BufferedSocket holder = createBufferedSocket();
    bindAddr(holder, 0, "127.0.0.1");
    listen(holder);
    const std::uint16_t held = localPort(holder->fd);
    DescribingHandler describing;
    for (bool reuse : {false, true}) {
        HttpServer server = createHttpServer(reuse, false, defaultMaxBodyLength);
        Future<void> serving = serve(server, held, describing.handler(), "127.0.0.1");
        ASSERT_TRUE(serving.failed()) << "reuse " << reuse;
        EXPECT_THROW(serving.read(), OSError);
        EXPECT_STREQ(serving.name(), "serve");
        EXPECT_TRUE(isClosed(server->socket)) << "the failed listener is not left open";
    }
    close(holder);
    EXPECT_EQ(currentDispatcher().handleCount(), 0u);
}

TEST(ServerTimeouts, SilentAndSlowClientsAreClosedAndActiveOnesServed) {
    DescribingHandler describing;
    ServerOptions options;
    // Wide margins: the machine may be busy, and the Windows build runs under Wine.
    options.timeouts = ConnectionTimeouts{800, 1000, 500};
    ServerThread server(describing.handler(), options);
    const auto start = std::chrono::steady_clock::now();
    TestClient silent(server.port());
    TestClient slow(server.port());
    TestClient active(server.port());
    slow.sendAll("GET /");
    const std::string answer = ok("GET /a 1.1 []");
    for (int i = 0; i < 25; ++i) {
        // One byte of the request line every 100 ms: progress, but the head never completes.
        // Once the server has given up (its side has ended), the client stops too.
        if (slow.staysOpenAndSilent(0)) {
            slow.sendAll("a");
        }
        active.sendAll("GET /a HTTP/1.1\r\n\r\n");
        ASSERT_EQ(active.receive(answer.size()), answer) << "request " << i;
        if (i == 2) {
            EXPECT_TRUE(silent.staysOpenAndSilent(1)) << "closed before its time";
            EXPECT_TRUE(slow.staysOpenAndSilent(1)) << "closed before its time";
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
    }
    ASSERT_GT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(2500));
    std::string got;
    EXPECT_TRUE(silent.receiveUntilClosed(got, 100)) << "idle past its limit";
    EXPECT_EQ(got, "") << "no answer";
    EXPECT_TRUE(slow.receiveUntilClosed(got, 100)) << "head not complete within its limit";
    EXPECT_EQ(got, "") << "no answer";
    active.sendAll("GET /a HTTP/1.1\r\n\r\n");
    EXPECT_EQ(active.receive(answer.size()), answer) << "a connection in use stays";

    // The active connection, left idle now, goes too.
    EXPECT_TRUE(active.receiveUntilClosed(got, 4000));
}

TEST_F(ServerTest, EveryRequestStartsFromAFreshRecord) {
    // A request line of a method alone behaves after a served request as on a new connection.
    expectExchanges({
        {"method alone after a request", "GET /first HTTP/1.1\r\n\r\nGET\r\n\r\n",
         ok("GET /first 1.1 []") + ok("GET  0.0 []"), false},
        {"no protocol after a request", "GET /first HTTP/1.1\r\n\r\nPOST /p\r\n\r\n",
         ok("GET /first 1.1 []") + page(411, "Length Required", "Content-Length required."), true},
    });
}

TEST_F(ServerTest, RefusalsOfHeadRequestsSendTheHeadOnly) {
    auto head = [](const std::string& statusLine, std::size_t length) {
        return "HTTP/1.1 " + statusLine + "\r\nContent-Length: " + std::to_string(length) +
               "\r\n\r\n";
    };
    const std::string longTarget = "/" + std::string(8192, 'a');
    const std::string longHeader = "X-Long: " + std::string(8192, 'h');
    expectExchanges({
        {"bad protocol word", "HEAD / FTP/1.1\r\n\r\n", head("400 Bad Request", 15), true},
        {"extra part", "HEAD / HTTP/1.1 x\r\n\r\n", head("400 Bad Request", 15), true},
        {"over-long request line", "HEAD " + longTarget + " HTTP/1.1\r\n\r\n",
         head("413 Request Entity Too Large", 28), false},
        {"over-long header line", "HEAD / HTTP/1.1\r\n" + longHeader + "\r\n\r\n",
         head("413 Request Entity Too Large", 28), false},
        {"invalid length", "HEAD / HTTP/1.1\r\nContent-Length: x\r\n\r\n",
         head("400 Bad Request", 36), true},
        {"length over the maximum body", "HEAD / HTTP/1.1\r\nContent-Length: 8388609\r\n\r\n",
         head("413 Request Entity Too Large", 28), false},
        {"failing handler", "HEAD /fail HTTP/1.1\r\n\r\n",
         "HTTP/1.1 500 Internal Server Error\r\nconnection: close\r\nContent-Length: 25\r\n\r\n",
         false},
        {"a GET keeps its body", "GET / FTP/1.1\r\n\r\n", badRequest, true},
    });
}

TEST_F(ServerTest, HeadBoundsOfValuesAndBytes) {
    // Lines of distinct names, each holding `commas` empty values or `bytes` bytes of one value.
    auto withLines = [](int count, int commas, std::size_t bytes, const char* extra = "") {
        std::string request = "GET / HTTP/1.1\r\n";
        for (int i = 0; i < count; ++i) {
            request += "h" + std::to_string(i) + ": " + std::string(commas, ',') +
                       std::string(bytes, 'v') + "\r\n";
        }
        return request + extra + "\r\n";
    };
    const std::string bare400 = "HTTP/1.1 400 Bad Request\r\n\r\n";
    expectExchanges({
        {"20000 values", withLines(4, 5000, 0), ok("GET / 1.1 []"), true},
        {"20001 values", withLines(4, 5000, 0, "x: y\r\n"), bare400, false},
        {"25000 values", withLines(5, 5000, 0), bare400, false},
        {"a head of just under 1 MiB", withLines(127, 0, 8180), ok("GET / 1.1 []"), true},
        {"a head of over 1 MiB", withLines(129, 0, 8180), bare400, false},
    });
}

// Lines of a name and 8000 commas, 4 MB in all: each comma would be an empty value of its own.
TEST_F(ServerTest, AHeadOfManyCommasCostsBoundedMemory) {
    const long long before = peakResidentBytes();
    if (before < 0) {
        GTEST_SKIP() << "no figure of resident memory on this system";
    }
    std::string head = "GET / HTTP/1.1\r\n";
    for (int i = 0; i < 500; ++i) {
        head += "h" + std::to_string(10000 + i) + ":" + std::string(8000, ',') + "\r\n";
    }
    head += "\r\n";
    TestClient client(server.port());
    client.sendFor(head, 10000);
    std::string got;
    EXPECT_TRUE(client.receiveUntilClosed(got, 10000));
    EXPECT_EQ(got, "HTTP/1.1 400 Bad Request\r\n\r\n");
    EXPECT_LT(peakResidentBytes() - before, 32LL << 20);
}

TEST(ServerTimeouts, AnAnswerStillBeingSentWhenTheIdleLimitPassesArrivesWhole) {
    DescribingHandler describing;
    ServerOptions options;
    options.timeouts = ConnectionTimeouts{300, 1000, 500};
    ServerThread server(describing.handler(), options);
    TestClient client(server.port());
    // The handler does not wait for its answer: the idle limit of the next request runs, and
    // passes, while the answer still waits for the client.
    client.sendAll("GET /big-unawaited HTTP/1.1\r\n\r\n");
    std::this_thread::sleep_for(std::chrono::milliseconds(1000));
    std::string got;
    EXPECT_TRUE(client.receiveUntilClosed(got, 20000)) << "closed once the answer is out";
    const std::string expected = ok(bigText());
    EXPECT_EQ(got.size(), expected.size());
    EXPECT_TRUE(got == expected) << "the answer arrives whole";
}

TEST(ServerTimeouts, ABodyThatStallsEndsItsConnectionAndOneThatFlowsIsRead) {
    DescribingHandler describing;
    ServerOptions options;
    options.timeouts = ConnectionTimeouts{5000, 5000, 500, 400, 60000};
    ServerThread server(describing.handler(), options);
    TestClient stalled(server.port());
    stalled.sendAll("POST /up HTTP/1.1\r\nContent-Length: 100\r\n\r\nabc");
    TestClient flowing(server.port());
    flowing.sendAll("POST /up HTTP/1.1\r\nContent-Length: 12\r\n\r\n");
    // Slower in all than the limit, but never idle for as long.
    for (char c : std::string("hello world!")) {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        flowing.sendAll(std::string(1, c));
    }
    const std::string answer = ok("POST /up 1.1 [hello world!]");
    EXPECT_EQ(flowing.receive(answer.size()), answer);
    std::string got;
    EXPECT_TRUE(stalled.receiveUntilClosed(got, 3000)) << "a stalled body ends its connection";
    EXPECT_EQ(got, "") << "no answer";
    EXPECT_TRUE(flowing.staysOpenAndSilent(50));
}

TEST(ServerTimeouts, AnAnswerTheClientDoesNotTakeEndsItsConnection) {
    DescribingHandler describing;
    ServerOptions options;
    options.timeouts = ConnectionTimeouts{60000, 60000, 500, 60000, 3000};
    ServerThread server(describing.handler(), options);
    {
        TestClient reader(server.port());
        reader.sendAll("GET /big HTTP/1.1\r\n\r\nGET /a HTTP/1.1\r\n\r\n");
        const std::string expected = ok(bigText()) + ok("GET /a 1.1 []");
        EXPECT_TRUE(reader.receive(expected.size(), 20000) == expected)
            << "a client that reads gets it all";
    }
    TestClient never(server.port());
    never.sendAll("GET /big HTTP/1.1\r\n\r\n");
    // A deadline for a lost close only: a sanitizer build on a busy machine needs most of 15 s.
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(90);
    while (server.openSockets() != 1 && std::chrono::steady_clock::now() < end) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(server.openSockets(), 1u) << "only the listener is left";
}
