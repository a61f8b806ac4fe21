// The buffered socket's operations; the platform files supply option names and address access.
#include "http/asyncnet.h"

#include "async/asyncdispatch.h"
#include "async/asyncproc.h"
#include "async/plainsockets.h"
#include "http/linescan.h"
#include "runtime/clock.h"
#include "runtime/errors.h"

#include <algorithm>
#include <cstring>

namespace quorvin {

namespace {

// Starts one fill of the buffer; finishFill records what arrived once it has.
Future<std::int32_t> startFill(const BufferedSocket& socket, SocketFlags flags) {
    assertCondition(!socket->closed, "not socket.closed", "Cannot `recv` on a closed socket");
    return recvInto(socket->fd, socket->buffer.data(), socketFillSize,
                    flags.without(SocketFlag::Peek));
}

std::int32_t finishFill(BufferedSocketObject& socket, std::int32_t received) {
    socket.readPosition = 0;
    socket.fillLength = received;
    return received;
}

void armDeadlineTimer(const BufferedSocket& socket, std::int64_t wakeAt);

std::int64_t nextWake(const BufferedSocketObject& socket, std::int64_t now) {
    if (socket.deadlineCheckInterval <= 0) {
        return socket.readDeadline;
    }
    return std::min(socket.readDeadline, now + socket.deadlineCheckInterval);
}

void onDeadlineTimer(const BufferedSocket& socket) {
    socket->deadlineTimer = Future<void>();
    if (socket->readDeadline == 0) {
        return; // the next deadline arms a new timer
    }
    const std::int64_t now = monotonicNow();
    if (now < socket->readDeadline) {
        armDeadlineTimer(socket, nextWake(*socket, now));
        return;
    }
    socket->readDeadline = 0;
    socket->readTimedOut = true;
    cancelPendingReceive(socket->fd);
}

// Keeps the pending timer when it wakes early enough; otherwise withdraws it for a new one.
void armDeadlineTimer(const BufferedSocket& socket, std::int64_t wakeAt) {
    if (socket->deadlineTimer && !socket->deadlineTimer.finished()) {
        if (socket->deadlineWakeAt <= wakeAt) {
            return;
        }
        socket->deadlineTimer.complete();
    }
    Future<void> timer = makeFuture<void>("readDeadline");
    socket->deadlineTimer = timer;
    socket->deadlineWakeAt = wakeAt;
    std::weak_ptr<BufferedSocketObject> weak = socket;
    timer.addCallback([weak](const Future<void>& fired) {
        BufferedSocket owner = weak.lock();
        if (owner && !owner->closed && owner->deadlineTimer == fired) {
            onDeadlineTimer(owner);
        }
    });
    currentDispatcher().addTimer(wakeAt, timer);
}

// How often the watch over a socket's sends looks, per stall limit.
constexpr int sendWatchesPerLimit = 4;

// The last send still under way, or none.
Future<void> sendUnderWay(const BufferedSocketObject& socket) {
    std::shared_ptr<detail::FutureState<void>> sending = socket.lastSend.lock();
    if (sending == nullptr || sending->finished()) {
        return Future<void>();
    }
    return Future<void>(std::move(sending));
}

void scheduleSendWatch(const BufferedSocket& socket);

// A send that started since the last look means the one before it finished. Sends under way
// with no progress for the stall limit close the socket; once none is under way the watch ends,
// and the next send that has to wait starts a new one.
void onSendWatch(const BufferedSocket& socket) {
    socket->sendWatch = Future<void>();
    if (!sendUnderWay(*socket)) {
        return;
    }
    if (socket->sendCount != socket->sendCountAtWatch) {
        socket->sendCountAtWatch = socket->sendCount;
        socket->stalledWatches = 0;
    } else if (++socket->stalledWatches >= sendWatchesPerLimit) {
        close(socket);
        return;
    }
    scheduleSendWatch(socket);
}

void scheduleSendWatch(const BufferedSocket& socket) {
    Future<void> watch = makeFuture<void>("sendWatch");
    socket->sendWatch = watch;
    std::weak_ptr<BufferedSocketObject> weak = socket;
    watch.addCallback([weak](const Future<void>& fired) {
        BufferedSocket owner = weak.lock();
        if (owner && !owner->closed && owner->sendWatch == fired) {
            onSendWatch(owner);
        }
    });
    currentDispatcher().addTimer(monotonicNow() + socket->sendStallLimit / sendWatchesPerLimit,
                                 watch);
}

// Remembers a send that has to wait, and watches it when the socket has a stall limit.
void watchSend(const BufferedSocket& socket, const Future<void>& sending) {
    if (sending.finished()) {
        return;
    }
    socket->lastSend = sending.state();
    if (socket->sendStallLimit == 0 || (socket->sendWatch && !socket->sendWatch.finished())) {
        return;
    }
    socket->sendCountAtWatch = socket->sendCount;
    socket->stalledWatches = 0;
    scheduleSendWatch(socket);
}

// Withdrawn, so that the dispatcher drops the timer instead of keeping it until it is due.
void withdrawTimer(Future<void>& timer) {
    if (timer && !timer.finished()) {
        timer.complete();
    }
    timer = Future<void>();
}

// A socket that is non-blocking already, wrapped with its settings and an empty buffer.
BufferedSocket wrapNonBlockingSocket(AsyncFD fd, int domain, int socketType, int protocol,
                                     bool buffered) {
    auto socket = std::make_shared<BufferedSocketObject>();
    socket->fd = fd;
    socket->buffered = buffered;
    socket->domain = domain;
    socket->socketType = socketType;
    socket->protocol = protocol;
    return socket;
}

} // namespace

BufferedSocketObject::~BufferedSocketObject() {
    // A connection whose procedures were dropped unfinished (its loop went away, or a callback
    // was cleared) still gives its descriptor back.
    if (!closed && fd != osInvalidSocket) {
        closeAsyncSocket(fd);
    }
}

BufferedSocket createBufferedSocket(int domain, int socketType, int protocol, bool buffered) {
    AsyncFD fd = createAsyncSocketHandle(domain, socketType, protocol);
    if (fd == osInvalidSocket) {
        throw lastOsError();
    }
    return createBufferedSocket(fd, domain, socketType, protocol, buffered);
}

BufferedSocket createBufferedSocket(AsyncFD fd, int domain, int socketType, int protocol,
                                    bool buffered) {
    assertCondition(fd != osInvalidSocket, "fd != osInvalidSocket.AsyncFD");
    setBlocking(fd, false);
    return wrapNonBlockingSocket(fd, domain, socketType, protocol, buffered);
}

NativeSocketOption nativeSocketOption(SocketOption option) {
    switch (option) {
    case OptAcceptConn:
        return {osSolSocket, osSoAcceptConn};
    case OptBroadcast:
        return {osSolSocket, osSoBroadcast};
    case OptDebug:
        return {osSolSocket, osSoDebug};
    case OptDontRoute:
        return {osSolSocket, osSoDontRoute};
    case OptKeepAlive:
        return {osSolSocket, osSoKeepAlive};
    case OptOOBInline:
        return {osSolSocket, osSoOobInline};
    case OptReuseAddr:
        return {osSolSocket, osSoListenerReuseAddr};
    case OptReusePort:
        return {osSolSocket, osSoReuseAddr};
    case OptNoDelay:
        return {osIpprotoTcp, osTcpNoDelay};
    }
    return {osSolSocket, osSoListenerReuseAddr};
}

void setSocketOption(const BufferedSocket& socket, SocketOption option, bool value,
                     std::optional<int> level) {
    const NativeSocketOption native = nativeSocketOption(option);
    setSockOptInt(socket->fd, level.value_or(native.level), native.name, value ? 1 : 0);
}

void bindAddr(const BufferedSocket& socket, std::uint16_t port, std::string_view address) {
    std::string host(address);
    if (host.empty()) {
        if (socket->domain == osAfInet) {
            host = "0.0.0.0";
        } else if (socket->domain == osAfInet6) {
            host = "::";
        } else {
            throw ValueError("Unknown socket address family and no address specified to bindAddr");
        }
    }
    addrinfo* found = getAddrInfo(host, port, socket->domain, osSockStream, osIpprotoTcp);
    if (bindSocket(socket->fd, firstAddress(found), firstAddressLength(found)) < 0) {
        // Taken before the list is freed, which may change the last error.
        const int code = lastOsErrorCode();
        freeAddrInfo(found);
        throw OSError(code);
    }
    freeAddrInfo(found);
}

void listen(const BufferedSocket& socket, int backlog) {
    if (listenSocket(socket->fd, backlog) < 0) {
        throw lastOsError();
    }
}

Future<std::pair<std::string, BufferedSocket>> acceptAddr(BufferedSocket socket,
                                                          SocketFlags flags) {
    co_await procedureName("asyncnet.acceptAddr");
    AcceptResult accepted = co_await acceptAddr(socket->fd, flags);
    BufferedSocket client;
    try {
        client = osAcceptedSocketsAreNonBlocking
                     ? wrapNonBlockingSocket(accepted.second, socket->domain, socket->socketType,
                                             socket->protocol, socket->buffered)
                     : createBufferedSocket(accepted.second, socket->domain, socket->socketType,
                                            socket->protocol, socket->buffered);
    } catch (...) {
        closeAsyncSocket(accepted.second);
        throw;
    }
    co_return std::pair<std::string, BufferedSocket>(std::move(accepted.first), std::move(client));
}

namespace {

// A fill for a counted read. The first one starts the stall limit as the read's deadline, unless
// another deadline is set; each later one, which follows a fill that brought bytes, moves it on.
FillAwaiter fillWithinStallLimit(const BufferedSocket& socket, SocketFlags flags, bool& limited) {
    if (limited) {
        if (!socket->readTimedOut) {
            socket->readDeadline = monotonicNow() + socket->readStallLimit;
        }
    } else if (socket->readStallLimit != 0 && socket->readDeadline == 0 && !socket->readTimedOut) {
        setReadDeadline(socket, monotonicNow() + socket->readStallLimit);
        limited = true;
    }
    return fillBuffer(socket, flags);
}

} // namespace

Future<std::string> recv(BufferedSocket socket, std::int32_t size, SocketFlags flags) {
    co_await procedureName("recv");
    const bool peek = flags.contains(SocketFlag::Peek);
    const std::int32_t start = socket->readPosition;
    std::string result;
    // Room for a large count is taken as the bytes arrive, not on the peer's word alone.
    result.reserve(static_cast<std::size_t>(std::clamp(size, 0, 65536)));
    bool stallLimited = false;
    if (socket->fillLength == 0 &&
        co_await fillWithinStallLimit(socket, flags, stallLimited) == 0) {
        co_return result;
    }
    while (static_cast<std::int32_t>(result.size()) < size) {
        if (socket->readPosition >= socket->fillLength) {
            if (peek || co_await fillWithinStallLimit(socket, flags, stallLimited) == 0) {
                break;
            }
        }
        const std::int32_t wanted = size - static_cast<std::int32_t>(result.size());
        const std::int32_t count = std::min(wanted, socket->fillLength - socket->readPosition);
        result.append(socket->buffer.data() + socket->readPosition,
                      static_cast<std::size_t>(count));
        socket->readPosition += count;
    }
    if (peek) {
        socket->readPosition = start;
    }
    if (stallLimited) {
        socket->readDeadline = 0;
    }
    co_return result;
}

Future<void> recvLineInto(BufferedSocket socket, std::string& line, SocketFlags flags,
                          std::size_t maxLength) {
    co_await procedureName("recvLineInto");
    assertCondition(!flags.contains(SocketFlag::Peek), "SocketFlag.Peek notin flags");
    if (socket->fillLength == 0 && co_await fillBuffer(socket, flags) == 0) {
        co_return;
    }
    LineScanState state;
    while (scanLine(socket->buffer.data(), socket->readPosition, socket->fillLength, line, state,
                    maxLength) == LineScan::NeedMore) {
        if (co_await fillBuffer(socket, flags) == 0) {
            line.clear();
            co_return;
        }
    }
}

bool takeBufferedLine(const BufferedSocket& socket, std::string& line, std::size_t maxLength) {
    const char* unread = socket->buffer.data() + socket->readPosition;
    const auto count = static_cast<std::size_t>(socket->fillLength - socket->readPosition);
    // The line feed bounds the scan: the line ends there at the latest.
    if (socket->readPosition >= socket->fillLength || std::memchr(unread, '\n', count) == nullptr) {
        return false;
    }
    LineScanState state;
    scanLine(socket->buffer.data(), socket->readPosition, socket->fillLength, line, state,
             maxLength);
    return true;
}

FillAwaiter::FillAwaiter(BufferedSocket socket, SocketFlags flags) : socket_(std::move(socket)) {
    if (!socket_->readTimedOut) {
        receive_.emplace(startFill(socket_, flags));
    }
}

std::int32_t FillAwaiter::await_resume() const {
    std::int32_t received = 0;
    if (receive_) {
        try {
            received = receive_->await_resume();
        } catch (const OSError&) {
            if (!socket_->readTimedOut) {
                throw;
            }
        }
    }
    return finishFill(*socket_, socket_->readTimedOut ? 0 : received);
}

FillAwaiter fillBuffer(BufferedSocket socket, SocketFlags flags) {
    return FillAwaiter(std::move(socket), flags);
}

namespace {

void setDeadlineAt(const BufferedSocket& socket, std::int64_t deadline, std::int64_t now) {
    socket->readDeadline = deadline;
    socket->readTimedOut = false;
    if (deadline != 0) {
        armDeadlineTimer(socket, nextWake(*socket, now));
    }
}

} // namespace

void setReadDeadline(const BufferedSocket& socket, std::int64_t deadline) {
    setDeadlineAt(socket, deadline, deadline != 0 ? monotonicNow() : 0);
}

void setReadDeadlineAfterMs(const BufferedSocket& socket, std::int64_t ms) {
    const std::int64_t now = monotonicNow();
    setDeadlineAt(socket, now + ms * 1'000'000, now);
}

bool isReadTimedOut(const BufferedSocket& socket) {
    return socket->readTimedOut;
}

namespace {

// Waits until the sends under way have been handed to the system: ending the sending direction or
// closing before would cut off what is still on its way. The frame does not hold the send it waits
// for. False once the socket is closed.
Future<bool> finishSends(BufferedSocket socket) {
    co_await procedureName("finishSends");
    while (sendUnderWay(*socket)) {
        try {
            co_await sendUnderWay(*socket);
        } catch (const OSError&) {
            // The connection is closed by the caller either way.
        }
    }
    co_return !socket->closed;
}

// Ends the sending direction, then reads and drops what the peer still sends, and closes.
Future<void> lingerAndClose(BufferedSocket socket, std::int32_t timeLimitMs,
                            std::size_t byteLimit) {
    co_await procedureName("lingerAndClose");
    shutdownSending(socket->fd);
    setReadDeadlineAfterMs(socket, timeLimitMs);
    std::size_t discarded = 0;
    try {
        while (discarded <= byteLimit) {
            const std::int32_t received = co_await fillBuffer(socket, defaultSocketFlags);
            if (received == 0) {
                break;
            }
            discarded += static_cast<std::size_t>(received);
        }
    } catch (const OSError&) {
        // A failing read ends the lingering as the end of the stream would.
    }
    close(socket);
}

} // namespace

Future<void> lingeringClose(BufferedSocket socket, std::int32_t timeLimitMs,
                            std::size_t byteLimit) {
    co_await procedureName("lingeringClose");
    // Named, not awaited in the condition: tests/coroutine_frames.sh says why.
    const bool open = co_await finishSends(socket);
    if (open) {
        co_await lingerAndClose(std::move(socket), timeLimitMs, byteLimit);
    }
}

Future<void> closeAsPeerAsked(BufferedSocket socket, std::int32_t timeLimitMs) {
    co_await procedureName("closeAsPeerAsked");
    const bool open = co_await finishSends(socket);
    if (!open) {
        co_return;
    }
    // Speed: no wait for the peer's end of stream (bench/run new connections: +10 % and more).
    if (!hasBufferedBytes(socket) && !hasUnreadBytes(socket->fd)) {
        close(socket);
        co_return;
    }
    co_await lingerAndClose(std::move(socket), timeLimitMs, lingerByteLimit);
}

namespace {

// Slice after slice, each counted as a send of its own, so that the watch over the sends sees a
// client that takes a large answer slowly make progress.
Future<void> sendInSlices(BufferedSocket socket, std::string data, SocketFlags flags) {
    co_await procedureName("send");
    for (std::size_t offset = 0; offset < data.size(); offset += sendSliceSize) {
        const std::size_t count = std::min(sendSliceSize, data.size() - offset);
        ++socket->sendCount;
        co_await send(socket->fd, data.data() + offset, static_cast<std::int32_t>(count), flags);
    }
}

} // namespace

Future<void> send(BufferedSocket socket, std::string data, SocketFlags flags) {
    // No procedure of its own for an answer of one slice: the socket's send is the outcome, and a
    // failure to start it arrives, as from any procedure, as a failed future.
    return futureOrFailure<void>("send", [&] {
        assertCondition(socket != nullptr, "socket != nil");
        if (data.size() > sendSliceSize) {
            Future<void> sending = sendInSlices(socket, std::move(data), flags);
            watchSend(socket, sending);
            return sending;
        }
        ++socket->sendCount;
        Future<void> sending = send(socket->fd, std::move(data), flags);
        watchSend(socket, sending);
        return sending;
    });
}

void close(const BufferedSocket& socket) {
    if (socket->closed) {
        return;
    }
    socket->closed = true;
    socket->readDeadline = 0;
    withdrawTimer(socket->deadlineTimer);
    withdrawTimer(socket->sendWatch);
    closeAsyncSocket(socket->fd);
}

bool isClosed(const BufferedSocket& socket) {
    return socket->closed;
}

} // namespace quorvin
