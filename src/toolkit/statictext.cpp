// wStaticText and its best size.
#include "toolkit/statictext.h"

#include "runtime/utf.h"
#include "toolkit/werrors.h"

namespace quorvin {

wStaticText::wStaticText(wWindow* parent, int id, const std::string& label, wPoint position,
                         wSize size, DWORD style)
    : wControl(parent) {
    const int width = size.width >= 0 ? size.width : font().textExtent(toWide(label)).cx + 2;
    const int height = size.height >= 0 ? size.height : font().charSize().cy;
    const int left = position.x >= 0 ? position.x : 0;
    const int top = position.y >= 0 ? position.y : 0;
    if (!createControl(L"Static", label, WS_CHILD | WS_VISIBLE | style, 0,
                       RECT{left, top, left + width, top + height}, id)) {
        throw wStaticTextError();
    }
}

SIZE wStaticText::bestSize() const {
    SIZE extent = font().textExtent(toWide(label()));
    return SIZE{extent.cx + 2, extent.cy + 2};
}

void wStaticText::fitToBestSize() {
    SIZE best = bestSize();
    setSize(best.cx, best.cy);
}

} // namespace quorvin
