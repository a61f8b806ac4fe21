// wTextCtrl: a rich edit control (a plain edit control where msftedit.dll is missing).
#pragma once

#include "toolkit/control.h"

#include <string_view>

namespace quorvin {

class wTextCtrl : public wControl {
public:
    // Without a size it is 120 pixels wide and one character height tall (three when
    // multi-line). Raises wTextCtrlError when the window cannot be made.
    wTextCtrl(wWindow* parent, const std::string& value, wPoint position = {}, wSize size = {},
              DWORD style = 0, DWORD exStyle = WS_EX_CLIENTEDGE);

    bool isRich() const { return rich_; }
    // SetWindowTextW, then clears the modified flag.
    void setValue(const std::string& value);
    std::string value() const { return label(); }
    // Replaces the whole content with an RTF document; does nothing for a plain edit control.
    void loadRichText(std::string_view rtf);
    void setMargins(int left, int right);

private:
    bool rich_ = false;
};

} // namespace quorvin
