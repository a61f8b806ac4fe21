// wDirDialog: the shell's folder chooser, shown modally over its owner.
#pragma once

#include <windows.h>

#include <string>

namespace quorvin {

inline constexpr int wIdOk = IDOK;
inline constexpr int wIdCancel = IDCANCEL;

// Style bit: make the chosen folder the process's current directory.
inline constexpr long wDdChangeDir = 0x0100;

class wDirDialog {
public:
    // The message is the dialog's title; an empty default path leaves the initial folder to
    // the shell.
    wDirDialog(HWND owner, std::string message, std::string defaultPath = {}, long style = 0)
        : owner_(owner), message_(std::move(message)), defaultPath_(std::move(defaultPath)),
          style_(style) {}
    // Any toolkit window as owner (anything with handle()).
    template <class Window>
    wDirDialog(Window* owner, std::string message, std::string defaultPath = {}, long style = 0)
        : wDirDialog(owner != nullptr ? owner->handle() : HWND{}, std::move(message),
                     std::move(defaultPath), style) {}

    // wIdOk when a folder was chosen; wIdCancel on cancel or on any failure of the dialog.
    int showModal();
    // The chosen folder's file-system path, in UTF-8; empty unless showModal gave wIdOk.
    const std::string& path() const { return path_; }

private:
    bool choose();

    HWND owner_;
    std::string message_;
    std::string defaultPath_;
    long style_;
    std::string path_;
};

} // namespace quorvin
