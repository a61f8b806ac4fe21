// Process id, fatal reports (a message box without caption for GUI programs) and the library
// search of a program on Windows.
#include "runtime/process.h"
#include "runtime/utf.h"

#include <windows.h>

#include <atomic>
#include <cstdio>

namespace quorvin {

namespace {
std::atomic<bool> reportInMessageBox{false};
}

unsigned long currentProcessId() {
    return GetCurrentProcessId();
}

void setReportInMessageBox(bool enabled) {
    reportInMessageBox = enabled;
}

void reportFatal(std::string_view text) {
    if (reportInMessageBox) {
        MessageBoxW(nullptr, toWide(text).c_str(), nullptr, MB_OK | MB_ICONERROR);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

void raiseDescriptorLimit() {}

void restrictLibrarySearch() {
    // Resolved by name: Windows 7 has it only with its loader update.
    using SetDirectories = BOOL(WINAPI*)(DWORD);
    auto setDirectories = reinterpret_cast<SetDirectories>(reinterpret_cast<void (*)()>(
        GetProcAddress(GetModuleHandleW(L"kernel32.dll"), "SetDefaultDllDirectories")));
    if (setDirectories != nullptr) {
        setDirectories(LOAD_LIBRARY_SEARCH_SYSTEM32);
    }
}

} // namespace quorvin
