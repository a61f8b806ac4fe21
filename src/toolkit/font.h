// wFont: a GDI font made from a point size, weight, underline flag and face; copies share it.
#pragma once

#include <windows.h>

#include <memory>
#include <string>

namespace quorvin {

class wFont {
public:
    // The toolkit's default font: the system's message font.
    wFont();
    // The size in points is converted to pixels with the screen's vertical DPI; the face
    // defaults to that of the message font.
    explicit wFont(double pointSize, int weight = FW_NORMAL, bool underline = false,
                   const std::wstring& face = {});
    explicit wFont(const LOGFONTW& logFont);

    HFONT handle() const { return handle_.get(); }
    const LOGFONTW& logFont() const { return logFont_; }
    int weight() const { return logFont_.lfWeight; }
    bool underlined() const { return logFont_.lfUnderline != 0; }

    // The same font with the underline set or cleared.
    wFont withUnderline(bool underline = true) const;

    // Average character width and character height of the font, in pixels.
    SIZE charSize() const;
    // The extent of the text drawn in this font.
    SIZE textExtent(const std::wstring& text) const;

private:
    LOGFONTW logFont_{};
    std::shared_ptr<HFONT__> handle_;
};

// Pixels of a point size on the screen: the negative character height of a LOGFONT.
int fontHeightForPoints(double pointSize);

// The system's message font, from SPI_GETNONCLIENTMETRICS.
const LOGFONTW& messageLogFont();

} // namespace quorvin
