// wApp: start-up of common controls and OLE, class registration, and the message loop.
#include "toolkit/app.h"

#include "toolkit/werrors.h"
#include "toolkit/window.h"

#include <commctrl.h>
#include <ole2.h>

namespace quorvin {

namespace {

wApp* current = nullptr;

void registerClass(const wchar_t* name) {
    WNDCLASSEXW windowClass{};
    windowClass.cbSize = sizeof windowClass;
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = &wWindow::windowProc;
    windowClass.hInstance = GetModuleHandleW(nullptr);
    windowClass.hCursor = LoadCursorW(nullptr, IDC_ARROW);
    windowClass.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
    windowClass.lpszClassName = name;
    WNDCLASSEXW existing{};
    existing.cbSize = sizeof existing;
    if (GetClassInfoExW(windowClass.hInstance, name, &existing)) {
        return;
    }
    if (RegisterClassExW(&windowClass) == 0) {
        throw wAppError();
    }
}

} // namespace

wApp::wApp() {
    INITCOMMONCONTROLSEX controls{sizeof controls, ICC_WIN95_CLASSES | ICC_STANDARD_CLASSES};
    InitCommonControlsEx(&controls);
    HRESULT ole = OleInitialize(nullptr);
    if (FAILED(ole)) {
        throw wAppError();
    }
    registerClass(frameClassName);
    registerClass(panelClassName);
    current = this;
}

wApp::~wApp() {
    current = nullptr;
    OleUninitialize();
}

wApp* wApp::instance() {
    return current;
}

int wApp::mainLoop() {
    loopRunning_ = true;
    MSG message{};
    int status = 0;
    while ((status = GetMessageW(&message, nullptr, 0, 0)) > 0) {
        if (!filterMessage(message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    loopRunning_ = false;
    return status == 0 ? static_cast<int>(message.wParam) : 1;
}

void wApp::frameClosed() {
    if (loopRunning_) {
        PostQuitMessage(0);
    }
}

bool wApp::filterMessage(MSG& message) {
    if (message.message < WM_KEYFIRST || message.message > WM_KEYLAST) {
        return false;
    }
    HWND top = GetAncestor(message.hwnd, GA_ROOT);
    if (top == nullptr || wWindow::fromHandle(top) == nullptr) {
        return false;
    }
    // Tab leaves every control, also one that asks for tabs as text (a read-only rich edit
    // control does, and would keep the focus for ever).
    if (message.message == WM_KEYDOWN && message.wParam == VK_TAB &&
        (GetKeyState(VK_CONTROL) & 0x8000) == 0 && (GetKeyState(VK_MENU) & 0x8000) == 0) {
        const bool backwards = (GetKeyState(VK_SHIFT) & 0x8000) != 0;
        if (HWND next = GetNextDlgTabItem(top, GetFocus(), backwards ? TRUE : FALSE)) {
            SetFocus(next);
        }
        return true;
    }
    return IsDialogMessageW(top, &message) != FALSE;
}

} // namespace quorvin
