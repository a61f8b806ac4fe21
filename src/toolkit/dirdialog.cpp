// wDirDialog over IFileOpenDialog with FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM.
#include "toolkit/dirdialog.h"

#include "runtime/utf.h"

#include <shobjidl.h>

namespace quorvin {

namespace {

// Releases a COM interface at the end of a scope.
template <typename T>
struct Released {
    T* pointer = nullptr;
    ~Released() {
        if (pointer != nullptr) {
            pointer->Release();
        }
    }
};

} // namespace

int wDirDialog::showModal() {
    Released<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_PPV_ARGS(&dialog.pointer))) ||
        FAILED(dialog.pointer->SetOptions(FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM)) ||
        FAILED(dialog.pointer->SetTitle(toWide(message_).c_str()))) {
        return wIdCancel;
    }
    if (!defaultPath_.empty()) {
        Released<IShellItem> folder;
        if (SUCCEEDED(SHCreateItemFromParsingName(toWide(defaultPath_).c_str(), nullptr,
                                                  IID_PPV_ARGS(&folder.pointer)))) {
            dialog.pointer->SetFolder(folder.pointer);
        }
    }
    Released<IShellItem> chosen;
    wchar_t* name = nullptr;
    if (FAILED(dialog.pointer->Show(owner_ != nullptr ? owner_->handle() : nullptr)) ||
        FAILED(dialog.pointer->GetResult(&chosen.pointer)) ||
        FAILED(chosen.pointer->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
        return wIdCancel;
    }
    path_ = fromWide(name);
    CoTaskMemFree(name);
    return wIdOk;
}

} // namespace quorvin
