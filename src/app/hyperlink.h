// wHyperlink: a clickable link label with link colours, a hover font and a hand cursor, which
// opens its target with the shell when clicked.
#pragma once

#include "toolkit/event.h"
#include "toolkit/statictext.h"

#include <string>

namespace quorvin {

// Raised on a link when a click completes; a handler that sets the result to 1 keeps the link
// from opening its target.
class wMyLinkEvent : public wCommandEvent {
public:
    explicit wMyLinkEvent(wWindow* window) : wCommandEvent(wEventType::MyLink, window) {}
};

class wHyperlink : public wStaticText {
public:
    wHyperlink(wWindow* parent, int id, const std::string& label, const std::string& url,
               wPoint position = {}, wSize size = {}, DWORD style = 0);
    // The window goes first: it uses the fonts, and its handlers use this object.
    ~wHyperlink() override { destroy(); }

    // Applies the font at once, keeps it for the pointer outside, and refits the control.
    void setNormalFont(const wFont& font);
    // Keeps the font for the pointer over the control; applied at once while it is there.
    void setHoverFont(const wFont& font);
    void setTargetUrl(const std::string& url) { targetUrl_ = url; }
    const std::string& targetUrl() const { return targetUrl_; }

    bool isHover() const { return isHover_; }
    bool isPressed() const { return isPressed_; }
    bool isVisited() const { return isVisited_; }

private:
    COLORREF restingColor() const { return isVisited_ ? visitedColor_ : normalColor_; }
    void onMouseEnter();
    void onMouseLeave();
    void onLeftDown();
    void onLeftUp();
    // Raises wMyLinkEvent and, unless a handler answered 1, opens the target.
    void follow();

    std::string targetUrl_;
    COLORREF pressedColor_ = RGB(255, 0, 0);
    COLORREF visitedColor_ = RGB(85, 26, 139);
    COLORREF normalColor_ = RGB(0, 0, 255);
    wFont hoverFont_;
    wFont normalFont_;
    bool isHover_ = false;
    bool isPressed_ = false;
    bool isVisited_ = false;
};

} // namespace quorvin
