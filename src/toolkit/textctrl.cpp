// wTextCtrl over RICHEDIT50W from msftedit.dll, or the plain "Edit" class.
#include "toolkit/textctrl.h"

#include "toolkit/systemlibrary.h"
#include "toolkit/werrors.h"

#include <richedit.h>

#include <cstring>

namespace quorvin {

namespace {

bool richEditAvailable() {
    // Not a known library: by plain name the loader would look in the program's folder first.
    static const bool loaded = loadSystemLibrary(L"msftedit.dll") != nullptr;
    return loaded;
}

// The RTF text still to be handed to EM_STREAMIN.
struct RtfSource {
    std::string_view rest;
};

DWORD CALLBACK readRtf(DWORD_PTR cookie, LPBYTE buffer, LONG wanted, LONG* given) {
    auto* source = reinterpret_cast<RtfSource*>(cookie);
    const std::size_t count = std::min<std::size_t>(source->rest.size(), wanted);
    std::memcpy(buffer, source->rest.data(), count);
    source->rest.remove_prefix(count);
    *given = static_cast<LONG>(count);
    return 0;
}

} // namespace

wTextCtrl::wTextCtrl(wWindow* parent, const std::string& value, wPoint position, wSize size,
                     DWORD style, DWORD exStyle)
    : wControl(parent), rich_(richEditAvailable()) {
    const int lines = (style & ES_MULTILINE) != 0 ? 3 : 1;
    const int width = size.width >= 0 ? size.width : 120;
    const int height = size.height >= 0 ? size.height : font().charSize().cy * lines;
    const int left = position.x >= 0 ? position.x : 0;
    const int top = position.y >= 0 ? position.y : 0;
    if (!createControl(rich_ ? MSFTEDIT_CLASS : L"Edit", value, WS_CHILD | WS_VISIBLE | style,
                       exStyle, RECT{left, top, left + width, top + height})) {
        throw wTextCtrlError();
    }
    // A read-only plain edit control asks for static colours: it is kept white as well.
    setBackgroundColor(RGB(255, 255, 255));
    if (rich_) {
        SendMessageW(handle(), EM_SETBKGNDCOLOR, 0, RGB(255, 255, 255));
    }
}

void wTextCtrl::setValue(const std::string& value) {
    setLabel(value);
    SendMessageW(handle(), EM_SETMODIFY, FALSE, 0);
}

void wTextCtrl::loadRichText(std::string_view rtf) {
    if (!rich_) {
        return;
    }
    RtfSource source{rtf};
    EDITSTREAM stream{reinterpret_cast<DWORD_PTR>(&source), 0, &readRtf};
    SendMessageW(handle(), EM_STREAMIN, SF_RTF, reinterpret_cast<LPARAM>(&stream));
}

void wTextCtrl::setMargins(int left, int right) {
    SendMessageW(handle(), EM_SETMARGINS, EC_LEFTMARGIN | EC_RIGHTMARGIN, MAKELONG(left, right));
}

} // namespace quorvin
