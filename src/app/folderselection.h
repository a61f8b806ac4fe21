// The two ways to name the folder to serve: the folder chooser and a drop on the help text.
#pragma once

#include "toolkit/event.h"

#include <string>

namespace quorvin {

// Click handler of selectFolderButton: a chosen folder is served, a cancel does nothing.
void onSelectFolder();
// Drag-enter handler of helpText: offers a copy for anything dragged.
void onDragEnter(wDragDropEvent& event);
// Drop handler of helpText: takes the first dropped name once the drop has returned, and
// ignores data that is no file list.
void onDrop(wDragDropEvent& event);
// Serves the name when it is a folder and reports it otherwise; nothing while the choice is
// locked.
void takeDroppedName(const std::string& name);

// Whether the path names an existing directory.
bool isDirectory(const std::string& path);

} // namespace quorvin
