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
    wDataObject data(event.dataObject());
    if (!data.isFiles()) {
        return;
    }
    const std::string first = data.files().front();
    if (isDirectory(first)) {
        startServing(first);
    } else {
        showStatus({"Not a folder - " + first});
    }
}

} // namespace quorvin
