// wFrame: creation, icon, showing, centring and the sizing of its children.
#include "toolkit/frame.h"

#include "toolkit/app.h"
#include "toolkit/statusbar.h"
#include "toolkit/werrors.h"

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

bool wFrame::onMessage(UINT message, WPARAM, LPARAM, LRESULT& result) {
    switch (message) {
    case WM_SIZE:
        sizeChildren();
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
