// The loop's completion machinery on one I/O completion port.
#include "async/completionrecord_win.h"
#include "async/iobackend.h"
#include "async/socketregistry.h"

namespace quorvin::detail {

struct IoBackend {
    struct Registered {
        // The receive under way on the socket, if it has one.
        CompletionRecord* receive = nullptr;
    };

    HANDLE port = nullptr;
    SocketRegistry<Registered> sockets{64};

    // A record whose completion has arrived is no longer under way. A socket's number may have
    // been reused since: only its own entry goes.
    void forgetReceive(const CompletionRecord& record) {
        Registered* registered = sockets.find(record.data.fd);
        if (registered != nullptr && registered->receive == &record) {
            registered->receive = nullptr;
        }
    }
};

void trackReceive(IoBackend& backend, CompletionRecord& record) {
    if (IoBackend::Registered* registered = backend.sockets.find(record.data.fd)) {
        registered->receive = &record;
    }
}

void cancelReceive(IoBackend& backend, AsyncFD fd) {
    IoBackend::Registered* registered = backend.sockets.find(fd);
    if (registered != nullptr && registered->receive != nullptr) {
        // The cancelled receive still reports through the port, with ERROR_OPERATION_ABORTED.
        CancelIoEx(reinterpret_cast<HANDLE>(fd), &registered->receive->overlapped);
    }
}

void releaseRecord(CompletionRecord* record) noexcept {
    if (--record->references == 0) {
        delete record;
    }
}

void IoBackendDeleter::operator()(IoBackend* backend) const noexcept {
    if (backend->port != nullptr) {
        CloseHandle(backend->port);
    }
    delete backend;
}

std::unique_ptr<IoBackend, IoBackendDeleter> createIoBackend() {
    std::unique_ptr<IoBackend, IoBackendDeleter> backend(new IoBackend);
    backend->port = CreateIoCompletionPort(INVALID_HANDLE_VALUE, nullptr, 0, 1);
    if (backend->port == nullptr) {
        throw lastOsError();
    }
    return backend;
}

void associateHandle(IoBackend& backend, AsyncFD fd) {
    HANDLE handle = reinterpret_cast<HANDLE>(fd);
    if (CreateIoCompletionPort(handle, backend.port, static_cast<ULONG_PTR>(fd), 1) == nullptr) {
        throw lastOsError();
    }
    backend.sockets.add(fd);
}

// A socket stays associated with the port until it is closed; its number may then come back for
// another socket, which must not find the old receive.
bool dissociateHandle(IoBackend& backend, AsyncFD fd) {
    return backend.sockets.remove(fd).has_value();
}

bool isRegistered(const IoBackend& backend, AsyncFD fd) {
    return backend.sockets.contains(fd);
}

std::size_t registeredCount(const IoBackend& backend) {
    return backend.sockets.size();
}

namespace {

// The loop's reference: the one that stands for the operation in the system.
struct PendingRef {
    CompletionRecord* record;
    ~PendingRef() {
        if (record != nullptr) {
            releaseRecord(record);
        }
    }
};

void checkKey(const CompletionRecord& record, ULONG_PTR key) {
    assertCondition(record.data.fd == static_cast<AsyncFD>(key),
                    "customOverlapped.data.fd == lpCompletionKey.AsyncFD");
}

} // namespace

bool runOneCompletion(IoBackend& backend, std::int32_t waitMs) {
    DWORD bytes = 0;
    ULONG_PTR key = 0;
    OVERLAPPED* overlapped = nullptr;
    DWORD wait = waitMs < 0 ? INFINITE : static_cast<DWORD>(waitMs);
    BOOL ok = GetQueuedCompletionStatus(backend.port, &bytes, &key, &overlapped, wait);
    PendingRef pending{overlapped == nullptr ? nullptr : fromOverlapped(overlapped)};
    if (pending.record != nullptr) {
        backend.forgetReceive(*pending.record);
    }
    if (ok) {
        if (pending.record == nullptr) {
            return true;
        }
        checkKey(*pending.record, key);
        pending.record->data.cb(pending.record->data.fd, bytes, -1);
        return true;
    }
    DWORD code = GetLastError();
    if (pending.record != nullptr) {
        checkKey(*pending.record, key);
        pending.record->data.cb(pending.record->data.fd, bytes, static_cast<std::int32_t>(code));
        return true;
    }
    if (code == WAIT_TIMEOUT) {
        return false;
    }
    throw OSError(static_cast<int>(code));
}

// Records still in the system cannot be taken back; the port delivers them or they go with it.
bool dropUndelivered(IoBackend&) {
    return false;
}

} // namespace quorvin::detail
