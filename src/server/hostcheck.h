// The refusal of requests addressed to any name but this computer's own (DNS rebinding).
#pragma once

#include "http/request.h"
#include "server/settings.h"

#include <string_view>

namespace quorvin {

// Whether a Host header value names this computer: 127.0.0.1, localhost, a name of letters,
// digits, hyphens and dots ending in ".localhost", or [::1], each with or without a ":port" of
// at most five digits within 0-65535, in any letter case.
// White space after the value is ignored; an empty value names nothing and is refused.
bool isLocalHostValue(std::string_view value);

// True when the request has no Host header, or when every Host value it carries is local.
// A page on another site can point its own domain at 127.0.0.1 and so read the served folder
// through the user's browser; such a request still names that domain in its Host header.
bool isAddressedToThisComputer(const Request& request);

// 403 with the "403 Forbidden" page and no headers.
StaticResponse forbiddenResponse(const ServerSettings& settings);

} // namespace quorvin
