// wWindow as an OLE drop target: the shell's drag calls become the window's drag events.
#include "toolkit/droptarget.h"
#include "toolkit/window.h"

namespace quorvin {

void wWindow::setDropTarget(bool on) {
    if (on == (dropTarget_ != nullptr)) {
        return;
    }
    if (on) {
        wDropTarget* target = wDropTarget::create(this, hwnd_);
        for (wEventType type : {wEventType::DragEnter, wEventType::DragOver, wEventType::DragLeave,
                                wEventType::Drop}) {
            target->connect(type, [this](wDragDropEvent& event) { processEvent(event); });
        }
        // The target revokes any registration of the control's own before it registers.
        if (!target->registerOn()) {
            target->Release();
            return;
        }
        dropTarget_ = target;
        return;
    }
    static_cast<wDropTarget*>(dropTarget_)->revoke();
    dropTarget_->Release();
    dropTarget_ = nullptr;
}

} // namespace quorvin
