// The buffered socket over real loopback connections: lines, counted reads, writers, listener.
#include "async/asyncdispatch.h"
#include "async/asyncsockets.h"
#include "async/plainsockets.h"
#include "async/socketconstants.h"
#include "async/socketflags.h"
#include "async/sockethandle.h"
#include "http/asyncnet.h"
#include "http/responders.h"

#include "looptest.h"
#include "testclient.h"

#include "runtime/errors.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <vector>

using namespace quorvin;
using namespace quorvin::testing;

namespace {

class BufferedSocketTest : public ::testing::Test {
protected:
    void SetUp() override {
        startupSockets();
        listener = createBufferedSocket();
        bindAddr(listener, 0, "127.0.0.1");
        listen(listener);
        port = localPort(listener->fd);
    }
    void TearDown() override {
        for (const BufferedSocket& socket : accepted) {
            close(socket);
        }
        close(listener);
        EXPECT_EQ(currentDispatcher().handleCount(), 0u) << "a socket was left registered";
    }

    // The server side of a new connection from `client`.
    BufferedSocket acceptFrom(TestClient& client) {
        EXPECT_TRUE(client.connected());
        auto pair = awaitResult(acceptAddr(listener));
        EXPECT_EQ(pair.first, "127.0.0.1");
        accepted.push_back(pair.second);
        return pair.second;
    }

    std::string readLine(const BufferedSocket& socket, std::size_t maxLength = 8192) {
        std::string line;
        awaitResult(recvLineInto(socket, line, defaultSocketFlags, maxLength));
        return line;
    }

    BufferedSocket listener;
    std::vector<BufferedSocket> accepted;
    std::uint16_t port = 0;
};

template <class T>
std::string errorMessage(const Future<T>& future) {
    runUntilFinished(future);
    try {
        future.read();
    } catch (const std::exception& error) {
        return error.what();
    }
    return "(no error)";
}

bool endsWith(const std::string& text, const std::string& tail) {
    return text.size() >= tail.size() &&
           text.compare(text.size() - tail.size(), tail.size(), tail) == 0;
}

} // namespace

TEST_F(BufferedSocketTest, PipelinedRequestsStayInTheBufferForTheNextRead) {
    TestClient client(port);
    BufferedSocket server = acceptFrom(client);
    const std::string both = "GET /a HTTP/1.1\r\n\r\nGET /b HTTP/1.1\n\n";
    client.sendAll(both);
    EXPECT_EQ(readLine(server), "GET /a HTTP/1.1");
    EXPECT_EQ(server->fillLength, static_cast<std::int32_t>(both.size())) << "one fill for all";
    EXPECT_EQ(readLine(server), "\r\n");
    EXPECT_EQ(readLine(server), "GET /b HTTP/1.1");
    EXPECT_EQ(readLine(server), "\r\n");
    EXPECT_EQ(server->readPosition, server->fillLength);
}

TEST_F(BufferedSocketTest, PeerClosingMidLineEmptiesTheLine) {
    TestClient client(port);
    BufferedSocket server = acceptFrom(client);
    client.sendAll("GET / HT");
    client.close();
    EXPECT_EQ(readLine(server), "");
    EXPECT_EQ(readLine(server), "") << "and so does every later read";
}

TEST_F(BufferedSocketTest, RecvWaitsForTheWholeCountOrTheEnd) {
    TestClient client(port);
    BufferedSocket server = acceptFrom(client);
    client.sendAll("abcdef");
    Future<std::string> partial = recv(server, 10);
    runUntilFinished(partial, 100);
    EXPECT_FALSE(partial.finished()) << "6 of 10 bytes must not complete the read";
    client.close();
    EXPECT_EQ(awaitResult(partial), "abcdef");
}

TEST_F(BufferedSocketTest, LargeReadsGoThroughFillsOfAtMost4000Bytes) {
    TestClient client(port);
    BufferedSocket server = acceptFrom(client);
    std::string data;
    for (int i = 0; data.size() < 20000; ++i) {
        data += std::to_string(i) + ",";
    }
    client.sendAll("3 " + data);
    EXPECT_EQ(awaitResult(recv(server, 2)), "3 ");
    std::string got;
    while (got.size() < data.size()) {
        const std::int32_t want = std::min<std::int32_t>(4999, data.size() - got.size());
        got += awaitResult(recv(server, want));
        EXPECT_LE(server->fillLength, socketFillSize);
        EXPECT_LE(server->readPosition, server->fillLength);
    }
    EXPECT_EQ(got, data);
}

