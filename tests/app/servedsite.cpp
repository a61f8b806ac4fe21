// Fetching from the window's server with the test client.
#include "servedsite.h"

#include "testclient.h"

namespace quorvin::testing {

namespace {

constexpr std::uint16_t windowServerPort = 4321;

} // namespace

std::string fetchFromWindowServer(const std::string& target) {
    TestClient client(windowServerPort);
    client.sendAll("GET " + target +
                   " HTTP/1.1\r\nHost: 127.0.0.1:4321\r\nConnection: close\r\n\r\n");
    std::string response;
    client.receiveUntilClosed(response, 5000);
    return response;
}

std::string statusLineOf(const std::string& response) {
    return response.substr(0, response.find("\r\n"));
}

std::string bodyOf(const std::string& response) {
    const std::size_t end = response.find("\r\n\r\n");
    return end == std::string::npos ? std::string() : response.substr(end + 4);
}

} // namespace quorvin::testing
