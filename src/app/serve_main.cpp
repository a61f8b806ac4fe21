// quorvin-serve [--port N] FOLDER: serves the folder on http://127.0.0.1:4321/ (or port N) from a
// pool worker, as the window does, until interrupted or until the launch ends with an error.
// --help and --version answer on standard output; any other mistake gives the usage on standard
// error and status 2.
#include "app/arguments.h"
#include "async/plainsockets.h"
#include "async/threadpool.h"
#include "runtime/errors.h"
#include "runtime/paths.h"
#include "runtime/process.h"
#include "server/launch.h"
#include "server/launchoutcome.h"
#include "server/pathrules.h"
#include "server/settings.h"

#include <cstdio>
#include <exception>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace quorvin {

namespace {

constexpr int usageStatus = 2;
constexpr int launchFailedStatus = 1;

constexpr const char* usageLine = "usage: quorvin-serve [--port N] FOLDER\n";
// What --help adds to the usage line. The manual page quorvin-serve.1 says the same; the test
// command compares the two.
constexpr const char* helpDetails =
    "Serves FOLDER as a static web site on http://127.0.0.1:4321/ until interrupted.\n"
    "\n"
    "  --port N    serve on port N (1 to 65535) instead of 4321\n"
    "  --help      print this help and exit\n"
    "  --version   print the version and exit\n";

enum class ServeAction { ServeFolder, ShowHelp, ShowVersion };

// What the command line asks for.
struct ServeOptions {
    ServeAction action = ServeAction::ServeFolder;
    std::uint16_t port = defaultListenPort;
    std::string folder;
};

// A port of one to five decimal digits, 1 to 65535.
std::optional<std::uint16_t> parsePort(const std::string& text) {
    if (text.empty() || text.size() > 5 ||
        text.find_first_not_of("0123456789") != std::string::npos) {
        return std::nullopt;
    }
    const unsigned long port = std::stoul(text);
    if (port == 0 || port > 65535) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(port);
}

// "[--port N] FOLDER", or --help or --version, which end the line where they stand; nothing
// (after a message on standard error) when a mistake comes first.
std::optional<ServeOptions> parseOptions(const std::vector<std::string>& arguments) {
    ServeOptions options;
    bool haveFolder = false;
    for (std::size_t i = 1; i < arguments.size(); ++i) {
        const std::string& argument = arguments[i];
        if (argument == "--help" || argument == "--version") {
            options.action =
                argument == "--help" ? ServeAction::ShowHelp : ServeAction::ShowVersion;
            return options;
        }
        if (argument == "--port" && i + 1 < arguments.size()) {
            std::optional<std::uint16_t> port = parsePort(arguments[++i]);
            if (!port) {
                std::fprintf(stderr,
                             "quorvin-serve: --port needs a number from 1 to 65535, not \"%s\"\n",
                             arguments[i].c_str());
                return std::nullopt;
            }
            options.port = *port;
        } else if (argument.starts_with("--") || haveFolder) {
            std::fputs(usageLine, stderr);
            return std::nullopt;
        } else {
            options.folder = argument;
            haveFolder = true;
        }
    }
    if (!haveFolder) {
        std::fputs(usageLine, stderr);
        return std::nullopt;
    }
    return options;
}

// "Quorvin v20.08.14": the name and version that every launch states in its start line.
std::string versionLine() {
    const ServerSettings settings = launchSettings({});
    return settings.serverName + " v" + settings.serverVersion + "\n";
}

int serveFolder(const std::vector<std::string>& arguments) {
    std::optional<ServeOptions> options = parseOptions(arguments);
    if (!options) {
        return usageStatus;
    }
    if (options->action != ServeAction::ServeFolder) {
        const std::string text = options->action == ServeAction::ShowHelp
                                     ? std::string(usageLine) + helpDetails
                                     : versionLine();
        std::fputs(text.c_str(), stdout);
        std::fflush(stdout);
        return 0;
    }
    const std::string& given = options->folder;
    std::string folder = given.empty() ? std::string() : absoluteFolderPath(given);
    if (folder.empty() || !directoryExists(folder)) {
        std::fprintf(stderr, "Not a folder - %s\n", given.c_str());
        return usageStatus;
    }
    // Every connection holds a descriptor; the soft limit is often far below what the system
    // allows this process.
    raiseDescriptorLimit();
    startThreadPool();
    startupSockets();

    std::shared_ptr<LaunchOutcome> outcome = LaunchOutcome::create();
    spawnLaunch(outcome->launchArgument(folder, options->port));
    // The launch never ends while it serves; Ctrl-C ends the process from its own thread.
    std::exception_ptr error = outcome->waitForEnd();
    std::fprintf(stderr, "%s\n", launchErrorText(error).c_str());
    return launchFailedStatus;
}

} // namespace

} // namespace quorvin

int main(int argc, char** argv) {
    // Before anything loads a library by name: never one planted beside the program.
    quorvin::restrictLibrarySearch();
    quorvin::installFatalSignalHandlers();
    return quorvin::runMain([argc, argv] {
        // First of all, before any thread starts: the interrupt handler relies on it.
        quorvin::installInterruptHandler();
        return quorvin::serveFolder(quorvin::commandLineArguments(argc, argv));
    });
}
