// The server address and openInBrowser over ShellExecuteW.
#include "app/browsers.h"

#include "runtime/errors.h"
#include "runtime/utf.h"

#include <windows.h>

#include <shellapi.h>

namespace quorvin {

std::string serverAddress() {
    return "127.0.0.1:4321";
}

void openServerPage() {
    openInBrowser("http://" + serverAddress());
}

void openInBrowser(const std::string& url) {
    if (url.empty()) {
        throw AssertionError("browsers(66, 12) `url.len > 0` URL must not be empty string");
    }
    std::wstring target = toWide(url);
    if (url.find("://") == std::string::npos) {
        wchar_t absolute[MAX_PATH * 4] = {};
        GetFullPathNameW(target.c_str(), MAX_PATH * 4, absolute, nullptr);
        target = L"file://" + std::wstring(absolute);
    }
    ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL);
}

} // namespace quorvin
