// The launch of a server for one folder on a pool worker, its settings and its start line, and
// the interrupt handler of the program.
#pragma once

#include "async/asyncfutures.h"
#include "async/threadpool.h"
#include "server/settings.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace quorvin {

// The port every shipped program listens on; tests pass another one.
inline constexpr std::uint16_t defaultListenPort = 4321;

// The settings of a launch for the folder (kept exactly as given).
ServerSettings launchSettings(std::string rootDirectory,
                              std::uint16_t listenPort = defaultListenPort);

// The text as one Windows command-line argument: quoted when empty or holding a space or a tab,
// with backslashes doubled where they precede a quote (its own or the closing one) and every
// quote escaped.
std::string quoteWindowsArgument(std::string_view text);

// "NAME vVERSION started on port: PORT at: http://ADDRESS:PORT/ serving: FOLDER time: TIME pid:
// PID", with the folder quoted by quoteWindowsArgument.
std::string startMessage(const ServerSettings& settings, std::string_view time,
                         unsigned long processId);
// The same at the current local time, for this process.
std::string startMessage(const ServerSettings& settings);

// Creates the server with the handler's own copy of the settings, writes the start line, and
// starts listening; a failure to listen then surfaces from the thread's event loop. The result
// is the listener's future: already failed when the address could not be bound, else pending
// with the socket listening.
Future<void> startServer(const ServerSettings& settings);

// Starts the server for the folder and runs this thread's event loop for ever. It ends only by
// raising the error that ended the loop, such as the OSError of a port already in use.
// onListening, when given, is called once the socket listens and before the loop runs.
[[noreturn]] void launchServer(const std::string& folder,
                               std::uint16_t listenPort = defaultListenPort,
                               const std::function<void()>& onListening = {});

// What the spawner hands to launchTask; the task copies it before its work begins.
struct LaunchArgument {
    std::string folder;
    std::uint16_t listenPort = defaultListenPort;
    // Called on the worker once the server listens, before its event loop runs. May be empty.
    std::function<void()> onListening;
    // Called on the worker with the error that ended the launch, before that error ends the
    // worker thread as every escaping exception of a pool task does. May be empty.
    std::function<void(std::exception_ptr)> onEnd;
};

// The pool task that runs launchServer; its argument is a LaunchArgument.
void launchTask(Worker* worker, void* argument);

// Hands the launch to a pool worker and returns once the worker has copied the argument.
void spawnLaunch(const LaunchArgument& argument);

// Writes "\nExiting..." as one line and ends the process with status 0.
[[noreturn]] void onInterrupt();

// Makes onInterrupt the handler of Ctrl-C, run on a thread of its own so that it may take the
// output lock. On POSIX the signal is blocked in the calling thread and in the threads it starts
// later, and taken by that thread: call it before any other thread starts, or a thread that
// does not block the signal may receive it and end the process without the handler. On Windows
// the system runs the handler on a thread of its own, and the order does not matter.
void installInterruptHandler();

} // namespace quorvin
