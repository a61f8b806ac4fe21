// The server address and the hand-over of URLs to the shell.
#include "app/browsers.h"

#include "runtime/errors.h"
#include "runtime/paths.h"
#include "toolkit/shellopen.h"

#include <windows.h>

namespace quorvin {

std::string serverAddress() {
    return "127.0.0.1:4321";
}

std::string browserTarget(std::string_view url) {
    if (url.empty()) {
        // A fixed text: reports and tests match it, whatever line this call is on.
        throw AssertionError("browsers(66, 12) `url.len > 0` URL must not be empty string");
    }
    if (url.find("://") != std::string_view::npos) {
        return std::string(url);
    }
    return "file://" + absolutePath(url);
}

void openInBrowser(std::string_view url) {
    shellOpen(browserTarget(url), SW_SHOWNORMAL);
}

void openServerPage() {
    openInBrowser("http://" + serverAddress());
}

} // namespace quorvin
