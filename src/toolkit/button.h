// wButton: a push button that raises a click event.
#pragma once

#include "toolkit/control.h"

namespace quorvin {

class wButton : public wControl {
public:
    // At the default size, 50 x 14 dialog units of its creation font, unless a size is given.
    // Raises wButtonError when the window cannot be made.
    wButton(wWindow* parent, const std::string& label, wPoint position = {}, wSize size = {},
            DWORD style = 0);

    // Emulates a click (BM_CLICK).
    void click();

protected:
    bool onCommand(WORD code) override;
    // While it has the focus the button is the default one, so Enter clicks it.
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;
};

// 50 x 14 dialog units of the font: average char width * 50 / 4 by char height * 14 / 8.
SIZE defaultButtonSize(const wFont& font);

} // namespace quorvin
