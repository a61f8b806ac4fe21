// POSIX: glibc keeps freed pages in its heap until asked; other C libraries need no call.
#include "runtime/memory.h"

#include <cstdlib> // defines __GLIBC__ where glibc is the C library

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace quorvin {

void releaseFreeMemory() noexcept {
#if defined(__GLIBC__)
    malloc_trim(0);
#endif
}

} // namespace quorvin
