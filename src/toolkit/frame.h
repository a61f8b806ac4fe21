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

    ~wFrame() override;

    void setIcon(const wIcon& icon);
    // The smallest client size of the content child: the frame answers WM_GETMINMAXINFO with
    // the outer size that gives it, the status bar included.
    void setMinimumContentSize(SIZE size) { minimumContent_ = size; }
    // ShowWindow with SW_SHOWNORMAL; the content is sized for the shown frame.
    void show();
    // Centres the frame on the primary screen.
    void center();

protected:
    bool onMessage(UINT message, WPARAM wParam, LPARAM lParam, LRESULT& result) override;

private:
    // Sizes the status bar and the content child to the client area.
    void sizeChildren();
    void limitTrackSize(MINMAXINFO& limits) const;

    wIcon icon_;
    SIZE minimumContent_{0, 0};
};

} // namespace quorvin
