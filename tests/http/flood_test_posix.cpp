// A client that floods the server with bad request lines (POSIX: see the end of the test).
#include "http/asynchttpserver.h"

#include "serverthread.h"
#include "testclient.h"

#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>
#include <utility>

using namespace quorvin;
using namespace quorvin::testing;

namespace {

// ThreadSanitizer keeps shadow memory beside every byte the server touches, several times its size.
// AddressSanitizer holds freed blocks back from reuse for a while, so a million short-lived answers
// leave more resident than they would: run alone, the test saw 77 MB.
#if defined(__SANITIZE_THREAD__)
constexpr long long shadowFactor = 4;
#elif defined(__SANITIZE_ADDRESS__)
constexpr long long shadowFactor = 2;
#else
constexpr long long shadowFactor = 1;
#endif

} // namespace

// A client that sends bad request lines and never reads its answers: the answers that have not
// gone out stay within a small bound, and they arrive once the client reads.
TEST(Flood, BadLinesFromAClientThatNeverReadsCostBoundedMemory) {
    ServerThread server([](Request request) { return respond(request, 200, "ok"); });
    std::string lines;
    for (int i = 0; i < 1024 * 1024; ++i) {
        lines += "X\n";
    }
    // One request first, so that the server's thread has the memory that any request needs.
    TestClient flood(server.port());
    const std::string served = "HTTP/1.1 200 OK\r\nContent-Length: 2\r\n\r\nok";
    flood.sendAll("GET /first HTTP/1.1\r\n\r\n");
    EXPECT_EQ(flood.receive(served.size()), served);
    const long long before = residentBytes();
    if (before < 0) {
        GTEST_SKIP() << "no figure of resident memory on this system";
    }
    const std::size_t sent = flood.sendFor(lines, 3000);
    // The server has read what it will read, all of it or as much as it took before it stopped
    // reading, once its memory holds still.
    long long now = residentBytes();
    for (long long last = -1, checks = 0; now != last && checks < 25; ++checks) {
        std::this_thread::sleep_for(std::chrono::milliseconds(200));
        last = std::exchange(now, residentBytes());
    }
    const long long grown = now - before;
    // Unflooded, the 1M answers pile up in hundreds of MB. What stays is the system's send
    // buffer's worth of completed sends that the loop has yet to deliver, one per step.
    EXPECT_LT(grown, shadowFactor * (64LL << 20)) << sent << " bytes sent";

    const std::string badRequest = "HTTP/1.1 400 Bad Request\r\nContent-Length: 15\r\n\r\n"
                                   "400 Bad Request";
    std::string answers;
    for (int i = 0; i < 1000; ++i) {
        answers += badRequest;
    }
    EXPECT_EQ(flood.receive(answers.size()), answers) << "the first lines have their answers";
    // Gone at once, with the rest of its lines unread; Linux drops them then, while Wine hands
    // the server every line that had arrived, which then takes longer than the test's wind-down.
    flood.abortConnection();
}
