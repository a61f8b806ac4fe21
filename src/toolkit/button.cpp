// wButton over the standard "Button" class; BN_CLICKED comes back reflected from the parent.
#include "toolkit/button.h"

#include "toolkit/werrors.h"

namespace quorvin {

SIZE defaultButtonSize(const wFont& font) {
    SIZE chars = font.charSize();
    return SIZE{chars.cx * 50 / 4, chars.cy * 14 / 8};
}

wButton::wButton(wWindow* parent, const std::string& label, wPoint position, wSize size,
                 DWORD style)
    : wControl(parent) {
    SIZE standard = defaultButtonSize(font());
    const int width = size.width >= 0 ? size.width : standard.cx;
    const int height = size.height >= 0 ? size.height : standard.cy;
    const int left = position.x >= 0 ? position.x : 0;
    const int top = position.y >= 0 ? position.y : 0;
    if (!createControl(L"Button", label, WS_CHILD | WS_VISIBLE | WS_TABSTOP | BS_PUSHBUTTON | style,
                       0, RECT{left, top, left + width, top + height})) {
        throw wButtonError();
    }
}

void wButton::click() {
    SendMessageW(handle(), BM_CLICK, 0, 0);
}

bool wButton::onCommand(WORD code) {
    return code == BN_CLICKED && raise(wEventType::ButtonClick);
}

bool wButton::onMessage(UINT message, WPARAM, LPARAM, LRESULT&) {
    if (message == WM_SETFOCUS || message == WM_KILLFOCUS) {
        // The keyboard navigation sends Enter to the focused button only when it is the
        // default one, as in a dialog; the style also draws it so.
        const WPARAM style = message == WM_SETFOCUS ? BS_DEFPUSHBUTTON : BS_PUSHBUTTON;
        SendMessageW(handle(), BM_SETSTYLE, style, TRUE);
    }
    return false;
}

} // namespace quorvin
