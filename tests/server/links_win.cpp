// Symbolic links through CreateSymbolicLinkW (the C++ library does not make them on Windows).
#include "links.h"

#include "runtime/utf.h"

#include <windows.h>

namespace quorvin::testing {

bool makeSymbolicLink(const std::string& target, const std::string& at, bool directory,
                      std::string& problem) {
    // Without developer mode or the privilege, Windows refuses links unless this flag is given.
    constexpr DWORD allowUnprivileged = 0x2;
    DWORD flags = allowUnprivileged | (directory ? SYMBOLIC_LINK_FLAG_DIRECTORY : 0);
    if (!CreateSymbolicLinkW(toWide(at).c_str(), toWide(target).c_str(), flags)) {
        problem = "system error " + std::to_string(GetLastError());
        return false;
    }
    return true;
}

} // namespace quorvin::testing
