// What the buffered socket needs from each platform's socket headers.
#pragma once

#include <cstdint>

struct addrinfo;
struct sockaddr;

namespace quorvin::detail {

// The first address of a lookup result and its length.
const sockaddr* firstAddress(const addrinfo* list, std::int32_t& length);

} // namespace quorvin::detail
