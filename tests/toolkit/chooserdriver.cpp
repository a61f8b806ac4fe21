#include "chooserdriver.h"

#include "runtime/utf.h"

namespace quorvin::testing {

namespace {

// A window-enumeration callback: CALLBACK, since 32-bit Windows calls it with __stdcall.
BOOL CALLBACK keepVisibleDialog(HWND window, LPARAM found) {
    wchar_t name[16] = {};
    GetClassNameW(window, name, 16);
    if (std::wstring(name) == L"#32770" && IsWindowVisible(window)) {
        *reinterpret_cast<HWND*>(found) = window;
        return FALSE;
    }
    return TRUE;
}

} // namespace

HWND findVisibleChooser() {
    HWND found = nullptr;
    EnumThreadWindows(GetCurrentThreadId(), keepVisibleDialog, reinterpret_cast<LPARAM>(&found));
    return found;
}

void answerChooser(HWND chooser, const std::string& path) {
    if (path.empty()) {
        PostMessageW(chooser, WM_COMMAND, IDCANCEL, 0);
        return;
    }
    // 1152 is the name box of the common file dialogs.
    SetDlgItemTextW(chooser, 1152, toWide(path).c_str());
    PostMessageW(chooser, WM_COMMAND, IDOK, 0);
}

} // namespace quorvin::testing
