// wPanel: a window of the toolkit's "wPanel" class, painted in COLOR_BTNFACE.
#include "toolkit/panel.h"

#include "toolkit/app.h"
#include "toolkit/werrors.h"

namespace quorvin {

wPanel::wPanel(wWindow* parent) : wControl(parent) {
    SIZE size = parent->clientSize();
    // WS_EX_CONTROLPARENT lets the keyboard navigation step into the panel's controls.
    if (!createOwn(panelClassName, "", WS_CHILD | WS_VISIBLE | WS_CLIPCHILDREN, WS_EX_CONTROLPARENT,
                   RECT{0, 0, size.cx, size.cy})) {
        throw wPanelError();
    }
}

} // namespace quorvin
