// The icon font of the listing pages, compiled in from iconfont.woff.
#pragma once

#include <string_view>

namespace quorvin {

// The WOFF font (family "entypo") in base64, ready for a data: URL of the stylesheet.
std::string_view iconFontWoffBase64();

} // namespace quorvin