TEST_F(BufferedSocketTest, EachAcceptedSocketHasItsOwnBuffer) {
    TestClient first(port);
    BufferedSocket a = acceptFrom(first);
    TestClient second(port);
    BufferedSocket b = acceptFrom(second);
    first.sendAll("from first\n");
    second.sendAll("from second\n");
    EXPECT_EQ(readLine(b), "from second");
    EXPECT_EQ(readLine(a), "from first");
    EXPECT_NE(a->buffer.data(), b->buffer.data());
    EXPECT_EQ(a->domain, listener->domain);
}

TEST_F(BufferedSocketTest, AcceptFutureIsNamed) {
    TestClient client(port);
    Future<std::pair<std::string, BufferedSocket>> future = acceptAddr(listener);
    EXPECT_STREQ(future.name(), "asyncnet.acceptAddr");
    accepted.push_back(awaitResult(future).second);
}

TEST_F(BufferedSocketTest, WritersPutExactBytesOnTheWireWithOneSendEach) {
    TestClient client(port);
    BufferedSocket server = acceptFrom(client);
    Request request;
    request.client = server;
    const std::string expected[] = {
        "HTTP/1.1 200 OK\r\ncontent-type: text/plain\r\nContent-Length: 3\r\n\r\nabc",
        "HTTP/1.1 413 Request Entity Too Large\r\nContent-Length: 28\r\n\r\n413 Request Entity Too "
        "Large",
        "HTTP/1.1 100 Continue\r\n\r\n",
    };
    const std::uint64_t before = server->sendCount;
    awaitResult(respond(request, 200, "abc", makeHeaderTable({{"Content-Type", "text/plain"}})));
    EXPECT_EQ(client.receive(expected[0].size()), expected[0]);
    awaitResult(respondWithStatus(request, 413));
    EXPECT_EQ(client.receive(expected[1].size()), expected[1]);
    awaitResult(sendStatusLine(server, "100 Continue"));
    EXPECT_EQ(client.receive(expected[2].size()), expected[2]);
    EXPECT_EQ(server->sendCount, before + 3);
    EXPECT_TRUE(client.staysOpenAndSilent(50));
}

TEST_F(BufferedSocketTest, AReadDeadlineEndsTheReceiveButNotASendUnderWay) {
    TestClient client(port);
    BufferedSocket server = acceptFrom(client);
    // More than the system buffers of both ends hold, so the send is still under way.
    std::string body;
    for (int i = 0; body.size() < 24u * 1024u * 1024u; ++i) {
        body += std::to_string(i) + ',';
    }
    Future<void> sending = send(server, body);
    setReadDeadlineAfterMs(server, 200);
    EXPECT_EQ(awaitResult(recv(server, 1)), "") << "the deadline ends the read";
    EXPECT_TRUE(isReadTimedOut(server));
    ASSERT_FALSE(sending.finished()) << "the client has read nothing yet";
    std::string got;
    std::vector<char> piece(1 << 16);
    const auto end = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (got.size() < body.size() && std::chrono::steady_clock::now() < end) {
        runOnce(0);
        const long count = client.receiveSome(piece.data(), piece.size(), 10);
        if (count == 0) {
            break;
        }
        if (count > 0) {
            got.append(piece.data(), static_cast<std::size_t>(count));
        }
    }
    EXPECT_EQ(got.size(), body.size()) << "the whole answer arrives";
    EXPECT_TRUE(got == body);
    runUntilFinished(sending);
    EXPECT_TRUE(sending.finished() && !sending.failed()) << errorMessage(sending);
}

TEST_F(BufferedSocketTest, CloseIsFinalAndHarmlessTwice) {
    TestClient client(port);
    BufferedSocket server = acceptFrom(client);
    EXPECT_FALSE(isClosed(server));
    close(server);
    close(server);
    EXPECT_TRUE(isClosed(server));
    std::string closedPeer;
    EXPECT_TRUE(client.receiveUntilClosed(closedPeer));
    EXPECT_TRUE(endsWith(errorMessage(recv(server, 1)), "Cannot `recv` on a closed socket"));
    std::string line;
    EXPECT_TRUE(
        endsWith(errorMessage(recvLineInto(server, line)), "Cannot `recv` on a closed socket"));
}

TEST_F(BufferedSocketTest, ProgrammingErrorsAreAssertions) {
    std::string line;
    TestClient client(port);
    BufferedSocket server = acceptFrom(client);
    Future<void> peek = recvLineInto(server, line, SocketFlag::Peek | SocketFlag::IgnoreDisconnect);
    ASSERT_TRUE(peek.failed());
    EXPECT_NE(errorMessage(peek).find("`SocketFlag.Peek notin flags`"), std::string::npos);
    EXPECT_NE(errorMessage(send(nullptr, "x")).find("`socket != nil`"), std::string::npos);
    try {
        createBufferedSocket(osInvalidSocket, osAfInet, osSockStream, osIpprotoTcp, true);
        ADD_FAILURE() << "wrapped the invalid socket";
    } catch (const AssertionError& error) {
        EXPECT_NE(error.message().find("`fd != osInvalidSocket.AsyncFD`"), std::string::npos);
    }
}

