// Drives the running quorvin.exe from another Windows process, for tools/screenshot_window:
//   window_driver button-rect    prints the screen rectangle of "Select Folder" as "x y w h"
//   window_driver click-button   clicks it with BM_CLICK
//   window_driver choose PATH    answers the open folder chooser with PATH and OK
// Each waits up to 20 seconds for the window it needs and exits with 1 when it does not come.
#include <windows.h>

#include <cstdio>
#include <string>

namespace {

struct Search {
    const wchar_t* className;
    const wchar_t* text; // null: any text
    HWND found = nullptr;
};

bool matches(HWND window, const Search& search) {
    wchar_t name[64] = {};
    GetClassNameW(window, name, 64);
    if (lstrcmpiW(name, search.className) != 0) {
        return false;
    }
    wchar_t text[128] = {};
    GetWindowTextW(window, text, 128);
    return search.text == nullptr || std::wstring(text) == search.text;
}

BOOL CALLBACK visit(HWND window, LPARAM data) {
    auto* search = reinterpret_cast<Search*>(data);
    if (IsWindowVisible(window) && matches(window, *search)) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}

// A visible top-level window of the class, or a child of one of the frame's windows.
HWND waitFor(const wchar_t* className, const wchar_t* text, bool child) {
    for (int i = 0; i < 200; ++i) {
        Search search{className, text};
        if (child) {
            HWND frame = FindWindowW(L"wFrame", nullptr);
            if (frame != nullptr) {
                EnumChildWindows(frame, visit, reinterpret_cast<LPARAM>(&search));
            }
        } else {
            EnumWindows(visit, reinterpret_cast<LPARAM>(&search));
        }
        if (search.found != nullptr) {
            return search.found;
        }
        Sleep(100);
    }
    std::fprintf(stderr, "window_driver: no window of class %ls\n", className);
    return nullptr;
}

HWND selectFolderButton() {
    return waitFor(L"Button", L"Select Folder", true);
}

int chooseFolder(const wchar_t* path) {
    HWND chooser = waitFor(L"#32770", nullptr, false);
    if (chooser == nullptr) {
        return 1;
    }
    HWND name = GetDlgItem(chooser, 1152);
    if (name == nullptr) {
        std::fputs("window_driver: the chooser has no name box\n", stderr);
        return 1;
    }
    SendMessageW(name, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(path));
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
    return 0;
}

} // namespace

int wmain(int argc, wchar_t** argv) {
    const std::wstring command = argc > 1 ? argv[1] : L"";
    if (command == L"button-rect") {
        HWND button = selectFolderButton();
        RECT box{};
        if (button == nullptr || !GetWindowRect(button, &box)) {
            return 1;
        }
        std::printf("%ld %ld %ld %ld\n", box.left, box.top, box.right - box.left,
                    box.bottom - box.top);
        return 0;
    }
    if (command == L"click-button") {
        HWND button = selectFolderButton();
        return button != nullptr && PostMessageW(button, BM_CLICK, 0, 0) ? 0 : 1;
    }
    if (command == L"choose" && argc == 3) {
        return chooseFolder(argv[2]);
    }
    std::fputs("usage: window_driver button-rect | click-button | choose PATH\n", stderr);
    return 2;
}
