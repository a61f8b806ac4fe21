// The loop's completion machinery on epoll: readiness becomes completed operations, delivered one
// per step.
#include "async/iobackend_posix.h"

#include "async/socketregistry.h"
#include "runtime/clock.h"

#include <cerrno>
#include <deque>
#include <sys/epoll.h>
#include <unistd.h>
#include <vector>

namespace quorvin::detail {

// Every registered socket is watched for both directions, edge triggered, from registration on.
// An operation is attempted when it starts; one that would block waits in its socket's queue for
// that direction, and each readiness edge retries the queue from the front until a call would
// block again. Ended operations move to `ready`, from which each step delivers one.
//
// A receive that found the socket drained leaves it unreadable until the next read edge: any data
// that arrives later raises one. The next receive then waits for that edge instead of making a
// call that would only block (on a keep-alive connection, the read after every response). Once
// the peer's end or an error has been seen no edge may follow, so every receive is tried. A socket
// starts unreadable: registering it raises an edge for data that is already there.
struct IoBackend {
    // Vectors rather than deques: an empty deque still holds a block of its own, which every
    // idle connection would pay for twice.
    struct Waiting {
        std::vector<RecordPtr> readers;
        std::vector<RecordPtr> writers;
        bool readable = false;
        bool peerEnded = false;
    };

    int epollFd = -1;
    SocketRegistry<Waiting> sockets{64};
    std::deque<RecordPtr> ready;

    static bool attempt(Waiting& waiting, CompletionRecord& record) {
        bool ended = record.attempt(record);
        if (record.drained && !waiting.peerEnded) {
            waiting.readable = false;
        }
        return ended;
    }

    void drain(Waiting& waiting, std::vector<RecordPtr>& queue) {
        std::size_t ended = 0;
        while (ended < queue.size() && attempt(waiting, *queue[ended])) {
            ready.push_back(std::move(queue[ended]));
            ++ended;
        }
        queue.erase(queue.begin(), queue.begin() + static_cast<std::ptrdiff_t>(ended));
    }

    void onEvent(const epoll_event& event) {
        Waiting* waiting = sockets.find(event.data.fd);
        if (waiting == nullptr) {
            return;
        }
        if ((event.events & (EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0) {
            waiting->peerEnded = true;
        }
        if ((event.events & (EPOLLIN | EPOLLRDHUP | EPOLLHUP | EPOLLERR)) != 0) {
            waiting->readable = true;
            drain(*waiting, waiting->readers);
        }
        if ((event.events & (EPOLLOUT | EPOLLHUP | EPOLLERR)) != 0) {
            drain(*waiting, waiting->writers);
        }
    }

    // Waits for readiness until an operation has ended or the wait time has passed.
    void waitForReadiness(std::int32_t waitMs) {
        const std::int64_t deadline = monotonicNow() + std::int64_t{waitMs} * 1'000'000;
        epoll_event events[64];
        for (;;) {
            int timeout = -1;
            if (waitMs >= 0) {
                std::int64_t left = deadline - monotonicNow();
                timeout = left <= 0 ? 0 : static_cast<int>((left + 999'999) / 1'000'000);
            }
            int count = epoll_wait(epollFd, events, 64, timeout);
            if (count < 0 && errno != EINTR) {
                throw lastOsError();
            }
            for (int i = 0; i < count; ++i) {
                onEvent(events[i]);
            }
            // Readiness that ended nothing (a partial send, an event for an idle socket) does not
            // end the step early.
            if (!ready.empty() || count == 0 || timeout == 0) {
                return;
            }
        }
    }
};

void IoBackendDeleter::operator()(IoBackend* backend) const noexcept {
    if (backend->epollFd >= 0) {
        ::close(backend->epollFd);
    }
    delete backend;
}

std::unique_ptr<IoBackend, IoBackendDeleter> createIoBackend() {
    std::unique_ptr<IoBackend, IoBackendDeleter> backend(new IoBackend);
    backend->epollFd = epoll_create1(EPOLL_CLOEXEC);
    if (backend->epollFd < 0) {
        throw lastOsError();
    }
    return backend;
}

void associateHandle(IoBackend& backend, AsyncFD fd) {
    epoll_event event{};
    event.events = EPOLLIN | EPOLLOUT | EPOLLRDHUP | EPOLLET;
    event.data.fd = static_cast<int>(fd);
    // A descriptor that was unregistered but not yet closed is still in the epoll set.
    if (epoll_ctl(backend.epollFd, EPOLL_CTL_ADD, static_cast<int>(fd), &event) != 0 &&
        (errno != EEXIST ||
         epoll_ctl(backend.epollFd, EPOLL_CTL_MOD, static_cast<int>(fd), &event) != 0)) {
        throw lastOsError();
    }
    backend.sockets.add(fd);
}

namespace {

// What the system does to overlapped operations of a closed socket, or to a cancelled one: they
// end, aborted.
void abortWaiting(IoBackend& backend, std::vector<RecordPtr>& queue) {
    for (RecordPtr& record : queue) {
        record->error = ECANCELED;
        backend.ready.push_back(std::move(record));
    }
    queue.clear();
}

} // namespace

// The descriptor stays in the epoll set until it is closed, which takes it out without a call of
// its own (sockets are unregistered just before they are closed); an event for it meanwhile finds
// no entry and is ignored.
bool dissociateHandle(IoBackend& backend, AsyncFD fd) {
    std::optional<IoBackend::Waiting> waiting = backend.sockets.remove(fd);
    if (!waiting) {
        return false;
    }
    abortWaiting(backend, waiting->readers);
    abortWaiting(backend, waiting->writers);
    return true;
}

bool isRegistered(const IoBackend& backend, AsyncFD fd) {
    return backend.sockets.contains(fd);
}

std::size_t registeredCount(const IoBackend& backend) {
    return backend.sockets.size();
}

void cancelWaitingReaders(IoBackend& backend, AsyncFD fd) {
    if (IoBackend::Waiting* waiting = backend.sockets.find(fd)) {
        abortWaiting(backend, waiting->readers);
    }
}

bool runOneCompletion(IoBackend& backend, std::int32_t waitMs) {
    if (backend.ready.empty()) {
        backend.waitForReadiness(waitMs);
    }
    if (backend.ready.empty()) {
        return false;
    }
    RecordPtr record = std::move(backend.ready.front());
    backend.ready.pop_front();
    record->cb(record->fd, record->bytes, record->error);
    return true;
}

bool dropUndelivered(IoBackend& backend) {
    std::deque<RecordPtr> dropped = std::move(backend.ready);
    backend.ready.clear();
    for (auto& [fd, waiting] : backend.sockets) {
        for (auto* queue : {&waiting.readers, &waiting.writers}) {
            for (RecordPtr& record : *queue) {
                dropped.push_back(std::move(record));
            }
            queue->clear();
        }
    }
    return !dropped.empty();
}

RecordPtr startOperation(IoBackend& backend, RecordPtr record, Direction direction) {
    IoBackend::Waiting* found = backend.sockets.find(record->fd);
    assertCondition(found != nullptr, "fd in dispatcher.handles");
    IoBackend::Waiting& waiting = *found;
    std::vector<RecordPtr>& queue =
        direction == Direction::Read ? waiting.readers : waiting.writers;
    bool mayTry = direction == Direction::Write || waiting.readable;
    if (queue.empty() && mayTry && IoBackend::attempt(waiting, *record)) {
        return record;
    }
    queue.push_back(std::move(record));
    return nullptr;
}

void postCompletion(IoBackend& backend, RecordPtr record) {
    backend.ready.push_back(std::move(record));
}

} // namespace quorvin::detail
