// BufferedSocket: a TCP socket on the event loop with a receive buffer for lines and counted reads.
//
// Every receive goes through a 4001-byte buffer that each fill tops up with at most 4000 bytes, so
// that reading a request line costs one system receive per 4000 bytes rather than one per byte.
// A socket is used only from the event-loop thread that created it, and at most one line read or
// recv is outstanding on it at a time (the buffer relies on that).
#pragma once

#include "async/asyncfutures.h"
#include "async/asyncproc.h"
#include "async/asyncsockets.h"
#include "async/socketconstants.h"
#include "async/socketflags.h"
#include "async/sockethandle.h"
#include "http/request.h"

#include <array>
#include <coroutine>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>

namespace quorvin {

// Bytes one fill asks the system for; the buffer holds one byte more.
inline constexpr std::int32_t socketFillSize = 4000;
inline constexpr std::size_t socketBufferSize = 4001;

// Whoever drops the last reference to an open socket closes it.
struct BufferedSocketObject {
    BufferedSocketObject() = default;
    BufferedSocketObject(const BufferedSocketObject&) = delete;
    BufferedSocketObject& operator=(const BufferedSocketObject&) = delete;
    ~BufferedSocketObject();

    AsyncFD fd = osInvalidSocket;
    bool closed = false;
    bool buffered = true;
    std::array<char, socketBufferSize> buffer{};
    // Invariant: 0 <= readPosition <= fillLength <= socketFillSize; the unread bytes lie between.
    std::int32_t readPosition = 0;
    std::int32_t fillLength = 0;
    int domain = 0;
    int socketType = 0;
    int protocol = 0;
    // Sends started on this socket, so that the server can tell whether a failed request has
    // already put anything on the wire.
    std::uint64_t sendCount = 0;
    // Bytes of answers started without waiting that have not gone out yet.
    std::size_t unsentReplyBytes = 0;
    // Set by a request handler that goes on using the connection itself (takeOverConnection).
    bool takenOver = false;
    // The read deadline (monotonicNow() time; 0 for none) and the socket's one timer.
    std::int64_t readDeadline = 0;
    bool readTimedOut = false;
    // When set, the timer wakes at least this often (nanoseconds) and re-arms itself while the
    // deadline lies ahead; deadlines set at least this far ahead then never need a new timer.
    std::int64_t deadlineCheckInterval = 0;
    Future<void> deadlineTimer;
    std::int64_t deadlineWakeAt = 0;
    // A counted read (recv) that goes this long (nanoseconds) without a byte ends as the end of
    // the stream, with readTimedOut set; 0 for no limit. Applies while no other deadline is set.
    std::int64_t readStallLimit = 0;
    // A socket whose sends go this long (nanoseconds) without progress is closed, which ends them
    // with an error; 0 for no limit. Progress is a send that finished, so that the next began.
    std::int64_t sendStallLimit = 0;
    // The last send that did not finish at once (sends finish in order), held weakly: while it is
    // under way its operation keeps it alive. And the watch over the sends.
    std::weak_ptr<detail::FutureState<void>> lastSend;
    Future<void> sendWatch;
    std::uint64_t sendCountAtWatch = 0;
    int stalledWatches = 0;
};

enum SocketOption : std::uint8_t {
    OptAcceptConn,
    OptBroadcast,
    OptDebug,
    OptDontRoute,
    OptKeepAlive,
    OptOOBInline,
    OptReuseAddr,
    OptReusePort,
    OptNoDelay,
};

// The level and name of the platform option behind a SocketOption.
struct NativeSocketOption {
    int level;
    int name;
};

// Reuse-address is SO_REUSEADDR on POSIX but SO_EXCLUSIVEADDRUSE on Windows, where SO_REUSEADDR
// would let a second socket bind a port that is in use and take over its traffic. Reuse-port is
// SO_REUSEADDR on both. No-delay lives at the TCP level, every other option at the socket level.
NativeSocketOption nativeSocketOption(SocketOption option);

// A new registered, non-blocking socket; OSError when the system cannot create it.
BufferedSocket createBufferedSocket(int domain = osAfInet, int socketType = osSockStream,
                                    int protocol = osIpprotoTcp, bool buffered = true);

// Wraps a handle that is already registered with the dispatcher and switches it to non-blocking
// mode. Passing osInvalidSocket is an assertion failure.
BufferedSocket createBufferedSocket(AsyncFD fd, int domain, int socketType, int protocol,
                                    bool buffered);

// Sets the option to 1 or 0; `level` defaults to the option's own level. OSError on failure.
void setSocketOption(const BufferedSocket& socket, SocketOption option, bool value,
                     std::optional<int> level = std::nullopt);

// Binds to the first address that the lookup of (address, port) gives; an empty address is
// "0.0.0.0" or "::" for the socket's family. OSError when lookup or bind fails.
void bindAddr(const BufferedSocket& socket, std::uint16_t port, std::string_view address = {});

// OSError when listen fails.
void listen(const BufferedSocket& socket, int backlog = osSomaxconn);

// The next connection: its peer address text and a buffered socket of its own. The future is
// named "asyncnet.acceptAddr".
Future<std::pair<std::string, BufferedSocket>> acceptAddr(BufferedSocket socket,
                                                          SocketFlags flags = defaultSocketFlags);

// Exactly `size` bytes, or fewer only when the peer closed first.
Future<std::string> recv(BufferedSocket socket, std::int32_t size,
                         SocketFlags flags = defaultSocketFlags);

// Appends one line to `line`, which the caller empties first and keeps alive until the future
// finishes. The line comes back without its CR LF or LF; an empty line comes back as CR LF; a line
// longer than maxLength comes back with maxLength + 1 bytes and the rest left unread; and the
// line is emptied when the peer closes before its end.
Future<void> recvLineInto(BufferedSocket socket, std::string& line,
                          SocketFlags flags = defaultSocketFlags, std::size_t maxLength = 8192);

// recvLineInto without waiting: when the buffer already holds the line's end, takes the line
// into `line` exactly as recvLineInto would and returns true; otherwise takes nothing.
bool takeBufferedLine(const BufferedSocket& socket, std::string& line,
                      std::size_t maxLength = 8192);

// Whether unread bytes wait in the buffer.
inline bool hasBufferedBytes(const BufferedSocket& socket) {
    return socket->readPosition < socket->fillLength;
}

// One fill of the buffer, which must hold no unread bytes, awaited in a procedure: the count
// received, or 0 when the stream ended (or the read deadline passed) first. The procedure resumes
// straight from the receive's completion, with no procedure of the fill's own between.
class FillAwaiter {
public:
    using ProcedureAwaiter = void;

