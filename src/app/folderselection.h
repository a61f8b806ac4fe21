// The two ways to name the folder to serve: the folder chooser and a drop on the help text.
#pragma once

#include "toolkit/event.h"

#include <string>

namespace quorvin {

// Click handler of selectFolderButton: a chosen folder is served, a cancel does nothing.
void onSelectFolder();
// Drag-enter handler of helpText: offers a copy for anything dragged.
void onDragEnter(wDragDropEvent& event);
// Drop handler of helpText: serves the first dropped name when it is a folder, reports it
// otherwise, and ignores data that is no file list.
void onDrop(wDragDropEvent& event);

// Whether the path names an existing directory.
bool isDirectory(const std::string& path);

} // namespace quorvin
