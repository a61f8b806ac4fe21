// Runs a program of the test build as a child process and collects what it wrote.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace quorvin::testing {

using EnvironmentValues = std::vector<std::pair<std::wstring, std::wstring>>;

struct ChildOutcome {
    DWORD exitCode = 0;
    std::string output; // standard output and standard error together
    bool timedOut = false;
};

// A child process with these variables added to its environment, writing standard output and
// standard error to a temporary file; ended and waited for when its holder goes.
class RunningChild {
public:
    RunningChild(const std::wstring& program, const std::wstring& arguments,
                 const EnvironmentValues& environment = {});
    ~RunningChild();
    RunningChild(const RunningChild&) = delete;
    RunningChild& operator=(const RunningChild&) = delete;

    bool started() const { return process_.hProcess != nullptr; }
    HANDLE process() const { return process_.hProcess; }
    DWORD processId() const { return process_.dwProcessId; }
    // What it has written so far.
    std::string output() const;
    // Waits until its output holds `text`; false when it ended or the time passed first.
    bool waitForOutput(const std::string& text, DWORD timeoutMs);
    // Waits for its end (killing it after `timeoutMs`) and tells how it ended.
    ChildOutcome waitForEnd(DWORD timeoutMs);

private:
    std::wstring outputPath_;
    HANDLE output_ = INVALID_HANDLE_VALUE;
    PROCESS_INFORMATION process_{};
};

// Runs the program with the arguments and these variables added to the environment, and waits
// for its end (killing it after `timeoutMs`).
ChildOutcome runChild(const std::wstring& program, const std::wstring& arguments,
                      const EnvironmentValues& environment = {}, DWORD timeoutMs = 20000);

// The path of this test program, and of a file in a folder below or beside it.
std::wstring ownProgramPath();
std::wstring besideOwnProgram(const std::wstring& relative);

} // namespace quorvin::testing
