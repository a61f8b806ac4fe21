// Folder selection by the shell's folder chooser and by drag and drop.
#include "app/folderselection.h"

#include "app/mainwindow.h"
#include "app/servercontrol.h"
#include "server/fs.h"
#include "toolkit/dataobject.h"
#include "toolkit/dirdialog.h"

namespace quorvin {

bool isDirectory(const std::string& path) {
    return fs::pathKind(path) == fs::PathKind::Directory;
}

void onSelectFolder() {
    wDirDialog dialog(mainFrame.get(), "Select a directory", "", 0);
    std::string path = dialog.showModal() == wIdOk ? dialog.path() : std::string();
    if (!path.empty()) {
        startServing(path);
    }
}

void onDragEnter(wDragDropEvent& event) {
    event.setEffect(DROPEFFECT_COPY);
}

void onDrop(wDragDropEvent& event) {
    // The list is read once: a source may hand it out only once, and the data object lives
    // only as long as the drop.
    const std::vector<std::string> names = wDataObject(event.dataObject()).files();
    if (names.empty()) {
        return;
    }
    // The drag source waits until the drop returns: the rest happens after that.
    mainFrame->callAfter([first = names.front()] { takeDroppedName(first); });
}

void takeDroppedName(const std::string& name) {
    if (isChoiceLocked()) {
        return; // a second drop that came in before the first one locked the choice
    }
    if (isDirectory(name)) {
        startServing(name);
    } else {
        showStatus({"Not a folder - " + name});
    }
}

} // namespace quorvin
