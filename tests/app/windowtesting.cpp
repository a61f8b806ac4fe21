// Window test helpers: fixture, message pump, SendInput mouse and the URL record.
#include "windowtesting.h"

#include "app/mainwindow.h"
#include <chrono>
#include <cstdlib>
#include <fstream>

namespace quorvin::testing {

void MainWindowTest::SetUp() {
    clearOpenedUrls();
    createMainWindow();
    pumpFor(100);
}

void MainWindowTest::TearDown() {
    releaseMainWindow();
    pumpFor(20);
}

void pumpFor(int milliseconds) {
    pumpUntil([] { return false; }, milliseconds);
}

bool pumpUntil(const std::function<bool()>& condition, int timeoutMs) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (!condition()) {
        if (std::chrono::steady_clock::now() >= end) {
            return false;
        }
        MSG message{};
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
    return true;
}

namespace {

void sendMouse(DWORD flags, LONG dx = 0, LONG dy = 0) {
    INPUT input{};
    input.type = INPUT_MOUSE;
    input.mi.dx = dx;
    input.mi.dy = dy;
    input.mi.dwFlags = flags;
    SendInput(1, &input, sizeof input);
}

} // namespace

void moveMouseTo(POINT screenPoint) {
    const LONG width = GetSystemMetrics(SM_CXSCREEN);
    const LONG height = GetSystemMetrics(SM_CYSCREEN);
    // The centre of the pixel, in the 0..65535 range of absolute input.
    const LONG dx = static_cast<LONG>((screenPoint.x * 65536LL + 32768) / width);
    const LONG dy = static_cast<LONG>((screenPoint.y * 65536LL + 32768) / height);
    sendMouse(MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE, dx, dy);
    pumpFor(60);
}

void pressLeftButton() {
    sendMouse(MOUSEEVENTF_LEFTDOWN);
    pumpFor(60);
}

void releaseLeftButton() {
    sendMouse(MOUSEEVENTF_LEFTUP);
    pumpFor(60);
}

POINT centerOf(HWND window) {
    RECT bounds{};
    GetWindowRect(window, &bounds);
    return POINT{(bounds.left + bounds.right) / 2, (bounds.top + bounds.bottom) / 2};
}

bool isStandardScreen() {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return GetSystemMetrics(SM_CXSCREEN) == 1920 && GetSystemMetrics(SM_CYSCREEN) == 1080 &&
           dpi == 96;
}

namespace {

// The record file of the fake xdg-open, as a path this process can open.
std::string urlRecordPath() {
    const char* unixPath = std::getenv("QUORVIN_OPENED_URLS");
    if (unixPath == nullptr || unixPath[0] == '\0') {
        return {};
    }
    std::string path = unixPath;
    if (path[0] == '/') {
        // Wine maps the Unix root to drive Z.
        for (char& c : path) {
            c = c == '/' ? '\\' : c;
        }
        path = "Z:" + path;
    }
    return path;
}

} // namespace

bool urlRecordAvailable() {
    return !urlRecordPath().empty();
}

std::vector<std::string> openedUrls() {
    std::vector<std::string> urls;
    std::ifstream record(urlRecordPath());
    std::string line;
    while (std::getline(record, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (!line.empty()) {
            urls.push_back(line);
        }
    }
    return urls;
}

void clearOpenedUrls() {
    if (urlRecordAvailable()) {
        std::ofstream(urlRecordPath(), std::ios::trunc);
    }
}

std::vector<std::string> waitForOpenedUrls(std::size_t count, int timeoutMs) {
    pumpUntil([count] { return openedUrls().size() >= count; }, timeoutMs);
    return openedUrls();
}

bool openedOnlyServerPage(const std::vector<std::string>& urls) {
    return urls.size() == 1 &&
           (urls[0] == "http://127.0.0.1:4321" || urls[0] == "http://127.0.0.1:4321/");
}

} // namespace quorvin::testing
