// wDirDialog: the shell's folder chooser, shown modally over its owner.
#pragma once

#include "toolkit/window.h"

#include <string>

namespace quorvin {

inline constexpr int wIdOk = IDOK;
inline constexpr int wIdCancel = IDCANCEL;

class wDirDialog {
public:
    wDirDialog(wWindow* owner, std::string message, std::string defaultPath, long style = 0)
        : owner_(owner), message_(std::move(message)), defaultPath_(std::move(defaultPath)),
          style_(style) {}

    // wIdOk when a folder was chosen; wIdCancel on cancel or any failure.
    int showModal();
    // The chosen folder's file-system path.
    const std::string& path() const { return path_; }

private:
    wWindow* owner_;
    std::string message_;
    std::string defaultPath_;
    long style_;
    std::string path_;
};

} // namespace quorvin
