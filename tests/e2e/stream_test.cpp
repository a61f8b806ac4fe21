// A large file that changes while it is sent, with the handler's writer on this thread's loop.
#include "async/asyncdispatch.h"
#include "async/plainsockets.h"
#include "http/httpserver.h"
#include "httpclient.h"
#include "servedsite.h"
#include "server/fileresponse.h"
#include "server/fs.h"
#include "server/handler.h"
#include "server/launch.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <thread>

namespace quorvin::testing {
namespace {

std::filesystem::path utf8Path(const std::string& text) {
    return std::filesystem::path(std::u8string(text.begin(), text.end()));
}

// Serves every request on this thread's loop with `handler` while `client` runs on another.
template <class Client>
void serveWhile(RequestHandler handler, Client client) {
    startupSockets();
    std::uint16_t port = freeLoopbackPort();
    HttpServer server = createHttpServer();
    Future<void> serving = serve(server, port, std::move(handler), "127.0.0.1");
    ASSERT_FALSE(serving.failed());
    std::atomic<bool> done{false};
    std::thread peer([&] {
        client(port);
        done = true;
    });
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (!done && std::chrono::steady_clock::now() < deadline) {
        runOnce(10);
    }
    peer.join();
    close(server->socket);
    try {
        for (int i = 0; i < 10; ++i) {
            runOnce(10);
        }
    } catch (const ValueError&) {
        // Nothing left on the loop.
    }
}

TEST(StreamedFile, FileShrinkingWhileSentEndsTheConnectionAfterWhatThereWas) {
    TempFolder folder;
    constexpr std::size_t size = 3u * 1024u * 1024u;
    constexpr std::size_t left = 1024u * 1024u + 100u;
    const std::string content = ServedSite::patternBytes(size, 3);
    folder.writeFile("shrinking.dat", content);
    const std::string path = folder.join("shrinking.dat");
    ServerSettings settings = launchSettings(folder.path(), 0);

    RequestHandler handler = [settings, path](Request request) {
        StaticResponse response = fileResponse(settings, path);
        EXPECT_TRUE(response.bodyFile);
        EXPECT_TRUE(response.body.empty());
        std::filesystem::resize_file(utf8Path(path), left);
        return sendStaticResponse(std::move(request), std::move(response));
    };
    std::string received;
    bool closed = false;
    serveWhile(handler, [&](std::uint16_t port) {
        HttpClient client(port);
        client.sendAll(getRequest("/"));
        closed = client.readUntilClosed(10000);
        received = client.pending();
    });

    EXPECT_TRUE(closed);
    const std::string head = "HTTP/1.1 200 OK\r\ncontent-type: application/octet-stream\r\n"
                             "Content-Length: " +
                             std::to_string(size) + "\r\n\r\n";
    ASSERT_GE(received.size(), head.size());
    EXPECT_EQ(received.substr(0, head.size()), head);
    // What the file still held, and nothing after it (no error answer inside the body).
    EXPECT_TRUE(received.substr(head.size()) == content.substr(0, left));
}

// Reads that give fewer bytes than asked, as from a network share, are no end of the file.
TEST(StreamedFile, ShortReadsSendTheWholeFile) {
    TempFolder folder;
    constexpr std::size_t size = 3u * 1024u * 1024u;
    const std::string content = ServedSite::patternBytes(size, 5);
    folder.writeFile("three.dat", content);
    const std::string path = folder.join("three.dat");
    ServerSettings settings = launchSettings(folder.path(), 0);

    fs::detail::limitSystemReads(1000);
    RequestHandler handler = [settings, path](Request request) {
        return sendStaticResponse(std::move(request), fileResponse(settings, path));
    };
    std::optional<HttpResponse> response;
    serveWhile(handler, [&](std::uint16_t port) {
        HttpClient client(port);
        client.sendAll(getRequest("/"));
        response = client.readResponse();
    });
    fs::detail::limitSystemReads(0);
    ASSERT_TRUE(response);
    EXPECT_EQ(response->header("Content-Length"), std::to_string(size));
    EXPECT_EQ(response->body.size(), size);
    EXPECT_TRUE(response->body == content);
}

TEST(StreamedFile, FileGrowingWhileSentSendsOnlyTheAnnouncedBytes) {
    TempFolder folder;
    constexpr std::size_t size = 2u * 1024u * 1024u;
    const std::string content = ServedSite::patternBytes(size, 4);
    folder.writeFile("growing.dat", content);
    const std::string path = folder.join("growing.dat");
    ServerSettings settings = launchSettings(folder.path(), 0);

    RequestHandler handler = [settings, path](Request request) {
        StaticResponse response = fileResponse(settings, path);
        std::filesystem::resize_file(utf8Path(path), size + 5000);
        return sendStaticResponse(std::move(request), std::move(response));
    };
    std::optional<HttpResponse> first, second;
    serveWhile(handler, [&](std::uint16_t port) {
        HttpClient client(port);
        client.sendAll(getRequest("/") + getRequest("/"));
        first = client.readResponse();
        second = client.readResponse();
    });
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->body == content);
    // The connection stays in step: the second answer starts right after the first.
    ASSERT_TRUE(second);
    EXPECT_EQ(second->status, 200);
    EXPECT_EQ(second->body.size(), size + 5000);
}

} // namespace
} // namespace quorvin::testing
