// The toolkit tests' shared set-up.
#include "toolkittest.h"

namespace quorvin::testing {

void ToolkitTest::SetUp() {
    ASSERT_TRUE(SUCCEEDED(OleInitialize(nullptr)));
    window_ = CreateWindowExW(0, L"STATIC", L"toolkit test", WS_OVERLAPPEDWINDOW, 100, 100, 300,
                              200, nullptr, nullptr, GetModuleHandleW(nullptr), nullptr);
    ASSERT_NE(window_, nullptr);
}

void ToolkitTest::TearDown() {
    if (window_ != nullptr) {
        DestroyWindow(window_);
    }
    OleUninitialize();
}

void pumpMessages(int ms) {
    const ULONGLONG end = GetTickCount64() + static_cast<ULONGLONG>(ms);
    while (GetTickCount64() < end) {
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        Sleep(5);
    }
}

} // namespace quorvin::testing
