// The POSIX look-up below the served folder without the kernel's help, for the tests of it.
#pragma once

#include "server/fs.h"

#include <string>

namespace quorvin::fs {

// openWithin as done where the kernel has no openat2: one segment at a time beneath the served
// folder's descriptor, never following a link out of it.
OpenedWithin openWithinSegmentWise(const std::string& root, const std::string& path);

} // namespace quorvin::fs
