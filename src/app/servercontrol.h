// The start of the server for the chosen folder, and what the window shows of it.
#pragma once

#include <chrono>
#include <string>

namespace quorvin {

// How long startServing waits to learn whether the server listens.
inline constexpr std::chrono::milliseconds launchReportTimeout{3000};

// Locks the choice, launches the server for the folder on a pool worker and, once it listens,
// opens the server page and reports address, folder and time. A launch that fails is reported
// in the status line and the choice is unlocked again.
void startServing(const std::string& folder);

} // namespace quorvin
