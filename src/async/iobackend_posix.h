// The epoll backend's operation records, shared by the loop and the socket operations.
#pragma once

#include "async/framecache.h"
#include "async/iobackend.h"

#include <cstdint>
#include <functional>
#include <memory>

namespace quorvin::detail {

// One socket operation. `attempt` performs its system call without blocking: it returns false
// while the call would block, and true once the operation has ended, with `bytes` and `error`
// (-1 for success, else an errno value) filled in. The loop then delivers `cb` in a later step.
// A receive sets `drained` when its last call found the socket's data used up (it would block, or
// gave fewer bytes than asked). Every operation makes one; the frame cache serves them without
// the general allocator.
struct CompletionRecord : FromFrameCache {
    AsyncFD fd = -1;
    CompletionCallback cb;
    std::function<bool(CompletionRecord&)> attempt;
    std::uint32_t bytes = 0;
    std::int32_t error = -1;
    bool drained = false;
};

using RecordPtr = std::unique_ptr<CompletionRecord>;

enum class Direction { Read, Write };

// Attempts the operation now, unless older operations of the same direction are still waiting on
// the socket, in which case it queues behind them. Returns the record when it ended at once (the
// caller reports that outcome itself), or null when the record now waits for readiness.
RecordPtr startOperation(IoBackend& backend, RecordPtr record, Direction direction);

// Queues an ended operation for delivery by a later step.
void postCompletion(IoBackend& backend, RecordPtr record);

// Ends the receives waiting on the socket with ECANCELED, to be delivered by later steps; its
// sends wait on.
void cancelWaitingReaders(IoBackend& backend, AsyncFD fd);

} // namespace quorvin::detail
