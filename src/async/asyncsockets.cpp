// The portable part of the socket operations: string sends, socket creation and the common
// completion rules.
#include "async/asyncsockets.h"

#include "async/asyncdispatch.h"
#include "async/framecache.h"
#include "async/plainsockets.h"
#include "async/socketcompletion.h"

#include <limits>

namespace quorvin {

namespace detail {

void finishRecv(const Future<std::int32_t>& future, SocketFlags flags, std::uint32_t bytes,
                std::int32_t error) {
    if (future.finished()) {
        return;
    }
    if (error == -1) {
        future.complete(static_cast<std::int32_t>(bytes));
    } else if (isDisconnectError(flags, error)) {
        future.complete(0);
    } else {
        future.fail(OSError(error));
    }
}

void finishSend(const Future<void>& future, SocketFlags flags, std::int32_t error) {
    if (future.finished()) {
        return;
    }
    if (error == -1 || isDisconnectError(flags, error)) {
        future.complete();
    } else {
        future.fail(OSError(error));
    }
}

void failAccept(const Future<AcceptResult>& future, AsyncFD listener, SocketFlags flags,
                std::int32_t error) {
    if (!isDisconnectError(flags, error)) {
        future.fail(OSError(error));
        return;
    }
    // This may run inside a loop step: a new accept that cannot start fails this future instead
    // of leaving the step.
    Future<AcceptResult> next;
    try {
        next = acceptAddr(listener, flags);
    } catch (...) {
        future.fail(std::current_exception());
        return;
    }
    next.addCallback([future](const Future<AcceptResult>& done) {
        if (done.failed()) {
            future.fail(done.readError());
        } else {
            future.complete(done.read());
        }
    });
}

void completeAccept(const Future<AcceptResult>& future, SocketHandle client,
                    const sockaddr* remote) {
    std::string address;
    try {
        address = getAddrString(remote);
        registerHandle(client);
    } catch (...) {
        closeOsSocket(client);
        future.fail(std::current_exception());
        return;
    }
    future.complete(AcceptResult{std::move(address), client});
}

} // namespace detail

AsyncFD createAsyncSocketHandle(int family, int type, int protocol) {
    SocketHandle handle = createOsSocket(family, type, protocol);
    if (handle == osInvalidSocket) {
        return osInvalidSocket;
    }
    try {
        setBlocking(handle, false);
        registerHandle(handle);
    } catch (...) {
        closeOsSocket(handle);
        throw;
    }
    return handle;
}

Future<void> send(AsyncFD fd, std::string data, SocketFlags flags) {
    Future<void> result = makeFuture<void>("send");
    if (data.empty()) {
        result.complete();
        return result;
    }
    assertCondition(data.size() <= std::size_t{std::numeric_limits<std::int32_t>::max()},
                    "data.len <= high(int32)");
    // The copy stays alive in the callback until the inner send has ended.
    auto copy = detail::makeCached<std::string>(std::move(data));
    Future<void> inner = send(fd, copy->data(), static_cast<std::int32_t>(copy->size()), flags);
    inner.replaceCallbacks([result, copy](const Future<void>& done) {
        if (done.failed()) {
            result.fail(done.readError());
        } else {
            result.complete();
        }
    });
    return result;
}

} // namespace quorvin
