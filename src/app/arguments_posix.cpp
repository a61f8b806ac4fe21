// Command-line arguments on POSIX: the bytes of argv, taken as UTF-8.
#include "app/arguments.h"

namespace quorvin {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    return std::vector<std::string>(argv, argv + argc);
}

} // namespace quorvin
