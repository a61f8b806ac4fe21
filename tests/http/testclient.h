// A blocking loopback client for the server tests, with time-outs so that no test can hang.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace quorvin::testing {

class TestClient {
public:
    // Connects to 127.0.0.1:port; a failure fails the current test and leaves the client closed.
    explicit TestClient(std::uint16_t port);
    ~TestClient();
    TestClient(const TestClient&) = delete;
    TestClient& operator=(const TestClient&) = delete;

    bool connected() const;
    void sendAll(std::string_view data);
    // Reads until `count` bytes arrived, the peer closed, or the time-out passed.
    std::string receive(std::size_t count, int timeoutMs = 3000);
    // Reads until the peer closes (or the time-out passes); true when it did close.
    bool receiveUntilClosed(std::string& out, int timeoutMs = 3000);
    // True when nothing arrives and the connection stays open for `waitMs`.
    bool staysOpenAndSilent(int waitMs = 150);
    // Ends the sending direction only; the client can still read.
    void shutdownWrite();
    // Resets the connection (RST) instead of closing it in order.
    void abortConnection();
    void close();
    // Waits up to timeoutMs for readability; then reads. -1 on time-out or error, 0 at close.
    long receiveSome(char* buffer, std::size_t size, int timeoutMs);
    // Sends as much of `data` as the server takes within the time; the count sent. For clients
    // that flood a server which stops reading from them.
    std::size_t sendFor(std::string_view data, int timeoutMs);
    // Waits up to timeoutMs for room to send; then sends. -1 on time-out or error.
    long sendSome(const char* data, std::size_t size, int timeoutMs);

private:
    std::intptr_t socket_;
};

// The number of descriptors this process has open (POSIX), or -1 where the system offers no such
// count (Windows).
int openDescriptorCount();

// The resident memory of this process now, and the most it has had, in bytes; -1 where the system
// offers no such figure.
long long residentBytes();
long long peakResidentBytes();

// Whether something accepts connections on 127.0.0.1:port; reports no test failure.
bool canConnect(std::uint16_t port);

// A loopback port that the system handed out for a moment; 0 when it would not.
std::uint16_t probeFreePort();

// The numeric local address that a bound socket handle has, for example "0.0.0.0".
std::string localAddressOf(std::intptr_t handle);

// The current value of an integer socket option, or -1 when it cannot be read.
int socketOptionValue(std::intptr_t handle, int level, int name);

} // namespace quorvin::testing
