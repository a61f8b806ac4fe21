// wFont over CreateFontIndirectW, with sizes measured on a screen device context.
#include "toolkit/font.h"

#include "toolkit/werrors.h"

#include <cmath>

namespace quorvin {

namespace {

// A screen device context with the font selected, for measuring.
class MeasuringContext {
public:
    explicit MeasuringContext(HFONT font) : dc_(GetDC(nullptr)) {
        previous_ = SelectObject(dc_, font);
    }
    ~MeasuringContext() {
        SelectObject(dc_, previous_);
        ReleaseDC(nullptr, dc_);
    }
    HDC dc() const { return dc_; }

private:
    HDC dc_;
    HGDIOBJ previous_;
};

std::shared_ptr<HFONT__> createFont(const LOGFONTW& logFont) {
    HFONT font = CreateFontIndirectW(&logFont);
    if (font == nullptr) {
        throw wFontError();
    }
    return std::shared_ptr<HFONT__>(font, [](HFONT handle) { DeleteObject(handle); });
}

} // namespace

const LOGFONTW& messageLogFont() {
    static const LOGFONTW font = [] {
        NONCLIENTMETRICSW metrics{};
        metrics.cbSize = sizeof metrics;
        SystemParametersInfoW(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0);
        return metrics.lfMessageFont;
    }();
    return font;
}

int fontHeightForPoints(double pointSize) {
    HDC screen = GetDC(nullptr);
    const int dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
    return -static_cast<int>(std::lround(pointSize * dpi / 72.0));
}

wFont::wFont() : wFont(messageLogFont()) {}

wFont::wFont(double pointSize, int weight, bool underline, const std::wstring& face) {
    logFont_ = messageLogFont();
    logFont_.lfHeight = fontHeightForPoints(pointSize);
    logFont_.lfWidth = 0;
    logFont_.lfWeight = weight;
    logFont_.lfItalic = FALSE;
    logFont_.lfUnderline = underline ? TRUE : FALSE;
    if (!face.empty()) {
        lstrcpynW(logFont_.lfFaceName, face.c_str(), LF_FACESIZE);
    }
    handle_ = createFont(logFont_);
}

wFont::wFont(const LOGFONTW& logFont) : logFont_(logFont), handle_(createFont(logFont)) {}

wFont wFont::withUnderline(bool underline) const {
    LOGFONTW changed = logFont_;
    changed.lfUnderline = underline ? TRUE : FALSE;
    return wFont(changed);
}

SIZE wFont::charSize() const {
    MeasuringContext measuring(handle());
    TEXTMETRICW metrics{};
    GetTextMetricsW(measuring.dc(), &metrics);
    return SIZE{metrics.tmAveCharWidth, metrics.tmHeight};
}

SIZE wFont::textExtent(const std::wstring& text) const {
    MeasuringContext measuring(handle());
    SIZE extent{0, 0};
    GetTextExtentPoint32W(measuring.dc(), text.c_str(), static_cast<int>(text.size()), &extent);
    if (text.empty()) {
        extent.cy = charSize().cy;
    }
    return extent;
}

} // namespace quorvin
