// Launch of the static server: settings, start line, listener start and the pool task.
#include "server/launch.h"

#include "async/asyncdispatch.h"
#include "http/httpserver.h"
#include "runtime/clock.h"
#include "runtime/output.h"
#include "runtime/process.h"
#include "server/handler.h"
#include "server/mimetable.h"
#include "server/servedfolder.h"

#include <cstdlib>
#include <utility>

namespace quorvin {

ServerSettings launchSettings(std::string rootDirectory, std::uint16_t listenPort) {
    ServerSettings settings;
    settings.logRequests = false;
    settings.rootDirectory = std::move(rootDirectory);
    settings.servedFolder = std::make_shared<const fs::ServedFolder>(settings.rootDirectory);
    settings.mimeTable = newMimeTable();
    addMimeType(settings.mimeTable, "htm", "text/html");
    settings.listenPort = listenPort;
    settings.listenAddress = "127.0.0.1";
    settings.serverName = "Quorvin";
    settings.serverVersion = "20.08.14";
    return settings;
}

std::string quoteWindowsArgument(std::string_view text) {
    const bool quoted = text.empty() || text.find_first_of(" \t") != std::string_view::npos;
    std::string out;
    if (quoted) {
        out += '"';
    }
    std::size_t backslashes = 0;
    for (char c : text) {
        if (c == '\\') {
            ++backslashes;
            out += c;
            continue;
        }
        if (c == '"') {
            // The run of backslashes before the quote is doubled, then the quote is escaped.
            out.append(backslashes + 1, '\\');
        }
        backslashes = 0;
        out += c;
    }
    if (quoted) {
        out.append(backslashes, '\\');
        out += '"';
    }
    return out;
}

std::string startMessage(const ServerSettings& settings, std::string_view time,
                         unsigned long processId) {
    const std::string port = std::to_string(settings.listenPort);
    const std::string address = fillTemplate("http://$1:$2/", {settings.listenAddress, port});
    return fillTemplate("$1 v$2 started on port: $3 at: $4 serving: $5 time: $6 pid: $7",
                        {settings.serverName, settings.serverVersion, port, address,
                         quoteWindowsArgument(settings.rootDirectory), time,
                         std::to_string(processId)});
}

std::string startMessage(const ServerSettings& settings) {
    return startMessage(settings, currentDateTime(), currentProcessId());
}

Future<void> startServer(const ServerSettings& settings) {
    // The dispatcher must exist before serve runs, so that a listener failing at once is raised
    // from the loop like a later failure, not lost in a callback run on the spot.
    currentDispatcher();
    RequestHandler handler = staticRequestHandler(settings);
    HttpServer server = createHttpServer(true, false, defaultMaxBodyLength);
    writeLine(startMessage(settings));
    // serve runs up to its first accept inside the call, so bind and listen are done on return.
    Future<void> listener =
        serve(server, settings.listenPort, std::move(handler), settings.listenAddress);
    asyncCheck(listener);
    return listener;
}

void launchServer(const std::string& folder, std::uint16_t listenPort,
                  const std::function<void()>& onListening) {
    ServerSettings settings = launchSettings(folder, listenPort);
    Future<void> listener = startServer(settings);
    if (!listener.failed() && onListening) {
        onListening();
    }
    runLoopForever();
}

void launchTask(Worker* worker, void* argument) {
    LaunchArgument launch = *static_cast<const LaunchArgument*>(argument);
    taskStartedNotify(worker);
    try {
        launchServer(launch.folder, launch.listenPort, launch.onListening);
    } catch (...) {
        if (launch.onEnd) {
            launch.onEnd(std::current_exception());
        }
        throw;
    }
}

void spawnLaunch(const LaunchArgument& argument) {
    spawnTask(launchTask, const_cast<LaunchArgument*>(&argument));
}

void onInterrupt() {
    writeLine("\nExiting...");
    std::_Exit(0);
}

} // namespace quorvin
