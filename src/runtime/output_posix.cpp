// Standard output on POSIX writes its bytes as they are.
#include "runtime/output.h"

namespace quorvin::detail {

void writeLineFeedsAsTheyAre() {}

} // namespace quorvin::detail
