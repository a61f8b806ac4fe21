// wIcon over LoadImageW from the executable's resources.
#include "toolkit/icon.h"

#include "toolkit/werrors.h"

namespace quorvin {

wIcon::wIcon(int resourceId) {
    auto icon = static_cast<HICON>(
        LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(resourceId), IMAGE_ICON,
                   GetSystemMetrics(SM_CXSMICON), GetSystemMetrics(SM_CYSMICON), 0));
    if (icon == nullptr) {
        throw wIconError();
    }
    handle_ = std::shared_ptr<HICON__>(icon, [](HICON handle) { DestroyIcon(handle); });
}

} // namespace quorvin
