// Handing freed heap memory back to the system.
#pragma once

namespace quorvin {

// Returns the free pages of the heap to the system where the allocator can, so that a burst of
// large responses does not leave the process's resident size high once they are gone.
void releaseFreeMemory() noexcept;

} // namespace quorvin
