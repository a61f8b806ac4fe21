// wDropTarget: reference counting, registration and the four drag calls.
#include "toolkit/droptarget.h"

#include "toolkit/systemcallback.h"

#include <exception>
#include <utility>

namespace quorvin {

wDropTarget* wDropTarget::create(wWindow* window, HWND hwnd) {
    return new wDropTarget(window, hwnd);
}

wDropTarget::~wDropTarget() = default;

void wDropTarget::connect(wEventType type, Handler handler) {
    Handler& slot = handlerFor(type);
    if (&slot != &none_) {
        slot = std::move(handler);
    }
}

wDropTarget::Handler& wDropTarget::handlerFor(wEventType type) {
    switch (type) {
    case wEventType::DragEnter:
        return onDragEnter_;
    case wEventType::DragOver:
        return onDragOver_;
    case wEventType::DragLeave:
        return onDragLeave_;
    case wEventType::Drop:
        return onDrop_;
    default:
        return none_;
    }
}

bool wDropTarget::registerOn(HWND hwnd) {
    if (hwnd == nullptr) {
        hwnd = hwnd_;
    }
    revoke();
    // On Windows a rich edit control registers a target of its own; ours replaces it.
    RevokeDragDrop(hwnd);
    if (FAILED(RegisterDragDrop(hwnd, this))) {
        return false;
    }
    registeredOn_ = hwnd;
    return true;
}

void wDropTarget::revoke() {
    if (registeredOn_ != nullptr) {
        RevokeDragDrop(registeredOn_);
        registeredOn_ = nullptr;
    }
}

HRESULT STDMETHODCALLTYPE wDropTarget::QueryInterface(REFIID iid, void** object) {
    if (object == nullptr) {
        return E_POINTER;
    }
    if (IsEqualIID(iid, IID_IUnknown) || IsEqualIID(iid, IID_IDropTarget)) {
        *object = static_cast<IDropTarget*>(this);
        AddRef();
        return S_OK;
    }
    *object = nullptr;
    return E_NOINTERFACE;
}

ULONG STDMETHODCALLTYPE wDropTarget::AddRef() {
    return ++references_;
}

ULONG STDMETHODCALLTYPE wDropTarget::Release() {
    const ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

DWORD wDropTarget::raise(wEventType type, IDataObject* data, DWORD keys, POINTL point,
                         DWORD effect) {
    Handler& handler = handlerFor(type);
    if (!handler) {
        return effect;
    }
    wDragDropEvent event(type, window_, data, keys, point);
    event.setEffect(effect);
    // The handler may let go of every other reference, as a window that stops taking drops
    // does: this one keeps the target, and the handler it runs, alive until the call is over.
    AddRef();
    try {
        handler(event);
    } catch (...) {
        endWithUnhandledException(std::current_exception());
    }
    Release();
    return event.effect();
}

HRESULT STDMETHODCALLTYPE wDropTarget::DragEnter(IDataObject* data, DWORD keys, POINTL point,
                                                 DWORD* effect) {
    if (effect == nullptr) {
        return E_INVALIDARG;
    }
    dragEffect_ = raise(wEventType::DragEnter, data, keys, point, DROPEFFECT_NONE);
    *effect = dragEffect_;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE wDropTarget::DragOver(DWORD keys, POINTL point, DWORD* effect) {
    if (effect == nullptr) {
        return E_INVALIDARG;
    }
    *effect = raise(wEventType::DragOver, nullptr, keys, point, dragEffect_);
    return S_OK;
}

HRESULT STDMETHODCALLTYPE wDropTarget::DragLeave() {
    raise(wEventType::DragLeave, nullptr, 0, POINTL{0, 0}, DROPEFFECT_NONE);
    dragEffect_ = DROPEFFECT_NONE;
    return S_OK;
}

HRESULT STDMETHODCALLTYPE wDropTarget::Drop(IDataObject* data, DWORD keys, POINTL point,
                                            DWORD* effect) {
    if (effect == nullptr) {
        return E_INVALIDARG;
    }
    const DWORD chosen = dragEffect_;
    dragEffect_ = DROPEFFECT_NONE;
    *effect = raise(wEventType::Drop, data, keys, point, chosen);
    return S_OK;
}

} // namespace quorvin
