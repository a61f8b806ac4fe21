// The platform-neutral parts of the test client.
#include "testclient.h"

#include <chrono>

namespace quorvin::testing {

namespace {

int remainingMs(std::chrono::steady_clock::time_point deadline) {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return left.count() < 0 ? 0 : static_cast<int>(left.count());
}

} // namespace

std::string TestClient::receive(std::size_t count, int timeoutMs) {
    std::string out;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    while (out.size() < count) {
        const long got = receiveSome(
            buffer, sizeof buffer < count - out.size() ? sizeof buffer : count - out.size(),
            remainingMs(deadline));
        if (got <= 0) {
            break;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
    return out;
}

bool TestClient::receiveUntilClosed(std::string& out, int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    char buffer[65536];
    for (;;) {
        const long got = receiveSome(buffer, sizeof buffer, remainingMs(deadline));
        if (got == 0) {
            return true;
        }
        if (got < 0) {
            return false;
        }
        out.append(buffer, static_cast<std::size_t>(got));
    }
}

bool TestClient::staysOpenAndSilent(int waitMs) {
    char byte;
    return receiveSome(&byte, 1, waitMs) < 0;
}

} // namespace quorvin::testing
