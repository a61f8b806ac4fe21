// Windows: the process heap decommits large free blocks by itself.
#include "runtime/memory.h"

namespace quorvin {

void releaseFreeMemory() noexcept {}

} // namespace quorvin
