// wFrame: a top-level window that sizes its one content child above its status bar.
#pragma once

#include "toolkit/icon.h"
#include "toolkit/window.h"

namespace quorvin {

class wFrame : public wWindow {
public:
    // Raises wFrameError when the window cannot be made.
    wFrame(const std::string& title, wSize size,
           DWORD style = WS_OVERLAPPEDWINDOW | WS_CLIPCHILDREN, DWORD exStyle = WS_EX_COMPOSITED);

    void setIcon(const wIcon& icon);
    // ShowWindow with SW_SHOWNORMAL; the content is sized for the shown frame.
    void show();
    // Centres the frame on the primary screen.
    void center();

protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Sizes the status bar and the content child to the client area.
    void sizeChildren();

    wIcon icon_;
};

} // namespace quorvin
