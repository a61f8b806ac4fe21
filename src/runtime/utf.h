// UTF-8 <-> UTF-16 conversion for every call into the Windows API that takes or returns text.
#pragma once

#include <cwchar>
#include <string>
#include <string_view>

namespace quorvin {

// Invalid or truncated UTF-8 sequences become U+FFFD, one per offending byte.
std::u16string utf8ToUtf16(std::string_view text);

// Unpaired surrogates become U+FFFD.
std::string utf16ToUtf8(std::u16string_view text);

#if WCHAR_MAX <= 0xFFFF
// Windows' wchar_t is a UTF-16 code unit.
inline std::wstring toWide(std::string_view text) {
    std::u16string wide = utf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string fromWide(std::wstring_view text) {
    return utf16ToUtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
#endif

} // namespace quorvin
