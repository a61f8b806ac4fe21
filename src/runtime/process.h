// Process-level support: the process id, the report of unhandled exceptions and fatal signals, and
// the limits a program sets on itself at its start.
#pragma once

#include <exception>
#include <functional>
#include <string>
#include <string_view>

namespace quorvin {

unsigned long currentProcessId();

// "Error: unhandled exception: MESSAGE [TYPE]".
std::string unhandledExceptionText(const std::exception& error);

// GUI programs report in a message box without caption; console programs on standard error.
void setReportInMessageBox(bool enabled);

// Shows or prints a fatal report. On POSIX it writes with write(2) alone and so may be called
// from a signal handler; on Windows it uses stdio or a message box, which a handler may find in
// use: the fatal signal handlers call it all the same, as the process ends right after.
void reportFatal(std::string_view text);

// Reports SIGSEGV, SIGABRT, SIGFPE and SIGILL and exits with status 1.
void installFatalSignalHandlers();

// Raises the soft limit on open descriptors to the hard limit (POSIX); nothing on Windows,
// whose socket handles have no such limit. Failures are ignored.
void raiseDescriptorLimit();

// Makes the system folder the only place the loader searches for libraries loaded by name from
// now on, the libraries they import included (Windows): never the program's own folder or the
// current one, where a planted copy could wait (think of a Downloads folder). Call it first thing
// at program start. Nothing on POSIX, whose loader never looks in those folders.
void restrictLibrarySearch();

// Runs the main thread's body; an exception escaping it is reported and gives exit status 1.
int runMain(const std::function<int()>& body);

} // namespace quorvin
