// System error texts from FormatMessageW.
#include "runtime/errors.h"
#include "runtime/utf.h"

#include <windows.h>

namespace quorvin {

int lastOsErrorCode() {
    return static_cast<int>(GetLastError());
}

std::string osErrorMessage(int code) {
    wchar_t* buffer = nullptr;
    DWORD length = FormatMessageW(
        FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
        nullptr, static_cast<DWORD>(code), MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
        reinterpret_cast<LPWSTR>(&buffer), 0, nullptr);
    if (length == 0 || buffer == nullptr) {
        return "unknown OS error";
    }
    std::wstring text(buffer, length);
    LocalFree(buffer);
    // The system ends its texts with a line break.
    while (!text.empty() && (text.back() == L'\n' || text.back() == L'\r' || text.back() == L' ')) {
        text.pop_back();
    }
    return text.empty() ? "unknown OS error" : fromWide(text);
}

} // namespace quorvin
