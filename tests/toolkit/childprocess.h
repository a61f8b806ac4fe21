// Runs a program of the test build as a child process and collects what it wrote.
#pragma once

#include <windows.h>

#include <string>
#include <utility>
#include <vector>

namespace quorvin::testing {

struct ChildOutcome {
    DWORD exitCode = 0;
    std::string output; // standard output and standard error together
    bool timedOut = false;
};

// Runs the program with the arguments and these variables added to the environment, and waits
// for its end (killing it after `timeoutMs`).
ChildOutcome runChild(const std::wstring& program, const std::wstring& arguments,
                      const std::vector<std::pair<std::wstring, std::wstring>>& environment = {},
                      DWORD timeoutMs = 20000);

// The path of this test program, and of a file in a folder below or beside it.
std::wstring ownProgramPath();
std::wstring besideOwnProgram(const std::wstring& relative);

} // namespace quorvin::testing
