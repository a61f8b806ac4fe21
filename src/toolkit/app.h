// wApp: the application object, which prepares common controls, OLE and the toolkit's window
// classes and runs the message loop.
#pragma once

#include <windows.h>

namespace quorvin {

inline constexpr wchar_t frameClassName[] = L"wFrame";
inline constexpr wchar_t panelClassName[] = L"wPanel";

class wApp {
public:
    // Raises wAppError when OLE or a window class cannot be set up. One per process at a time.
    wApp();
    ~wApp();
    wApp(const wApp&) = delete;
    wApp& operator=(const wApp&) = delete;

    static wApp* instance();

    // Runs the message loop until a frame has been closed; returns the quit code.
    int mainLoop();
    bool loopRunning() const { return loopRunning_; }
    // Called by a frame that is being destroyed: ends a running loop.
    void frameClosed();

    // Keyboard navigation between the controls of the message's top-level window; true when
    // the message was handled so. Every loop that pumps the toolkit's windows calls it first.
    static bool filterMessage(MSG& message);

private:
    bool loopRunning_ = false;
};

} // namespace quorvin
