// wWindow creation, the shared window procedure and the reflection of notifications to children.
#include "toolkit/window.h"

#include "runtime/utf.h"
#include "toolkit/systemcallback.h"

#include <algorithm>

namespace quorvin {

namespace {

const wchar_t objectProperty[] = L"quorvin.wWindow";

// The toolkit's own messages: an action of callAfter is due; a wake from another thread.
constexpr UINT postedActionMessage = WM_APP + 0x100;
constexpr UINT wakeMessage = WM_APP + 0x101;

HWND parentHandle(wWindow* parent) {
    return parent != nullptr ? parent->handle() : nullptr;
}

} // namespace

wWindow::wWindow(wWindow* parent) : parent_(parent) {
    if (parent_ != nullptr) {
        parent_->children_.push_back(this);
    }
}

wWindow::~wWindow() {
    destroy();
    if (parent_ != nullptr) {
        std::erase(parent_->children_, this);
    }
    for (wWindow* child : children_) {
        child->parent_ = nullptr;
    }
}

void wWindow::destroy() {
    handlers_.clear();
    setDropTarget(false);
    if (hwnd_ != nullptr) {
        // WM_NCDESTROY detaches the object: hwnd_ is null afterwards.
        DestroyWindow(hwnd_);
    }
}

wWindow* wWindow::fromHandle(HWND hwnd) {
    return hwnd != nullptr ? static_cast<wWindow*>(GetPropW(hwnd, objectProperty)) : nullptr;
}

bool wWindow::createOwn(LPCWSTR className, const std::string& label, DWORD style, DWORD exStyle,
                        RECT bounds) {
    HWND made = CreateWindowExW(exStyle, className, toWide(label).c_str(), style, bounds.left,
                                bounds.top, bounds.right - bounds.left, bounds.bottom - bounds.top,
                                parentHandle(parent_), nullptr, GetModuleHandleW(nullptr), this);
    return made != nullptr;
}

bool wWindow::createControl(LPCWSTR className, const std::string& label, DWORD style, DWORD exStyle,
                            RECT bounds, int id) {
    HWND made = CreateWindowExW(
        exStyle, className, toWide(label).c_str(), style, bounds.left, bounds.top,
        bounds.right - bounds.left, bounds.bottom - bounds.top, parentHandle(parent_),
        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), GetModuleHandleW(nullptr), nullptr);
    if (made == nullptr) {
        return false;
    }
    attach(made);
    original_ = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrW(made, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&windowProc)));
    setFont(font_);
    return true;
}

void wWindow::attach(HWND hwnd) {
    hwnd_ = hwnd;
    SetPropW(hwnd, objectProperty, this);
}

void wWindow::detach() {
    setDropTarget(false);
    RemovePropW(hwnd_, objectProperty);
    if (original_ != nullptr) {
        SetWindowLongPtrW(hwnd_, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(original_));
    }
    hwnd_ = nullptr;
}

LRESULT CALLBACK wWindow::windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    try {
        return route(hwnd, message, wParam, lParam);
    } catch (...) {
        endWithUnhandledException(std::current_exception());
    }
}

LRESULT wWindow::route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* create = reinterpret_cast<CREATESTRUCTW*>(lParam);
        if (auto* window = static_cast<wWindow*>(create->lpCreateParams)) {
            window->attach(hwnd);
        }
    }
    wWindow* window = fromHandle(hwnd);
    if (window == nullptr) {
        return DefWindowProcW(hwnd, message, wParam, lParam);
    }
    if (message == WM_NCDESTROY) {
        LRESULT result = window->defaultProc(message, wParam, lParam);
        window->detach();
        return result;
    }
    return window->dispatch(message, wParam, lParam);
}

LRESULT wWindow::dispatch(UINT message, WPARAM wParam, LPARAM lParam) {
    LRESULT result = 0;
    if (dispatchCommon(message, wParam, lParam, result)) {
        return result;
    }
    // Mouse and size events are raised for every widget; its own handling follows.
    raiseEvents(message, lParam);
    if (onMessage(message, wParam, lParam, result)) {
        return result;
    }
    return defaultProc(message, wParam, lParam);
}

