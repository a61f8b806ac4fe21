// wIcon: an icon from the executable's own icon group resource; copies share it.
#pragma once

#include <windows.h>

#include <memory>

namespace quorvin {

inline constexpr int programIconGroup = 1000;

class wIcon {
public:
    wIcon() = default;
    // The small-icon-sized image of the group; raises wIconError "wIcon creation failed" when
    // the group is missing.
    explicit wIcon(int resourceId);

    HICON handle() const { return handle_.get(); }

private:
    std::shared_ptr<HICON__> handle_;
};

} // namespace quorvin
