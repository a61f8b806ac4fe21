// wWindow's plain operations: label, font, enabling, geometry.
#include "toolkit/window.h"

#include "runtime/utf.h"

namespace quorvin {

void wWindow::setLabel(const std::string& label) {
    SetWindowTextW(hwnd_, toWide(label).c_str());
}

std::string wWindow::label() const {
    std::wstring text(static_cast<std::size_t>(GetWindowTextLengthW(hwnd_)) + 1, L'\0');
    text.resize(static_cast<std::size_t>(
        GetWindowTextW(hwnd_, text.data(), static_cast<int>(text.size()))));
    return fromWide(text);
}

void wWindow::setFont(const wFont& font) {
    font_ = font;
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(font_.handle()), TRUE);
}

void wWindow::enable(bool enabled) {
    EnableWindow(hwnd_, enabled ? TRUE : FALSE);
}

bool wWindow::isEnabled() const {
    return IsWindowEnabled(hwnd_) != FALSE;
}

void wWindow::refresh() {
    InvalidateRect(hwnd_, nullptr, TRUE);
}

RECT wWindow::rect() const {
    RECT bounds{};
    GetWindowRect(hwnd_, &bounds);
    HWND parent = GetParent(hwnd_);
    if (parent != nullptr && (GetWindowLongPtrW(hwnd_, GWL_STYLE) & WS_CHILD) != 0) {
        MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&bounds), 2);
    }
    return bounds;
}

void wWindow::setRect(int x, int y, int width, int height) {
    SetWindowPos(hwnd_, nullptr, x, y, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void wWindow::setSize(int width, int height) {
    SetWindowPos(hwnd_, nullptr, 0, 0, width, height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void wWindow::move(int x, int y) {
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

SIZE wWindow::clientSize() const {
    RECT client{};
    GetClientRect(hwnd_, &client);
    return SIZE{client.right, client.bottom};
}

} // namespace quorvin
