// The launch outcome: its hand-over rules, and real launches that listen or fail to bind.
#include "server/launchoutcome.h"

#include "async/plainsockets.h"
#include "async/socketconstants.h"
#include "async/sockethandle.h"
#include "async/threadpool.h"
#include "httpclient.h"
#include "runtime/errors.h"
#include "servedsite.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

namespace quorvin::testing {
namespace {

using namespace std::chrono_literals;
using State = LaunchOutcome::State;

TEST(LaunchOutcome, StaysPendingUntilReportedAndAnEndIsFinal) {
    std::atomic<int> notified{0};
    auto outcome = LaunchOutcome::create([&notified] { ++notified; });
    EXPECT_EQ(outcome->waitFor(10ms), State::Pending);
    EXPECT_EQ(outcome->errorMessage(), "");

    outcome->reportListening();
    EXPECT_EQ(outcome->waitFor(0ms), State::Listening);
    EXPECT_EQ(outcome->error(), nullptr);

    // A server that listened can still end, for example when accepting fails for good.
    outcome->reportEnd(std::make_exception_ptr(OSError(98, "Address already in use")));
    EXPECT_EQ(outcome->state(), State::Failed);
    EXPECT_EQ(outcome->errorMessage(), "Address already in use");
    EXPECT_EQ(launchErrorText(outcome->error()), "Address already in use (system error 98)");

    outcome->reportListening();
    EXPECT_EQ(outcome->state(), State::Failed);
    EXPECT_EQ(notified.load(), 2);
}

TEST(LaunchOutcome, WakesAWaiterOnAnotherThread) {
    auto outcome = LaunchOutcome::create();
    std::thread worker([outcome] {
        std::this_thread::sleep_for(30ms);
        outcome->reportEnd(std::make_exception_ptr(ValueError("bad folder")));
    });
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(outcome->waitFor(5s), State::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    EXPECT_EQ(exceptionMessage(outcome->waitForEnd()), "bad folder");
    worker.join();
}

TEST(LaunchOutcome, ErrorTexts) {
    EXPECT_EQ(exceptionMessage(nullptr), "unknown error");
    EXPECT_EQ(exceptionMessage(std::make_exception_ptr(42)), "unknown error");
    EXPECT_EQ(launchErrorText(std::make_exception_ptr(IOError("no disk"))), "no disk");
}

// A plain listening socket on a loopback port the system chose, closed at the end.
class PortHolder {
public:
    PortHolder() {
        startupSockets();
        handle_ = createOsSocket(osAfInet, osSockStream, osIpprotoTcp);
        addrinfo* address = getAddrInfo("127.0.0.1", 0, osAfInet, osSockStream, osIpprotoTcp);
        const bool bound =
            bindSocket(handle_, firstAddress(address), firstAddressLength(address)) == 0;
        freeAddrInfo(address);
        if (bound && listenSocket(handle_, 4) == 0) {
            port_ = localPort(handle_);
        }
    }
    ~PortHolder() { closeOsSocket(handle_); }
    PortHolder(const PortHolder&) = delete;
    PortHolder& operator=(const PortHolder&) = delete;
    std::uint16_t port() const { return port_; }

private:
    SocketHandle handle_ = osInvalidSocket;
    std::uint16_t port_ = 0;
};

TEST(LaunchOutcomeOfALaunch, FreePortReportsListeningAndServes) {
    const ServedSite& site = ServedSite::instance(); // starts the pool and owns the site folder
    const std::uint16_t port = freeLoopbackPort();
    std::atomic<int> notified{0};
    auto outcome = LaunchOutcome::create([&notified] { ++notified; });
    const auto start = std::chrono::steady_clock::now();
    spawnLaunch(outcome->launchArgument(site.root(), port));
    ASSERT_EQ(outcome->waitFor(10s), State::Listening);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    // The notification follows the change of state, outside the lock.
    for (int i = 0; i < 100 && notified.load() == 0; ++i) {
        std::this_thread::sleep_for(10ms);
    }
    EXPECT_EQ(notified.load(), 1);
    // Reported only once the socket listens: the first request is answered without a retry.
    EXPECT_EQ(fetchGet(port, "/hello.html").body, "<p>hello</p>");
}

TEST(LaunchOutcomeOfALaunch, PortHeldByAnotherSocketReportsFailedWithTheSystemError) {
    const ServedSite& site = ServedSite::instance();
    PortHolder holder;
    ASSERT_NE(holder.port(), 0);
    auto outcome = LaunchOutcome::create();
    const auto start = std::chrono::steady_clock::now();
    spawnLaunch(outcome->launchArgument(site.root(), holder.port()));
    ASSERT_EQ(outcome->waitFor(10s), State::Failed);
    EXPECT_LT(std::chrono::steady_clock::now() - start, 3s);
    try {
        std::rethrow_exception(outcome->error());
    } catch (const OSError& error) {
        EXPECT_EQ(outcome->errorMessage(), error.message());
        EXPECT_EQ(error.message(), osErrorMessage(error.code()));
        EXPECT_NE(error.code(), 0);
    } catch (...) {
        ADD_FAILURE() << "not an OSError: " << outcome->errorMessage();
    }
}

} // namespace
} // namespace quorvin::testing
