// The start of the server for the chosen folder, and what the window shows of it.
#pragma once

#include <string>

namespace quorvin {

// Locks the choice and hands the launch for the folder to a pool worker; returns at once. What
// the launch comes to arrives later (onLaunchChanged): once the server listens, the server page
// is opened and address, folder and time are shown; a launch that fails, at once or later, is
// reported and the choice unlocked again. Nothing while the choice is locked.
void startServing(const std::string& folder);

// Whether a launch is under way or serving (the button and the drops are off).
bool isChoiceLocked();

// Handler of the main frame's wake event, by which the launch tells that its state changed.
void onLaunchChanged();

// Forgets the launch when the window is released; a launch still running tells nobody.
void forgetLaunch();

} // namespace quorvin
