// Process id and fatal reports on Windows: a message box without caption for GUI programs.
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

} // namespace quorvin
