// The interface between the portable dispatcher and the platform's completion machinery, which
// keeps the one registry of the dispatcher's sockets.
#pragma once

#include "async/asyncdispatch.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>

namespace quorvin {

// The end of one operation: the socket, the bytes transferred and -1 on success or the error code.
using CompletionCallback = std::function<void(AsyncFD fd, std::uint32_t bytes, std::int32_t error)>;

namespace detail {

std::unique_ptr<IoBackend, IoBackendDeleter> createIoBackend();

// Associates the socket with the backend and enters it in the registry; OSError on failure.
void associateHandle(IoBackend& backend, AsyncFD fd);
// Takes the socket out of the registry, ending the operations that wait on it; false when it was
// not registered.
bool dissociateHandle(IoBackend& backend, AsyncFD fd);
bool isRegistered(const IoBackend& backend, AsyncFD fd);
std::size_t registeredCount(const IoBackend& backend);

// Waits at most waitMs (-1: no limit) for one operation end and runs its completion callback.
// False if none arrived in time. An exception from the callback leaves this function.
bool runOneCompletion(IoBackend& backend, std::int32_t waitMs);

// Destroys the records of operations that have not been delivered; true if there were any. Used
// when the dispatcher goes away with its thread.
bool dropUndelivered(IoBackend& backend);

} // namespace detail
} // namespace quorvin
