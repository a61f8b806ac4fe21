// The record of one overlapped socket operation on the completion port.
#pragma once

#include "async/iobackend.h"

#include <windows.h>
#include <winsock2.h>

namespace quorvin::detail {

struct CompletionData {
    AsyncFD fd;
    CompletionCallback cb;
};

// The overlapped block comes first, so the OVERLAPPED pointer that the port hands back is the
// record's address.
//
// Reference rule. A new record has two references. One belongs to the function that starts the
// operation and is dropped when it returns (OperationRef). The other stands for the operation
// inside the system: the loop drops it after running `cb` for the record's completion. When the
// start fails at once with any code but ERROR_IO_PENDING no completion will come, so the starting
// function drops that reference too (OperationRef::dropPending). A start that succeeds at once
// keeps it, because the port still delivers a completion.
struct CompletionRecord {
    OVERLAPPED overlapped;
    CompletionData data;
    long references;
};

inline CompletionRecord* fromOverlapped(OVERLAPPED* overlapped) {
    return reinterpret_cast<CompletionRecord*>(overlapped);
}

void releaseRecord(CompletionRecord* record) noexcept;

// The receive under way on its socket, until its completion arrives; cancelReceive can then end it
// alone, without the socket's sends.
void trackReceive(IoBackend& backend, CompletionRecord& record);
// CancelIoEx with the tracked receive's own OVERLAPPED; nothing when none is under way.
void cancelReceive(IoBackend& backend, AsyncFD fd);

// The starting function's reference to a new record.
class OperationRef {
public:
    OperationRef(AsyncFD fd, CompletionCallback cb)
        : record_(new CompletionRecord{OVERLAPPED{}, CompletionData{fd, std::move(cb)}, 2}) {}
    OperationRef(const OperationRef&) = delete;
    OperationRef& operator=(const OperationRef&) = delete;
    ~OperationRef() { releaseRecord(record_); }

    OVERLAPPED* overlapped() noexcept { return &record_->overlapped; }
    CompletionRecord& record() noexcept { return *record_; }
    // The start failed at once: the system holds nothing.
    void dropPending() noexcept { releaseRecord(record_); }

private:
    CompletionRecord* record_;
};

} // namespace quorvin::detail
