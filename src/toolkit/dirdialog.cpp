// wDirDialog over IFileOpenDialog, limited to picking file-system folders.
#include "toolkit/dirdialog.h"

#include "runtime/utf.h"

#include <objbase.h>
#include <shobjidl.h>

namespace quorvin {

namespace {

// Releases a COM interface at the end of a scope.
template <class T>
class Released {
public:
    Released() = default;
    Released(const Released&) = delete;
    Released& operator=(const Released&) = delete;
    ~Released() {
        if (pointer_ != nullptr) {
            pointer_->Release();
        }
    }
    T* operator->() const { return pointer_; }
    T* get() const { return pointer_; }
    T** out() { return &pointer_; }

private:
    T* pointer_ = nullptr;
};

// COM for the calling thread for as long as the dialog needs it; a thread that has it already
// (the GUI thread after OleInitialize) keeps it as it was.
class ComForThisThread {
public:
    ComForThisThread()
        : result_(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE)) {}
    ~ComForThisThread() {
        if (SUCCEEDED(result_)) {
            CoUninitialize();
        }
    }
    ComForThisThread(const ComForThisThread&) = delete;
    ComForThisThread& operator=(const ComForThisThread&) = delete;

private:
    HRESULT result_;
};

} // namespace

int wDirDialog::showModal() {
    path_.clear();
    ComForThisThread com;
    if (!choose()) {
        path_.clear();
        return wIdCancel;
    }
    if ((style_ & wDdChangeDir) != 0) {
        SetCurrentDirectoryW(toWide(path_).c_str());
    }
    return wIdOk;
}

bool wDirDialog::choose() {
    Released<IFileOpenDialog> dialog;
    if (FAILED(CoCreateInstance(CLSID_FileOpenDialog, nullptr, CLSCTX_INPROC_SERVER,
                                IID_IFileOpenDialog, reinterpret_cast<void**>(dialog.out())))) {
        return false;
    }
    // Exactly these options: the dialog's defaults are replaced, not extended.
    if (FAILED(dialog->SetOptions(FOS_PICKFOLDERS | FOS_FORCEFILESYSTEM)) ||
        FAILED(dialog->SetTitle(toWide(message_).c_str()))) {
        return false;
    }
    if (!defaultPath_.empty()) {
        Released<IShellItem> folder;
        if (FAILED(SHCreateItemFromParsingName(toWide(defaultPath_).c_str(), nullptr,
                                               IID_IShellItem,
                                               reinterpret_cast<void**>(folder.out()))) ||
            FAILED(dialog->SetFolder(folder.get()))) {
            return false;
        }
    }
    Released<IShellItem> chosen;
    wchar_t* name = nullptr;
    if (FAILED(dialog->Show(owner_)) || FAILED(dialog->GetResult(chosen.out())) ||
        FAILED(chosen->GetDisplayName(SIGDN_FILESYSPATH, &name))) {
        return false;
    }
    path_ = fromWide(name);
    CoTaskMemFree(name);
    return !path_.empty();
}

} // namespace quorvin
