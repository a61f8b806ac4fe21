// Memory for coroutine frames: a per-thread cache of freed blocks in a few size classes.
//
// A server allocates and frees several frames of the same few sizes for every request; taking
// them from a short per-thread list is much cheaper than the general allocator, whose slow path
// those sizes otherwise reach once a handful of each are in use.
#pragma once

#include <cstddef>

namespace quorvin::detail {

// A block of at least `size` bytes; frames above the largest class come from operator new.
void* allocateFrame(std::size_t size);
// Gives back a block from allocateFrame with the same size, on any thread.
void releaseFrame(void* frame, std::size_t size) noexcept;

} // namespace quorvin::detail
