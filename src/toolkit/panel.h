// wPanel: a plain child area in the dialog face colour that holds other controls.
#pragma once

#include "toolkit/control.h"

namespace quorvin {

class wPanel : public wControl {
public:
    // Created at its parent's client size; raises wPanelError when the window cannot be made.
    explicit wPanel(wWindow* parent);
};

} // namespace quorvin
