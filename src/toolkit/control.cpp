// wControl's colours, answered to the parent's WM_CTLCOLOR* messages.
#include "toolkit/control.h"

namespace quorvin {

wControl::~wControl() {
    // The window may paint with the brush until it is gone.
    destroy();
    if (backgroundBrush_ != nullptr) {
        DeleteObject(backgroundBrush_);
    }
}

void wControl::setBackgroundColor(COLORREF color) {
    if (backgroundBrush_ != nullptr) {
        DeleteObject(backgroundBrush_);
    }
    background_ = color;
    backgroundBrush_ = CreateSolidBrush(color);
}

HBRUSH wControl::onControlColor(HDC dc) {
    if (!foreground_ && !background_) {
        return nullptr;
    }
    if (foreground_) {
        SetTextColor(dc, *foreground_);
    }
    if (background_) {
        SetBkColor(dc, *background_);
        return backgroundBrush_;
    }
    // Only the text colour is our own: the background stays the parent's face colour.
    SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
    return GetSysColorBrush(COLOR_BTNFACE);
}

} // namespace quorvin
