// Command-line arguments on Windows: split from the UTF-16 command line and converted to UTF-8.
#include "app/arguments.h"

#include "runtime/utf.h"

#include <windows.h>

#include <shellapi.h>

namespace quorvin {

std::vector<std::string> commandLineArguments(int argc, char** argv) {
    int count = 0;
    LPWSTR* wide = CommandLineToArgvW(GetCommandLineW(), &count);
    if (wide == nullptr) {
        return std::vector<std::string>(argv, argv + argc);
    }
    std::vector<std::string> arguments;
    for (int i = 0; i < count; ++i) {
        arguments.push_back(fromWide(wide[i]));
    }
    LocalFree(wide);
    return arguments;
}

} // namespace quorvin
