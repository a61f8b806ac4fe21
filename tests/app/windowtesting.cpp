// Window test helpers: fixture, message pump, SendInput mouse and the URL record.
#include "windowtesting.h"

#include "app/mainwindow.h"

#include <chrono>
#include <cmath>
#include <cstdlib>
#include <fstream>
#include <thread>

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

RECT rectOf(const wWindow& window) {
    return window.rect();
}

void resizeFrame(int width, int height) {
    mainFrame->setSize(width, height);
    pumpFor(50);
}

// Every required relation of the layout, and the row's height.
void expectLayoutHolds(int rowHeight) {
    SIZE panel = mainPanel->clientSize();
    SIZE client = mainFrame->clientSize();
    RECT bar = rectOf(*statusBar);
    EXPECT_EQ(panel.cx, client.cx);
    EXPECT_EQ(panel.cy, client.cy - heightOf(bar));
    RECT help = rectOf(*helpText);
    RECT home = rectOf(*homeLink);
    RECT button = rectOf(*selectFolderButton);
    RECT contact = rectOf(*contactLink);
    EXPECT_EQ(help.left, 0);
    EXPECT_EQ(help.top, 0);
    EXPECT_EQ(help.right, panel.cx);
    EXPECT_EQ(help.bottom, panel.cy - rowHeight);
    for (const RECT& row : {home, button, contact}) {
        EXPECT_EQ(row.top, help.bottom);
        EXPECT_EQ(row.bottom, panel.cy);
    }
    EXPECT_EQ(home.left, 15);
    EXPECT_EQ(button.left, home.right + 10);
    EXPECT_EQ(contact.left, button.right + 10);
    EXPECT_LE(std::abs(contact.right - static_cast<int>(std::lround(0.75 * panel.cx))), 1);
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
            // As the program's message loop does.
            if (!wApp::filterMessage(message)) {
                TranslateMessage(&message);
                DispatchMessageW(&message);
            }
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

void pressKey(WORD key) {
    INPUT inputs[2]{};
    for (INPUT& input : inputs) {
        input.type = INPUT_KEYBOARD;
        input.ki.wVk = key;
    }
    inputs[1].ki.dwFlags = KEYEVENTF_KEYUP;
    SendInput(2, inputs, sizeof(INPUT));
    pumpFor(100);
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

namespace {

// A drag source that drops where the left button is released.
class ReleaseDropSource final : public IDropSource {
public:
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropSource)) {
            *object = static_cast<IDropSource*>(this);
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    // Lives on the stack of the drag.
    ULONG STDMETHODCALLTYPE AddRef() override { return 2; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE QueryContinueDrag(BOOL escape, DWORD keys) override {
        if (escape) {
            return DRAGDROP_S_CANCEL;
        }
        return (keys & MK_LBUTTON) != 0 ? S_OK : DRAGDROP_S_DROP;
    }
    HRESULT STDMETHODCALLTYPE GiveFeedback(DWORD) override { return DRAGDROP_S_USEDEFAULTCURSORS; }
};

} // namespace

DragOutcome dragWithTheMouse(IDataObject* data, POINT from, POINT to) {
    moveMouseTo(from);
    pressLeftButton();
    // The pointer moves and lets go while the drag's own loop runs on this thread.
    std::thread hand([to] {
        Sleep(300);
        const LONG width = GetSystemMetrics(SM_CXSCREEN);
        const LONG height = GetSystemMetrics(SM_CYSCREEN);
        for (int step = 1; step <= 4; ++step) {
            INPUT input{};
            input.type = INPUT_MOUSE;
            input.mi.dx = static_cast<LONG>(((to.x - 8 + 2 * step) * 65536LL + 32768) / width);
            input.mi.dy = static_cast<LONG>((to.y * 65536LL + 32768) / height);
            input.mi.dwFlags = MOUSEEVENTF_MOVE | MOUSEEVENTF_ABSOLUTE;
            SendInput(1, &input, sizeof input);
            Sleep(100);
        }
        INPUT release{};
        release.type = INPUT_MOUSE;
        release.mi.dwFlags = MOUSEEVENTF_LEFTUP;
        SendInput(1, &release, sizeof release);
    });
    ReleaseDropSource source;
    DragOutcome outcome;
    const auto start = std::chrono::steady_clock::now();
    outcome.result = DoDragDrop(data, &source, DROPEFFECT_COPY | DROPEFFECT_MOVE, &outcome.effect);
    outcome.milliseconds = static_cast<int>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                                std::chrono::steady_clock::now() - start)
                                                .count());
    hand.join();
    return outcome;
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
