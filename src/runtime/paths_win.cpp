// Absolute paths from GetFullPathNameW on Windows.
#include "runtime/paths.h"
#include "runtime/utf.h"

#include <windows.h>

#include <vector>

namespace quorvin {

const char pathSeparator = '\\';

std::string absolutePath(std::string_view path) {
    std::wstring wide = toWide(path);
    DWORD needed = GetFullPathNameW(wide.c_str(), 0, nullptr, nullptr);
    if (needed == 0) {
        return std::string(path);
    }
    std::vector<wchar_t> buffer(needed + 1);
    DWORD length = GetFullPathNameW(wide.c_str(), needed + 1, buffer.data(), nullptr);
    if (length == 0 || length > needed) {
        return std::string(path);
    }
    return fromWide(std::wstring_view(buffer.data(), length));
}

std::string absoluteFolderPath(std::string_view path) {
    return stripTrailingSeparators(absolutePath(path));
}

} // namespace quorvin
