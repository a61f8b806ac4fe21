// Standard output on Windows: binary mode, so that a line ends in a bare line feed as on every
// other platform.
#include "runtime/output.h"

#include <cstdio>
#include <fcntl.h>
#include <io.h>

namespace quorvin::detail {

void writeLineFeedsAsTheyAre() {
    (void)_setmode(_fileno(stdout), _O_BINARY);
}

} // namespace quorvin::detail
