// The stylesheet of every page, with the icon font embedded as a data URL.
#pragma once

#include <string>

namespace quorvin {

// Fixed text, built once; it begins with a line feed.
const std::string& pageStyle();

} // namespace quorvin
