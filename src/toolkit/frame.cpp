// wFrame: creation, icon, showing, centring and the sizing of its children.
#include "toolkit/frame.h"

#include "toolkit/app.h"
#include "toolkit/statusbar.h"
#include "toolkit/werrors.h"

#include <algorithm>

namespace quorvin {

wFrame::wFrame(const std::string& title, wSize size, DWORD style, DWORD exStyle)
    : wWindow(nullptr) {
    RECT bounds{CW_USEDEFAULT, CW_USEDEFAULT, 0, 0};
    bounds.right = bounds.left + size.width;
    bounds.bottom = bounds.top + size.height;
    if (!createOwn(frameClassName, title, style, exStyle, bounds)) {
        throw wFrameError();
    }
}

wFrame::~wFrame() {
    // The window may use its icon until it is gone.
    destroy();
}

void wFrame::setIcon(const wIcon& icon) {
    icon_ = icon;
    SendMessageW(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_.handle()));
}

void wFrame::show() {
    ShowWindow(handle(), SW_SHOWNORMAL);
    sizeChildren();
}

void wFrame::center() {
    RECT bounds = rect();
    const int width = bounds.right - bounds.left;
    const int height = bounds.bottom - bounds.top;
    move((GetSystemMetrics(SM_CXSCREEN) - width) / 2, (GetSystemMetrics(SM_CYSCREEN) - height) / 2);
}

void wFrame::sizeChildren() {
    int barHeight = 0;
    wWindow* content = nullptr;
    for (wWindow* child : children()) {
        if (dynamic_cast<wStatusBar*>(child) != nullptr) {
            // The status bar places itself at the bottom when told of the size.
            SendMessageW(child->handle(), WM_SIZE, 0, 0);
            RECT bar = child->rect();
            barHeight = bar.bottom - bar.top;
        } else if (content == nullptr) {
            content = child;
        }
    }
    if (content != nullptr) {
        SIZE client = clientSize();
        content->setRect(0, 0, client.cx, client.cy > barHeight ? client.cy - barHeight : 0);
    }
}

void wFrame::limitTrackSize(MINMAXINFO& limits) const {
    if (minimumContent_.cx <= 0 && minimumContent_.cy <= 0) {
        return;
    }
    int barHeight = 0;
    for (wWindow* child : children()) {
        if (dynamic_cast<wStatusBar*>(child) != nullptr) {
            RECT bar = child->rect();
            barHeight = bar.bottom - bar.top;
        }
    }
    RECT outer{0, 0, minimumContent_.cx, minimumContent_.cy + barHeight};
    const auto style = static_cast<DWORD>(GetWindowLongPtrW(handle(), GWL_STYLE));
    const auto exStyle = static_cast<DWORD>(GetWindowLongPtrW(handle(), GWL_EXSTYLE));
    AdjustWindowRectEx(&outer, style, FALSE, exStyle);
    limits.ptMinTrackSize.x = std::max<LONG>(limits.ptMinTrackSize.x, outer.right - outer.left);
    limits.ptMinTrackSize.y = std::max<LONG>(limits.ptMinTrackSize.y, outer.bottom - outer.top);
}

bool wFrame::onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_SIZE:
        // A minimised frame has no client area to lay out; the restore sizes it again.
        if (wParam != SIZE_MINIMIZED) {
            sizeChildren();
        }
        result = 0;
        return true;
    case WM_GETMINMAXINFO:
        limitTrackSize(*reinterpret_cast<MINMAXINFO*>(lParam));
        result = 0;
        return true;
    case WM_DESTROY:
        if (wApp* app = wApp::instance()) {
            app->frameClosed();
        }
        return false;
    default:
        return false;
    }
}

} // namespace quorvin
