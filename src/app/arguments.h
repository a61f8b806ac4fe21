// The program's command-line arguments as UTF-8 strings.
#pragma once

#include <string>
#include <vector>

namespace quorvin {

// Every argument, the program name first. On Windows they are taken from the UTF-16 command
// line, so folder names outside the ANSI code page survive.
std::vector<std::string> commandLineArguments(int argc, char** argv);

} // namespace quorvin
