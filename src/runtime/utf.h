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

// The lossless pair for Windows names, which may hold unpaired surrogates (NTFS allows them):
// an unpaired surrogate is written as the three-byte form of its code unit and read back as
// that unit. Everything else is as above; a pair written as two three-byte forms is malformed.
std::u16string wtf8ToUtf16(std::string_view text);
std::string utf16ToWtf8(std::u16string_view text);

#if WCHAR_MAX <= 0xFFFF
// Windows' wchar_t is a UTF-16 code unit. Names round-trip exactly, unpaired surrogates too.
inline std::wstring toWide(std::string_view text) {
    std::u16string wide = wtf8ToUtf16(text);
    return std::wstring(wide.begin(), wide.end());
}

inline std::string fromWide(std::wstring_view text) {
    return utf16ToWtf8(
        std::u16string_view(reinterpret_cast<const char16_t*>(text.data()), text.size()));
}
#endif

} // namespace quorvin
