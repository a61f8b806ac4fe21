// The toolkit's events: what a handler connected to a window receives.
#pragma once

#include <windows.h>

#include <ole2.h>

namespace quorvin {

class wWindow;

// Event types a handler can be connected to. wMyLinkEvent has one of its own.
enum class wEventType {
    Size,
    ButtonClick,
    MouseEnter,
    MouseLeave,
    LeftDown,
    LeftUp,
    DragEnter,
    DragOver,
    DragLeave,
    Drop,
    MyLink,
    Wake,
};

// One event raised on a window. A handler marks it processed and may set a result; command
// events travel on to the parents until a handler processes them.
class wEvent {
public:
    wEvent(wEventType type, wWindow* window) : type_(type), window_(window) {}
    virtual ~wEvent() = default;

    wEventType type() const { return type_; }
    wWindow* window() const { return window_; }
    LRESULT result() const { return result_; }
    void setResult(LRESULT result) { result_ = result; }
    bool processed() const { return processed_; }
    void setProcessed(bool processed = true) { processed_ = processed; }
    virtual bool propagates() const { return false; }

private:
    wEventType type_;
    wWindow* window_;
    LRESULT result_ = 0;
    bool processed_ = false;
};

// An event that propagates from its control to the parents until processed.
class wCommandEvent : public wEvent {
public:
    using wEvent::wEvent;
    bool propagates() const override { return true; }
};

// A drag over or a drop on a window registered as drop target. The handler of a drag enter
// sets the effect reported to the shell; the data object is valid only during the handler.
class wDragDropEvent : public wEvent {
public:
    wDragDropEvent(wEventType type, wWindow* window, IDataObject* data, DWORD keyState,
                   POINTL point)
        : wEvent(type, window), data_(data), keyState_(keyState), point_(point) {}

    IDataObject* dataObject() const { return data_; }
    DWORD keyState() const { return keyState_; }
    POINTL point() const { return point_; }
    DWORD effect() const { return effect_; }
    void setEffect(DWORD effect) { effect_ = effect; }

private:
    IDataObject* data_;
    DWORD keyState_;
    POINTL point_;
    DWORD effect_ = DROPEFFECT_NONE;
};

} // namespace quorvin
