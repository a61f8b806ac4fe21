// The per-thread event loop (PDispatcher) and the asynchronous socket operations that run on it.
//
// Each thread has at most one dispatcher, made by the first currentDispatcher() call there. A loop
// step (runOnce) handles at most one operation end, then the timers that are due, then every queued
// callback, and it never blocks while callbacks are queued. Socket operations report their end
// only through a completion run inside a step on the owning thread, or finish their future before
// they return when they end at once.
//
// Windows delivers completions through one I/O completion port. On POSIX, epoll (edge triggered)
// reports readiness; the loop then performs the waiting system calls and queues their outcomes as
// completions, which the steps deliver one at a time, in the same way.
#pragma once

#include "async/asyncfutures.h"
#include "runtime/clock.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <unordered_set>
#include <utility>
#include <vector>

struct addrinfo;
struct sockaddr;

namespace quorvin {

// A socket registered with the dispatcher; the same value is its completion key.
using AsyncFD = std::intptr_t;
// A plain socket handle (SOCKET or file descriptor) held as a pointer-sized signed integer.
using SocketHandle = std::intptr_t;
inline constexpr SocketHandle osInvalidSocket = -1;

// The end of one operation: the socket, the bytes transferred and -1 on success or the error code.
using CompletionCallback = std::function<void(AsyncFD fd, std::uint32_t bytes, std::int32_t error)>;

enum class SocketFlag : std::uint8_t { Peek = 1, IgnoreDisconnect = 2 };

// A set of SocketFlag values, stored as bits.
class SocketFlags {
public:
    constexpr SocketFlags() noexcept = default;
    constexpr SocketFlags(SocketFlag flag) noexcept : bits_(static_cast<std::uint8_t>(flag)) {}
    constexpr bool contains(SocketFlag flag) const noexcept {
        return (bits_ & static_cast<std::uint8_t>(flag)) != 0;
    }
    constexpr SocketFlags without(SocketFlag flag) const noexcept {
        return fromBits(bits_ & ~static_cast<std::uint8_t>(flag));
    }
    constexpr std::uint8_t bits() const noexcept { return bits_; }
    friend constexpr SocketFlags operator|(SocketFlags a, SocketFlags b) noexcept {
        return fromBits(a.bits_ | b.bits_);
    }
    friend constexpr bool operator==(SocketFlags, SocketFlags) noexcept = default;

private:
    static constexpr SocketFlags fromBits(int bits) noexcept {
        SocketFlags flags;
        flags.bits_ = static_cast<std::uint8_t>(bits);
        return flags;
    }
    std::uint8_t bits_ = 0;
};

constexpr SocketFlags operator|(SocketFlag a, SocketFlag b) noexcept {
    return SocketFlags(a) | SocketFlags(b);
}

// The flags every operation of the server uses.
inline constexpr SocketFlags defaultSocketFlags = SocketFlag::IgnoreDisconnect;

namespace detail {
// The platform's completion machinery, defined by the platform file.
struct IoBackend;
struct IoBackendDeleter {
    void operator()(IoBackend* backend) const noexcept;
};
class RingQueue;
} // namespace detail

// The event loop of one thread: its registered sockets, a timer heap and a callback FIFO.
class PDispatcher {
public:
    PDispatcher();
    ~PDispatcher();
    PDispatcher(const PDispatcher&) = delete;
    PDispatcher& operator=(const PDispatcher&) = delete;

    // `register`: associates the socket with the loop; OSError when that fails.
    void registerHandle(AsyncFD fd);
    // `unregister`: forgets the socket.
    void unregisterHandle(AsyncFD fd);
    bool isRegistered(AsyncFD fd) const { return handles_.contains(fd); }
    // ValueError "Operation performed on a socket which has not been registered with the
    // dispatcher yet." unless the socket is registered.
    void verifyPresence(AsyncFD fd) const;

    // One loop step; timeoutMs -1 waits without limit. True if the step did any work.
    // ValueError "No handles or timers registered in dispatcher." when there is nothing to run.
    bool runOnce(std::int32_t timeoutMs);
    void poll(std::int32_t timeoutMs) { (void)runOnce(timeoutMs); }
    // poll(500) for ever; only an exception out of a step ends it.
    [[noreturn]] void runLoopForever();

    // Completes the future (no value) in the first step at or after finishAt (monotonicNow() time).
    // A timer whose future someone else finishes first is dropped unfired, at the latest once the
    // heap has grown to twice its size after the last sweep, so withdrawn timers cost no memory.
    void addTimer(std::int64_t finishAt, Future<void> future);
    // Appends to the callback FIFO; the next callback phase runs it. `keepAlive` is held until
    // the callback has run.
    void queueCallback(Callback cb, std::shared_ptr<FutureBase> keepAlive = nullptr);

    std::size_t handleCount() const noexcept { return handles_.size(); }
    std::size_t timerCount() const noexcept { return timers_.size(); }
    std::size_t callbackCount() const noexcept;

