// The asynchronous socket operations over the epoll backend.
#include "async/asyncsockets.h"

#include "async/iobackend_posix.h"
#include "async/socketcompletion.h"

#include <cerrno>
#include <sys/ioctl.h>
#include <sys/socket.h>
#include <unistd.h>

namespace quorvin {

namespace {

using detail::CompletionRecord;
using detail::Direction;
using detail::RecordPtr;

bool wouldBlock(int code) {
    return code == EAGAIN || code == EWOULDBLOCK;
}

RecordPtr makeRecord(AsyncFD fd, CompletionCallback cb,
                     std::function<bool(CompletionRecord&)> attempt) {
    auto record = std::make_unique<CompletionRecord>();
    record->fd = fd;
    record->cb = std::move(cb);
    record->attempt = std::move(attempt);
    return record;
}

// Starts the operation; one that ended at once reports its outcome now. A success is still
// delivered by a later step as well, as the completion port does for its sockets, and finds the
// future finished there.
void start(RecordPtr record, Direction direction) {
    detail::IoBackend& backend = currentDispatcher().backend();
    RecordPtr ended = detail::startOperation(backend, std::move(record), direction);
    if (ended == nullptr) {
        return;
    }
    bool succeeded = ended->error == -1;
    ended->cb(ended->fd, ended->bytes, ended->error);
    if (succeeded) {
        detail::postCompletion(backend, std::move(ended));
    }
}

// The connection taken by accept() until the completion hands it over.
struct AcceptedSocket {
    int fd = -1;
    sockaddr_storage address{};
    ~AcceptedSocket() {
        if (fd >= 0) {
            ::close(fd);
        }
    }
};

void acceptConnection(const Future<AcceptResult>& future, AcceptedSocket& accepted) {
    int client = std::exchange(accepted.fd, -1);
    detail::completeAccept(future, client, reinterpret_cast<const sockaddr*>(&accepted.address));
}

} // namespace

bool isDisconnectError(SocketFlags flags, std::int32_t code) {
    if (!flags.contains(SocketFlag::IgnoreDisconnect)) {
        return false;
    }
    return code == ENETRESET || code == ECONNABORTED || code == ECONNRESET || code == ESHUTDOWN ||
           code == EPIPE;
}

Future<std::int32_t> recvInto(AsyncFD fd, void* buffer, std::int32_t size, SocketFlags flags) {
    verifyPresence(fd);
    assertCondition(!flags.contains(SocketFlag::Peek), "SocketFlag.Peek notin flags",
                    "Peek not supported on Windows.");
    assertCondition(size >= 0, "size >= 0");
    Future<std::int32_t> future = makeFuture<std::int32_t>("recvInto");
    auto attempt = [buffer, size](CompletionRecord& record) {
        ssize_t count;
        do {
            count = ::recv(static_cast<int>(record.fd), buffer, static_cast<std::size_t>(size),
                           MSG_DONTWAIT);
        } while (count < 0 && errno == EINTR);
        if (count < 0) {
            record.drained = wouldBlock(errno);
            if (record.drained) {
                return false;
            }
            record.error = errno;
            return true;
        }
        // The end of the stream stays readable: only a short read of data drains the socket.
        record.drained = count > 0 && count < size;
        record.bytes = static_cast<std::uint32_t>(count);
        return true;
    };
    auto finish = [future, flags](AsyncFD, std::uint32_t bytes, std::int32_t error) {
        detail::finishRecv(future, flags, bytes, error);
    };
    start(makeRecord(fd, detail::cachedCallable(finish), detail::cachedCallable(attempt)),
          Direction::Read);
    return future;
}

Future<void> send(AsyncFD fd, const void* buffer, std::int32_t size, SocketFlags flags) {
    verifyPresence(fd);
    assertCondition(size >= 0, "size >= 0");
    Future<void> future = makeFuture<void>("send");
    // A partial write leaves the rest for the next readiness edge: the operation ends only when
    // the whole buffer has been handed to the system, or on an error.
    auto attempt = [next = static_cast<const char*>(buffer),
                    left = static_cast<std::size_t>(size)](CompletionRecord& record) mutable {
        while (left > 0) {
            ssize_t count =
                ::send(static_cast<int>(record.fd), next, left, MSG_DONTWAIT | MSG_NOSIGNAL);
            if (count < 0) {
                if (errno == EINTR) {
                    continue;
                }
                if (wouldBlock(errno)) {
                    return false;
                }
                record.error = errno;
                return true;
            }
            next += count;
            left -= static_cast<std::size_t>(count);
            record.bytes += static_cast<std::uint32_t>(count);
        }
        return true;
    };
    auto finish = [future, flags](AsyncFD, std::uint32_t, std::int32_t error) {
        detail::finishSend(future, flags, error);
    };
    start(makeRecord(fd, detail::cachedCallable(finish), detail::cachedCallable(attempt)),
          Direction::Write);
    return future;
}

Future<AcceptResult> acceptAddr(AsyncFD listener, SocketFlags flags) {
    verifyPresence(listener);
    Future<AcceptResult> future = makeFuture<AcceptResult>("acceptAddr");
    auto accepted = std::make_shared<AcceptedSocket>();
    auto attempt = [accepted](CompletionRecord& record) {
        for (;;) {
            socklen_t length = sizeof accepted->address;
            int client = ::accept4(static_cast<int>(record.fd),
                                   reinterpret_cast<sockaddr*>(&accepted->address), &length,
                                   SOCK_CLOEXEC | SOCK_NONBLOCK);
            if (client >= 0) {
                accepted->fd = client;
                return true;
            }
            if (errno == EINTR) {
                continue;
            }
            if (wouldBlock(errno)) {
                return false;
            }
            record.error = errno;
            return true;
        }
    };
    auto finish = [future, accepted, flags](AsyncFD fd, std::uint32_t, std::int32_t error) {
        if (future.finished()) {
            return;
        }
        if (error == -1) {
            acceptConnection(future, *accepted);
        } else {
            detail::failAccept(future, fd, flags, error);
        }
    };
    start(makeRecord(listener, finish, attempt), Direction::Read);
    return future;
}

void closeAsyncSocket(AsyncFD fd) {
    // Unregistered first, so that operations still waiting on the socket are ended (aborted)
    // before its descriptor number can be reused.
    unregisterHandle(fd);
    ::close(static_cast<int>(fd));
}

void shutdownSending(AsyncFD fd) {
    ::shutdown(static_cast<int>(fd), SHUT_WR);
}

bool hasUnreadBytes(AsyncFD fd) {
    int waiting = 0;
    return ::ioctl(static_cast<int>(fd), FIONREAD, &waiting) == 0 && waiting > 0;
}

void cancelPendingReceive(AsyncFD fd) {
    detail::cancelWaitingReaders(currentDispatcher().backend(), fd);
}

} // namespace quorvin
