// The asynchronous socket operations, which run on the current thread's dispatcher.
//
// Each operation reports its end only through a completion run inside a loop step on the owning
// thread, or finishes its future before it returns when it ends at once. Windows delivers the
// ends through the dispatcher's I/O completion port; on POSIX the loop performs the waiting
// system calls once epoll reports readiness.
#pragma once

#include "async/asyncfutures.h"
#include "async/socketflags.h"
#include "async/sockethandle.h"

#include <cstdint>
#include <string>
#include <utility>

namespace quorvin {

// (peer address text, accepted socket registered with the dispatcher)
using AcceptResult = std::pair<std::string, AsyncFD>;

// A non-blocking socket registered with the current dispatcher, or osInvalidSocket.
AsyncFD createAsyncSocketHandle(int family, int type, int protocol);

// Receives at most `size` bytes into the buffer, which must stay valid until the future finishes.
// Completes with the count, or 0 at end of stream (and under IgnoreDisconnect, when the peer went
// away). Peek is refused with an AssertionError.
Future<std::int32_t> recvInto(AsyncFD fd, void* buffer, std::int32_t size,
                              SocketFlags flags = defaultSocketFlags);

// Sends the whole buffer, which must stay valid until the future finishes.
Future<void> send(AsyncFD fd, const void* buffer, std::int32_t size,
                  SocketFlags flags = defaultSocketFlags);
// Sends a copy of the string; an empty string completes at once.
Future<void> send(AsyncFD fd, std::string data, SocketFlags flags = defaultSocketFlags);

// Accepts the next connection. A connection that went away before it was accepted is skipped
// under IgnoreDisconnect.
Future<AcceptResult> acceptAddr(AsyncFD listener, SocketFlags flags = defaultSocketFlags);

// Closes the socket (the result is ignored) and unregisters it. Operations still pending on it
// end with an OSError in a later step.
void closeAsyncSocket(AsyncFD fd);

// Ends the sending direction: the peer reads the end of the stream after the data already handed
// to the system. Errors (a peer already gone) are ignored.
void shutdownSending(AsyncFD fd);

// Whether bytes the peer sent wait in the system unread. An end of stream alone, or a socket the
// system no longer knows, counts as none.
bool hasUnreadBytes(AsyncFD fd);

// Ends the receive still pending on the socket, if any, with an OSError (operation aborted) in a
// later step. Sends go on; the socket stays open and registered.
void cancelPendingReceive(AsyncFD fd);

// True when IgnoreDisconnect is in the flags and the code says that the peer went away.
bool isDisconnectError(SocketFlags flags, std::int32_t code);

} // namespace quorvin