    detail::IoBackend& backend() noexcept { return *backend_; }

private:
    struct Timer {
        std::int64_t finishAt;
        Future<void> future;
    };
    std::optional<std::int32_t> expireTimers();
    void runPendingCallbacks();
    std::int32_t waitTime(std::int32_t timeoutMs, std::optional<std::int32_t> nextTimer) const;
    bool dropEverything();
    void dropFinishedTimers();
    // Once load has fallen (a step found nothing to do): the frame cache and, after many sockets
    // have gone, the heap's free pages go back to the system.
    void giveBackMemory();

    std::unique_ptr<detail::IoBackend, detail::IoBackendDeleter> backend_;
    std::unordered_set<AsyncFD> handles_;
    std::vector<Timer> timers_; // a min-heap on finishAt
    std::size_t timerSweepAt_ = 64;
    std::unique_ptr<detail::RingQueue> callbacks_;
    bool didWork_ = false;
    std::size_t socketsGoneSinceTrim_ = 0;
};

// The thread's dispatcher, created on first use; it lives until the thread ends.
PDispatcher& currentDispatcher();

// The same operations on the current thread's dispatcher.
void registerHandle(AsyncFD fd);
void unregisterHandle(AsyncFD fd);
void verifyPresence(AsyncFD fd);
bool runOnce(std::int32_t timeoutMs);
void poll(std::int32_t timeoutMs);
[[noreturn]] void runLoopForever();

// A future that the current dispatcher completes once `ms` milliseconds have passed.
Future<void> sleepAsync(std::int32_t ms);

// ---- Asynchronous socket operations ----

// (peer address text, accepted socket registered with the dispatcher)
using AcceptResult = std::pair<std::string, AsyncFD>;

// Starts the socket library and fetches the accept extension functions (Windows); safe to call
// again. Failures raise OSError.
void startupSockets();

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

// Ends the receive still pending on the socket, if any, with an OSError (operation aborted) in a
// later step. Sends go on; the socket stays open and registered.
void cancelPendingReceive(AsyncFD fd);

// True when IgnoreDisconnect is in the flags and the code says that the peer went away.
bool isDisconnectError(SocketFlags flags, std::int32_t code);

// ---- Plain (synchronous) socket functions ----

// The socket, or osInvalidSocket; raises nothing.
SocketHandle createOsSocket(int family, int type, int protocol);
// The result is ignored.
void closeOsSocket(SocketHandle handle);
// OSError when the mode cannot be set.
void setBlocking(SocketHandle handle, bool blocking);
// OSError on a negative result.
void setSockOptInt(SocketHandle handle, int level, int option, int value);
// OSError when the lookup fails; release the list with freeAddrInfo.
addrinfo* getAddrInfo(const std::string& address, std::uint16_t port, int family, int type,
                      int protocol);
void freeAddrInfo(addrinfo* list);
// The socket address of a list's first entry and its length, for bindSocket.
const sockaddr* firstAddress(const addrinfo* list);
std::int32_t firstAddressLength(const addrinfo* list);
// bind() and listen(), their results unchanged.
int bindSocket(SocketHandle handle, const sockaddr* address, std::int32_t length);
int listenSocket(SocketHandle handle, int backlog);
// The numeric text of an IPv4 or IPv6 address; IOError "Unknown socket family in getAddrString"
// for other families.
std::string getAddrString(const sockaddr* address);

// connect() on a blocking socket, its result unchanged (for tools and tests: the server never
// connects).
int connectSocket(SocketHandle handle, const sockaddr* address, std::int32_t length);
// The local port a socket is bound to; OSError on failure.
std::uint16_t localPort(SocketHandle handle);

// The platform's values of the socket constants that portable code needs.
extern const int osAfInet;
extern const int osAfInet6;
extern const int osSockStream;
extern const int osIpprotoTcp;
extern const int osSolSocket;
extern const int osSoAcceptConn;
extern const int osSoBroadcast;
extern const int osSoDebug;
extern const int osSoDontRoute;
extern const int osSoKeepAlive;
extern const int osSoOobInline;
extern const int osSoReuseAddr;
extern const int osTcpNoDelay;
extern const int osSomaxconn;
// The reuse-address option of a listening socket: one that never lets a second socket take over a
// port in use (SO_EXCLUSIVEADDRUSE on Windows, SO_REUSEADDR on POSIX).
extern const int osSoListenerReuseAddr;
// What a socket that acceptAddr gives already has: non-blocking mode, and the listener's
// TCP_NODELAY. Where it has them, setting them again would only cost a system call per connection.
extern const bool osAcceptedSocketsAreNonBlocking;
extern const bool osAcceptedSocketsInheritNoDelay;

// What a failed accept says, and so what the listener does next.
enum class AcceptFailure : std::uint8_t {
    // One connection failed before it was handed over: accept the next one at once.
    OneConnection,
    // The process or system is short of descriptors or memory for now, or the error is one nobody
    // foresaw: accept again after a pause, so that a lasting error cannot make the listener spin.
    Shortage,
    // The listening socket itself is gone or unusable: no later accept can succeed.
    ListenerGone,
};
AcceptFailure classifyAcceptError(int code);

} // namespace quorvin
