// wControl: a child widget that takes part in layout and may draw its text in its own colours.
#pragma once

#include "toolkit/resizable.h"
#include "toolkit/window.h"

#include <optional>

namespace quorvin {

class wControl : public wWindow, public wResizable {
public:
    // The text colour from the next repaint on.
    void setForegroundColor(COLORREF color) { foreground_ = color; }
    std::optional<COLORREF> foregroundColor() const { return foreground_; }
    // The background colour, drawn with a brush of the control's own.
    void setBackgroundColor(COLORREF color);
    ~wControl() override;

protected:
    using wWindow::wWindow;
    HBRUSH onControlColor(HDC dc) override;

private:
    std::optional<COLORREF> foreground_;
    std::optional<COLORREF> background_;
    HBRUSH backgroundBrush_ = nullptr;
};

} // namespace quorvin
