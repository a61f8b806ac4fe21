// Helpers of the window tests: the main window per test, message pumping, the real mouse,
// drop data and the record of the URLs that the shell was asked to open.
#pragma once

#include <windows.h>

#include <ole2.h>

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace quorvin {
class wWindow;
}

namespace quorvin::testing {

// Builds the main window before each test and releases it afterwards; the message loop is
// not entered, the tests pump messages themselves.
class MainWindowTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;
};

// A window's rectangle relative to its parent's client area, and its size.
RECT rectOf(const wWindow& window);
inline int widthOf(const RECT& r) {
    return r.right - r.left;
}
inline int heightOf(const RECT& r) {
    return r.bottom - r.top;
}
// Sizes the main frame (outer size) and lets the layout follow.
void resizeFrame(int width, int height);
// Every required relation of the main panel's layout, and the row's height.
void expectLayoutHolds(int rowHeight);

// Dispatches this thread's messages for the given time.
void pumpFor(int milliseconds);
// Dispatches messages until the condition holds or the time is up; returns the condition.
bool pumpUntil(const std::function<bool()>& condition, int timeoutMs = 2000);

// The real pointer, through SendInput with absolute coordinates.
void moveMouseTo(POINT screenPoint);
void pressLeftButton();
// A key pressed and released on the real keyboard, then 100 ms of messages.
void pressKey(WORD key);
void releaseLeftButton();
POINT centerOf(HWND window);

// A real OLE drag: the left button goes down at `from`, DoDragDrop runs on this thread while
// the pointer moves to `to` and lets go there.
struct DragOutcome {
    HRESULT result = E_FAIL;
    DWORD effect = DROPEFFECT_NONE;
    int milliseconds = 0; // how long DoDragDrop took
};
DragOutcome dragWithTheMouse(IDataObject* data, POINT from, POINT to);

// Whether the screen is the test command's 1920 x 1080 screen and the DPI 96.
bool isStandardScreen();

// A data object holding a CF_HDROP file list (or, for `text`, only CF_UNICODETEXT). The
// caller releases it.
IDataObject* newFileListData(const std::vector<std::string>& paths);
IDataObject* newTextData(const std::wstring& text);

// The URLs that the fake xdg-open has recorded since the last clearOpenedUrls; empty when the
// test runs without it (see urlRecordAvailable).
std::vector<std::string> openedUrls();
void clearOpenedUrls();
bool urlRecordAvailable();
// Waits until at least `count` URLs have been recorded.
std::vector<std::string> waitForOpenedUrls(std::size_t count, int timeoutMs = 5000);

// Whether exactly one URL, the server page "http://127.0.0.1:4321", was opened. Wine's browser
// hand-over appends a slash to a URL without a path on its way to xdg-open.
bool openedOnlyServerPage(const std::vector<std::string>& urls);

} // namespace quorvin::testing
