// Escaping of names and paths for the places a listing page puts them.
#pragma once

#include <string>
#include <string_view>

namespace quorvin {

// Text for HTML content and attribute values: & < > " ' become entity references.
std::string escapeHtml(std::string_view text);

// A URL path for an href: every byte except A-Z a-z 0-9 - . _ ~ and '/' becomes %XX (upper-case
// hex), so the request decoder gives back exactly the original bytes.
std::string encodeUrlPath(std::string_view path);

} // namespace quorvin
