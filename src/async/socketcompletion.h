// How an ended socket operation finishes its future; the same on every platform.
#pragma once

#include "async/asyncsockets.h"

struct sockaddr;

namespace quorvin::detail {

// Nothing if the future has finished; else the count on success, 0 for a peer that went away
// (under IgnoreDisconnect), or an OSError for the code.
void finishRecv(const Future<std::int32_t>& future, SocketFlags flags, std::uint32_t bytes,
                std::int32_t error);

// Nothing if the future has finished; else success for -1 and for a peer that went away, or an
// OSError for the code.
void finishSend(const Future<void>& future, SocketFlags flags, std::int32_t error);

// The end of a failed accept attempt whose client socket has been closed: a peer that went away
// makes a new accept on the same listener, whose outcome becomes this future's; any other code
// fails the future with an OSError.
void failAccept(const Future<AcceptResult>& future, AsyncFD listener, SocketFlags flags,
                std::int32_t error);

// The end of a successful accept: registers the client and completes the future with the peer's
// address text, or closes the client and fails the future when either step raises.
void completeAccept(const Future<AcceptResult>& future, SocketHandle client,
                    const sockaddr* remote);

} // namespace quorvin::detail
