// quorvin-serve FOLDER: serves the folder on http://127.0.0.1:4321/ from a pool worker, as the
// window does, until interrupted or until the launch ends with an error.
#include "app/arguments.h"
#include "async/asyncdispatch.h"
#include "async/threadpool.h"
#include "runtime/errors.h"
#include "runtime/paths.h"
#include "runtime/process.h"
#include "server/launch.h"
#include "server/launchoutcome.h"
#include "server/pathrules.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvin {

namespace {

constexpr int usageStatus = 2;
constexpr int launchFailedStatus = 1;

// For the test harness only, which must not collide with a server a user runs on the real port:
// QUORVIN_TEST_PORT, when set, names the port. Nothing else in the program reads it.
std::optional<std::uint16_t> listenPort() {
    const char* text = std::getenv("QUORVIN_TEST_PORT");
    if (text == nullptr) {
        return defaultListenPort;
    }
    std::string digits(text);
    if (digits.empty() || digits.size() > 5 ||
        digits.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    unsigned long port = std::stoul(digits);
    if (port == 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

int serveFolder(const std::vector<std::string>& arguments) {
    if (arguments.size() != 2) {
        std::fputs("usage: quorvin-serve FOLDER\n", stderr);
        return usageStatus;
    }
    const std::string& given = arguments[1];
    std::string folder = given.empty() ? std::string() : absoluteFolderPath(given);
    if (folder.empty() || !directoryExists(folder)) {
        std::fprintf(stderr, "Not a folder - %s\n", given.c_str());
        return usageStatus;
    }
    std::optional<std::uint16_t> port = listenPort();
    if (!port) {
        std::fputs("QUORVIN_TEST_PORT is not a port number\n", stderr);
        return usageStatus;
    }
    startThreadPool();
    startupSockets();

    std::shared_ptr<LaunchOutcome> outcome = LaunchOutcome::create();
    spawnLaunch(outcome->launchArgument(folder, *port));
    // The launch never ends while it serves; Ctrl-C ends the process from its own thread.
    std::exception_ptr error = outcome->waitForEnd();
    std::fprintf(stderr, "%s\n", launchErrorText(error).c_str());
    return launchFailedStatus;
}

} // namespace

} // namespace quorvin

int main(int argc, char** argv) {
    quorvin::installFatalSignalHandlers();
    return quorvin::runMain([argc, argv] {
        // First of all, before any thread starts: the interrupt handler relies on it.
        quorvin::installInterruptHandler();
        return quorvin::serveFolder(quorvin::commandLineArguments(argc, argv));
    });
}
