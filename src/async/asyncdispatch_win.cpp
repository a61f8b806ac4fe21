// The loop's completion machinery on one I/O completion port.
#include "async/completionrecord_win.h"
#include "async/iobackend.h"

#include <unordered_map>

namespace quorvin {

namespace {

// The thread's dispatcher (gDisp). It is never destroyed: the thread-local storage of MinGW
// programs may be released before the destructors of thread-local objects run, so a destructor
// could not reach it safely. The server's thread never ends anyway.
thread_local PDispatcher* gDisp = nullptr;

} // namespace

PDispatcher& currentDispatcher() {
    if (gDisp == nullptr) {
        gDisp = detail::makeThreadDispatcher();
    }
    return *gDisp;
}

namespace detail {

struct IoBackend {
    HANDLE port = nullptr;
    // The receive under way on each socket that has one.
    std::unordered_map<AsyncFD, CompletionRecord*> receives;

    // A record whose completion has arrived is no longer under way. A socket's number may have
    // been reused since: only its own entry goes.
    void forgetReceive(const CompletionRecord& record) {
        auto found = receives.find(record.data.fd);
        if (found != receives.end() && found->second == &record) {
            receives.erase(found);
        }
    }
};

void trackReceive(IoBackend& backend, CompletionRecord& record) {
    backend.receives[record.data.fd] = &record;
}

void cancelReceive(IoBackend& backend, AsyncFD fd) {
    auto found = backend.receives.find(fd);
    if (found != backend.receives.end()) {
        // The cancelled receive still reports through the port, with ERROR_OPERATION_ABORTED.
        CancelIoEx(reinterpret_cast<HANDLE>(fd), &found->second->overlapped);
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
}

// A socket stays associated with the port until it is closed; its number may then come back for
// another socket, which must not find the old receive.
void dissociateHandle(IoBackend& backend, AsyncFD fd) {
    backend.receives.erase(fd);
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

} // namespace detail
} // namespace quorvin
