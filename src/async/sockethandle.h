// The handle of a socket, plain or registered with the event loop.
#pragma once

#include <cstdint>

namespace quorvin {

// A plain socket handle (SOCKET or file descriptor) held as a pointer-sized signed integer.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle osInvalidSocket = -1;

// A socket registered with the dispatcher; the same value is its completion key.
using AsyncFD = std::intptr_t;

} // namespace quorvin
