// wDropTarget: an OLE drop target that turns the shell's drag calls into drag-and-drop events.
#pragma once

#include "toolkit/event.h"

#include <windows.h>

#include <ole2.h>

#include <atomic>
#include <functional>

namespace quorvin {

class wWindow;

// Raises DragEnter, DragOver, DragLeave and Drop events for the window it was made for. The
// effect that the drag-enter handler sets is answered for that DragEnter and for every DragOver
// of the same drag; a drag-over or drop handler may change it (its event starts with it). The
// target holds a reference of its own while a handler runs. An exception from a handler ends
// the process with the report of an unhandled exception: it cannot pass the shell's drag loop.
class wDropTarget final : public IDropTarget {
public:
    using Handler = std::function<void(wDragDropEvent&)>;

    // A new target with one reference, which the caller owns and gives up with Release().
    // `window` is only handed to the events.
    static wDropTarget* create(wWindow* window, HWND hwnd);

    // Connects the handler of DragEnter, DragOver, DragLeave or Drop, replacing an earlier one.
    void connect(wEventType type, Handler handler);

    // Makes this the drop target of the window (the one given at creation when null). A target
    // already registered there, such as a rich edit control's own, is revoked first.
    bool registerOn(HWND hwnd = nullptr);
    // Ends the registration, if any; drags over the window are then refused by the shell.
    void revoke();
    bool registered() const { return registeredOn_ != nullptr; }

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                        DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override;
    HRESULT STDMETHODCALLTYPE DragLeave() override;
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect) override;

private:
    wDropTarget(wWindow* window, HWND hwnd) : window_(window), hwnd_(hwnd) {}
    ~wDropTarget();
    Handler& handlerFor(wEventType type);
    DWORD raise(wEventType type, IDataObject* data, DWORD keys, POINTL point, DWORD effect);

    std::atomic<ULONG> references_{1};
    wWindow* window_;
    HWND hwnd_;
    HWND registeredOn_ = nullptr;
    DWORD dragEffect_ = DROPEFFECT_NONE;
    Handler onDragEnter_;
    Handler onDragOver_;
    Handler onDragLeave_;
    Handler onDrop_;
    Handler none_;
};

} // namespace quorvin
