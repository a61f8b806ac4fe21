// wWindow as an OLE drop target: the shell's drag calls become the window's drag events.
#include "toolkit/window.h"

namespace quorvin {

namespace {

// Raises DragEnter, DragOver, DragLeave and Drop on the window. The effect that the drag-enter
// handler chose is answered for every DragOver of the same drag.
class WindowDropTarget : public IDropTarget {
public:
    explicit WindowDropTarget(wWindow* window) : window_(window) {}
    virtual ~WindowDropTarget() = default;

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** object) override {
        if (iid == IID_IUnknown || iid == IID_IDropTarget) {
            *object = static_cast<IDropTarget*>(this);
            AddRef();
            return S_OK;
        }
        *object = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        const ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }
    HRESULT STDMETHODCALLTYPE DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                        DWORD* effect) override {
        effect_ = raise(wEventType::DragEnter, data, keys, point);
        *effect = effect_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragOver(DWORD keys, POINTL point, DWORD* effect) override {
        raise(wEventType::DragOver, nullptr, keys, point);
        *effect = effect_;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE DragLeave() override {
        raise(wEventType::DragLeave, nullptr, 0, POINTL{0, 0});
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE Drop(IDataObject* data, DWORD keys, POINTL point,
                                   DWORD* effect) override {
        *effect = raise(wEventType::Drop, data, keys, point);
        if (*effect == DROPEFFECT_NONE) {
            *effect = effect_;
        }
        return S_OK;
    }

private:
    DWORD raise(wEventType type, IDataObject* data, DWORD keys, POINTL point) {
        wDragDropEvent event(type, window_, data, keys, point);
        window_->processEvent(event);
        return event.effect();
    }

    ULONG references_ = 1;
    wWindow* window_;
    DWORD effect_ = DROPEFFECT_NONE;
};

} // namespace

void wWindow::setDropTarget(bool on) {
    if (on == (dropTarget_ != nullptr)) {
        return;
    }
    if (on) {
        // A rich edit control may have registered a target of its own: ours replaces it.
        RevokeDragDrop(hwnd_);
        dropTarget_ = new WindowDropTarget(this);
        if (FAILED(RegisterDragDrop(hwnd_, dropTarget_))) {
            dropTarget_->Release();
            dropTarget_ = nullptr;
        }
        return;
    }
    if (hwnd_ != nullptr) {
        RevokeDragDrop(hwnd_);
    }
    dropTarget_->Release();
    dropTarget_ = nullptr;
}

} // namespace quorvin