    FillAwaiter(BufferedSocket socket, SocketFlags flags);

    bool await_ready() const noexcept { return !receive_ || receive_->await_ready(); }
    template <class Promise>
    void await_suspend(std::coroutine_handle<Promise> frame) {
        receive_->await_suspend(frame);
    }
    std::int32_t await_resume() const;

private:
    BufferedSocket socket_;
    // None when the deadline had passed before the fill began.
    std::optional<detail::FutureAwaiter<std::int32_t>> receive_;
};

FillAwaiter fillBuffer(BufferedSocket socket, SocketFlags flags = defaultSocketFlags);

// A read still waiting at `deadline` (monotonicNow() time) ends as the end of the stream, and so
// does every later read until the deadline is set again; isReadTimedOut then says why. 0 removes
// the deadline. Setting a deadline clears the timed-out state.
void setReadDeadline(const BufferedSocket& socket, std::int64_t deadline);
bool isReadTimedOut(const BufferedSocket& socket);
// setReadDeadline at `ms` milliseconds from now, with one reading of the clock.
void setReadDeadlineAfterMs(const BufferedSocket& socket, std::int64_t ms);

// How long and how much a lingering close reads before it gives up and closes.
inline constexpr std::int32_t lingerTimeMs = 2000;
inline constexpr std::size_t lingerByteLimit = 4u * 1024u * 1024u;

// Closes without losing what was sent: waits until the sends under way have been handed to the
// system, ends the sending direction, then reads and drops what the peer still sends until it
// closes, `byteLimit` bytes have come or `timeLimitMs` has passed, and only then closes. Closing
// with unread bytes would make the system reset the connection and drop the answer still on its way
// to the peer. Raises nothing; finishes once closed.
Future<void> lingeringClose(BufferedSocket socket, std::int32_t timeLimitMs = lingerTimeMs,
                            std::size_t byteLimit = lingerByteLimit);

// Closes after the last answer to a peer that asked for the close: at once when nothing it sent is
// left unread, since it sends no more; otherwise as lingeringClose does.
Future<void> closeAsPeerAsked(BufferedSocket socket, std::int32_t timeLimitMs = lingerTimeMs);

// The largest piece handed to the system at once: a larger answer goes out in slices of this size.
inline constexpr std::size_t sendSliceSize = 256u * 1024u;

// Sends all of `data`.
Future<void> send(BufferedSocket socket, std::string data, SocketFlags flags = defaultSocketFlags);

// Closes and unregisters the native socket. Closing a socket twice does nothing the second time,
// so a descriptor number that the system has handed out again is never closed by mistake.
void close(const BufferedSocket& socket);

bool isClosed(const BufferedSocket& socket);

} // namespace quorvin
