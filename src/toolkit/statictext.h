// wStaticText: a label of the standard "Static" class.
#pragma once

#include "toolkit/control.h"

namespace quorvin {

class wStaticText : public wControl {
public:
    // Without a size it is made at its label's extent plus 2 pixels wide, by the font's
    // character height. Raises wStaticTextError when the window cannot be made.
    wStaticText(wWindow* parent, int id, const std::string& label, wPoint position = {},
                wSize size = {}, DWORD style = 0);

    // The label's extent in the current font plus 2 pixels in width and in height.
    SIZE bestSize() const;
    // Sets the size to the best size, keeping the position.
    void fitToBestSize();
};

} // namespace quorvin
