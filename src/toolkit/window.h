// wWindow: the base of every widget, with the one window procedure they all share.
#pragma once

#include "toolkit/event.h"
#include "toolkit/font.h"

#include <windows.h>

#include <deque>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace quorvin {

// Creation position and size; -1 asks for the class's default.
struct wPoint {
    int x = -1;
    int y = -1;
};
struct wSize {
    int width = -1;
    int height = -1;
};

class wWindow {
public:
    using Handler = std::function<void(wEvent&)>;

    wWindow(const wWindow&) = delete;
    wWindow& operator=(const wWindow&) = delete;
    virtual ~wWindow();

    HWND handle() const { return hwnd_; }
    wWindow* parent() const { return parent_; }
    const std::vector<wWindow*>& children() const { return children_; }
    // The object of a window made by the toolkit, or null.
    static wWindow* fromHandle(HWND hwnd);

    void connect(wEventType type, Handler handler);
    // Runs the handlers of the event's type, which mark it processed unless they clear the
    // mark; an unprocessed command event goes on to the parent. True when processed.
    bool processEvent(wEvent& event);

    void setLabel(const std::string& label);
    std::string label() const;
    // WM_SETFONT with redraw; the size stays.
    void setFont(const wFont& font);
    const wFont& font() const { return font_; }
    void enable(bool enabled = true);
    bool isEnabled() const;
    void refresh();
    // The cursor shown while the pointer is over the window.
    void setCursor(HCURSOR cursor) { cursor_ = cursor; }
    // Rectangle relative to the parent's client area.
    RECT rect() const;
    void setRect(int x, int y, int width, int height);
    void setSize(int width, int height);
    void move(int x, int y);
    SIZE clientSize() const;
    void setDropTarget(bool on);
    bool isDropTarget() const { return dropTarget_ != nullptr; }

    // Runs the action on this window's thread once the messages before it have been handled,
    // through a message posted to the window; the action is dropped with the window.
    void callAfter(std::function<void()> action);
    // Has the window raise its Wake event on its own thread. Safe from any thread, and after
    // the window is gone: only the handle is used.
    static void wake(HWND hwnd);

    // The procedure of every toolkit window. An exception from a handler ends the program with
    // the report of an unhandled exception: it cannot pass the system's frames.
    static LRESULT CALLBACK windowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

protected:
    explicit wWindow(wWindow* parent);

    // Destroys the window at once, so that a derived class can let go of what the window
    // uses (icon, brush, fonts, the object its handlers capture) only after it is gone. No
    // handler runs from then on. Does nothing the second time.
    void destroy();

    // A window of one of the toolkit's own classes; the object is attached on WM_NCCREATE.
    bool createOwn(LPCWSTR className, const std::string& label, DWORD style, DWORD exStyle,
                   RECT bounds);
    // A standard control, subclassed so that its messages reach this object.
    bool createControl(LPCWSTR className, const std::string& label, DWORD style, DWORD exStyle,
                       RECT bounds, int id = -1);

    // Class-specific handling of a message; true when `result` is the answer.
    virtual bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    // A notification code of WM_COMMAND, reflected from the parent.
    virtual bool onCommand(WORD) { return false; }
    // WM_CTLCOLOR* reflected from the parent: the background brush, or null for the default.
    virtual HBRUSH onControlColor(HDC) { return nullptr; }
    LRESULT defaultProc(UINT message, WPARAM wParam, LPARAM lParam);
    bool raise(wEventType type);

private:
    static LRESULT route(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
    void attach(HWND hwnd);
    void detach();
    LRESULT dispatch(UINT message, WPARAM wParam, LPARAM lParam);
    bool dispatchCommon(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result);
    void raiseEvents(UINT message, LPARAM lParam);
    void onMouseMove(LPARAM lParam);
    void runPosted();

    HWND hwnd_ = nullptr;
    wWindow* parent_;
    std::vector<wWindow*> children_;
    WNDPROC original_ = nullptr;
    std::map<wEventType, std::vector<Handler>> handlers_;
    wFont font_;
    HCURSOR cursor_ = nullptr;
    bool mouseInside_ = false;
    IDropTarget* dropTarget_ = nullptr;
    std::deque<std::function<void()>> posted_;
};

} // namespace quorvin
