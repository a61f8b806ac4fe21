// The interface between the portable loop step and the platform's completion machinery.
#pragma once

#include "async/asyncdispatch.h"

namespace quorvin::detail {

std::unique_ptr<IoBackend, IoBackendDeleter> createIoBackend();

// Creates the calling thread's dispatcher and fills its scheduling hook; the platform file keeps
// the pointer (currentDispatcher) and decides whether the thread's end destroys it.
PDispatcher* makeThreadDispatcher();
// Empties the scheduling hook after the thread's dispatcher has been destroyed.
void forgetThreadDispatcher() noexcept;

// Associates the socket with the backend; OSError on failure.
void associateHandle(IoBackend& backend, AsyncFD fd);
// Called when the socket leaves the dispatcher.
void dissociateHandle(IoBackend& backend, AsyncFD fd);

// Waits at most waitMs (-1: no limit) for one operation end and runs its completion callback.
// False if none arrived in time. An exception from the callback leaves this function.
bool runOneCompletion(IoBackend& backend, std::int32_t waitMs);

// Destroys the records of operations that have not been delivered; true if there were any. Used
// when the dispatcher goes away with its thread.
bool dropUndelivered(IoBackend& backend);

} // namespace quorvin::detail
