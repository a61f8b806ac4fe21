// wStatusBar: the common-controls status bar at the bottom of a frame, with one field.
#pragma once

#include "toolkit/window.h"

namespace quorvin {

class wStatusBar : public wWindow {
public:
    // Raises wStatusBarError when the window cannot be made.
    explicit wStatusBar(wWindow* parent);

    // SB_SETTEXTW with the field number and the default border.
    void setStatusText(const std::string& text, int field = 0);
    std::string statusText(int field = 0) const;
};

} // namespace quorvin
