// wStatusBar over STATUSCLASSNAMEW.
#include "toolkit/statusbar.h"

#include "runtime/utf.h"
#include "toolkit/werrors.h"

#include <commctrl.h>

namespace quorvin {

wStatusBar::wStatusBar(wWindow* parent) : wWindow(parent) {
    if (!createControl(STATUSCLASSNAMEW, "", WS_CHILD | WS_VISIBLE | SBARS_SIZEGRIP, 0,
                       RECT{0, 0, 0, 0})) {
        throw wStatusBarError();
    }
    int edges[] = {-1};
    SendMessageW(handle(), SB_SETPARTS, 1, reinterpret_cast<LPARAM>(edges));
}

void wStatusBar::setStatusText(const std::string& text, int field) {
    SendMessageW(handle(), SB_SETTEXTW, static_cast<WPARAM>(field),
                 reinterpret_cast<LPARAM>(toWide(text).c_str()));
}

std::string wStatusBar::statusText(int field) const {
    const LRESULT length = SendMessageW(handle(), SB_GETTEXTLENGTHW, field, 0);
    std::wstring text(static_cast<std::size_t>(LOWORD(length)) + 1, L'\0');
    SendMessageW(handle(), SB_GETTEXTW, field, reinterpret_cast<LPARAM>(text.data()));
    text.resize(LOWORD(length));
    return fromWide(text);
}

} // namespace quorvin