TEST_F(BufferedSocketTest, BindingWithoutAnAddress) {
    BufferedSocket any = createBufferedSocket();
    bindAddr(any, 0);
    EXPECT_EQ(localAddressOf(any->fd), "0.0.0.0");
    close(any);

    BufferedSocket odd = createBufferedSocket();
    odd->domain = 99;
    try {
        bindAddr(odd, 0);
        ADD_FAILURE() << "bound an unknown family";
    } catch (const ValueError& error) {
        EXPECT_EQ(error.message(),
                  "Unknown socket address family and no address specified to bindAddr");
    }
    close(odd);
}

TEST_F(BufferedSocketTest, BindingAHeldPortFailsWithOSError) {
    BufferedSocket second = createBufferedSocket();
    setSocketOption(second, OptReuseAddr, true);
    EXPECT_THROW(bindAddr(second, port, "127.0.0.1"), OSError);
    close(second);
}

TEST_F(BufferedSocketTest, OptionsReachTheirNativeLevel) {
    const NativeSocketOption reuse = nativeSocketOption(OptReuseAddr);
    EXPECT_EQ(reuse.level, osSolSocket);
#ifdef _WIN32
    EXPECT_NE(reuse.name, osSoReuseAddr) << "SO_REUSEADDR would let another socket steal the port";
#else
    EXPECT_EQ(reuse.name, osSoReuseAddr);
#endif
    const NativeSocketOption noDelay = nativeSocketOption(OptNoDelay);
    EXPECT_EQ(noDelay.level, osIpprotoTcp);
    EXPECT_EQ(noDelay.name, osTcpNoDelay);

    BufferedSocket socket = createBufferedSocket();
    setSocketOption(socket, OptNoDelay, true);
    EXPECT_NE(socketOptionValue(socket->fd, noDelay.level, noDelay.name), 0);
    setSocketOption(socket, OptNoDelay, false);
    EXPECT_EQ(socketOptionValue(socket->fd, noDelay.level, noDelay.name), 0);
    setSocketOption(socket, OptKeepAlive, true);
    EXPECT_NE(socketOptionValue(socket->fd, osSolSocket, osSoKeepAlive), 0);
    setSocketOption(socket, OptReuseAddr, true);
    EXPECT_NE(socketOptionValue(socket->fd, reuse.level, reuse.name), 0);
    close(socket);
}

namespace {

// A buffered socket object without a system socket, its buffer holding `bytes` unread.
BufferedSocket bufferHolding(std::string_view bytes) {
    auto socket = std::make_shared<BufferedSocketObject>();
    std::copy(bytes.begin(), bytes.end(), socket->buffer.begin());
    socket->fillLength = static_cast<std::int32_t>(bytes.size());
    return socket;
}

} // namespace

TEST(BufferedLine, TakenOnlyWhenItsEndIsInTheBuffer) {
    BufferedSocket socket = bufferHolding("GET / HTTP/1.1\r\nHost: a\r\n\r\nHos");
    std::string line;
    for (const char* expected : {"GET / HTTP/1.1", "Host: a", "\r\n"}) {
        line.clear();
        ASSERT_TRUE(takeBufferedLine(socket, line)) << expected;
        EXPECT_EQ(line, expected);
    }
    line.clear();
    EXPECT_FALSE(takeBufferedLine(socket, line)) << "no line feed follows";
    EXPECT_EQ(line, "");
    EXPECT_EQ(socket->fillLength - socket->readPosition, 3) << "nothing was taken";

    // A CR alone ends a line too, but only a line feed later in the buffer lets it be taken.
    socket = bufferHolding("one\rtwo\n");
    line.clear();
    ASSERT_TRUE(takeBufferedLine(socket, line));
    EXPECT_EQ(line, "one");
    line.clear();
    ASSERT_TRUE(takeBufferedLine(socket, line));
    EXPECT_EQ(line, "wo") << "the byte after a lone CR goes with it, as for recvLineInto";
}

TEST(BufferedLine, AnOverlongLineStopsOneByteOverTheLimit) {
    BufferedSocket socket = bufferHolding("abcdefgh\n");
    std::string line;
    ASSERT_TRUE(takeBufferedLine(socket, line, 5));
    EXPECT_EQ(line, "abcdef");
    EXPECT_EQ(socket->readPosition, 6) << "the rest stays unread";
}
