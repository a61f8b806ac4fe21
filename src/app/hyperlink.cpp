// wHyperlink: the state changes of hover, press and click.
#include "app/hyperlink.h"

#include "toolkit/cursor.h"
#include "toolkit/shellopen.h"

namespace quorvin {

wHyperlink::wHyperlink(wWindow* parent, int id, const std::string& label, const std::string& url,
                       wPoint position, wSize size, DWORD style)
    : wStaticText(parent, id, label, position, size, style | SS_NOTIFY), targetUrl_(url) {
    fitToBestSize();
    setCursor(handCursor());
    setForegroundColor(normalColor_);
    normalFont_ = font();
    hoverFont_ = normalFont_.withUnderline();
    connect(wEventType::MouseEnter, [this](wEvent&) { onMouseEnter(); });
    connect(wEventType::MouseLeave, [this](wEvent&) { onMouseLeave(); });
    connect(wEventType::LeftDown, [this](wEvent&) { onLeftDown(); });
    connect(wEventType::LeftUp, [this](wEvent&) { onLeftUp(); });
}

void wHyperlink::setNormalFont(const wFont& font) {
    setFont(font);
    normalFont_ = font;
    fitToBestSize();
}

void wHyperlink::setHoverFont(const wFont& font) {
    hoverFont_ = font;
    if (isHover_) {
        setFont(hoverFont_);
        fitToBestSize();
    }
}

void wHyperlink::onMouseEnter() {
    isHover_ = true;
    setFont(hoverFont_);
    setForegroundColor(isPressed_ ? pressedColor_ : restingColor());
    fitToBestSize();
    refresh();
}

void wHyperlink::onMouseLeave() {
    isHover_ = false;
    setFont(normalFont_);
    setForegroundColor(restingColor());
    fitToBestSize();
    refresh();
}

void wHyperlink::onLeftDown() {
    isPressed_ = true;
    SetCapture(handle());
    setForegroundColor(pressedColor_);
    refresh();
}

void wHyperlink::onLeftUp() {
    const bool wasPressed = isPressed_;
    isPressed_ = false;
    ReleaseCapture();
    setForegroundColor(restingColor());
    refresh();
    if (!isHover_ || !wasPressed) {
        return;
    }
    if (!targetUrl_.empty()) {
        follow();
    }
    isVisited_ = true;
}

void wHyperlink::follow() {
    wMyLinkEvent event(this);
    if (processEvent(event) && event.result() == 1) {
        return;
    }
    shellOpen(targetUrl_, SW_SHOW);
}

} // namespace quorvin