bool wWindow::dispatchCommon(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) {
    switch (message) {
    case WM_COMMAND: {
        wWindow* child = fromHandle(reinterpret_cast<HWND>(lParam));
        return child != nullptr && child != this && child->onCommand(HIWORD(wParam));
    }
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLOREDIT:
    case WM_CTLCOLORBTN: {
        wWindow* child = fromHandle(reinterpret_cast<HWND>(lParam));
        HBRUSH brush = child != nullptr && child != this
                           ? child->onControlColor(reinterpret_cast<HDC>(wParam))
                           : nullptr;
        result = reinterpret_cast<LRESULT>(brush);
        return brush != nullptr;
    }
    case postedActionMessage:
        runPosted();
        return true;
    case wakeMessage:
        raise(wEventType::Wake);
        return true;
    case WM_SETCURSOR:
        if (cursor_ != nullptr && LOWORD(lParam) == HTCLIENT) {
            SetCursor(cursor_);
            result = TRUE;
            return true;
        }
        return false;
    default:
        return false;
    }
}

void wWindow::callAfter(std::function<void()> action) {
    posted_.push_back(std::move(action));
    PostMessageW(hwnd_, postedActionMessage, 0, 0);
}

void wWindow::wake(HWND hwnd) {
    PostMessageW(hwnd, wakeMessage, 0, 0);
}

void wWindow::runPosted() {
    if (posted_.empty()) {
        return;
    }
    std::function<void()> action = std::move(posted_.front());
    posted_.pop_front();
    action();
}

bool wWindow::onMessage(UINT, WPARAM, LPARAM, LRESULT&) {
    return false;
}

void wWindow::raiseEvents(UINT message, LPARAM lParam) {
    switch (message) {
    case WM_SIZE:
        raise(wEventType::Size);
        break;
    case WM_MOUSEMOVE:
        onMouseMove(lParam);
        break;
    case WM_MOUSELEAVE:
        mouseInside_ = false;
        raise(wEventType::MouseLeave);
        break;
    case WM_LBUTTONDOWN:
        raise(wEventType::LeftDown);
        break;
    case WM_LBUTTONUP:
        raise(wEventType::LeftUp);
        break;
    default:
        break;
    }
}

void wWindow::onMouseMove(LPARAM lParam) {
    if (mouseInside_) {
        return;
    }
    // While the mouse is captured, moves outside the window arrive here too.
    POINT point{static_cast<short>(LOWORD(lParam)), static_cast<short>(HIWORD(lParam))};
    RECT client{};
    GetClientRect(hwnd_, &client);
    if (!PtInRect(&client, point)) {
        return;
    }
    mouseInside_ = true;
    TRACKMOUSEEVENT track{sizeof track, TME_LEAVE, hwnd_, 0};
    TrackMouseEvent(&track);
    raise(wEventType::MouseEnter);
}

LRESULT wWindow::defaultProc(UINT message, WPARAM wParam, LPARAM lParam) {
    if (original_ != nullptr) {
        return CallWindowProcW(original_, hwnd_, message, wParam, lParam);
    }
    return DefWindowProcW(hwnd_, message, wParam, lParam);
}

void wWindow::connect(wEventType type, Handler handler) {
    handlers_[type].push_back(std::move(handler));
}

bool wWindow::raise(wEventType type) {
    wEvent event(type, this);
    return processEvent(event);
}

bool wWindow::processEvent(wEvent& event) {
    auto found = handlers_.find(event.type());
    if (found != handlers_.end()) {
        // A copy: a handler may connect further handlers.
        std::vector<Handler> handlers = found->second;
        for (Handler& handler : handlers) {
            event.setProcessed(true);
            handler(event);
            if (event.processed()) {
                return true;
            }
        }
    }
    return event.propagates() && parent_ != nullptr && parent_->processEvent(event);
}

} // namespace quorvin
