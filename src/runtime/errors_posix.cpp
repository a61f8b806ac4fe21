// System error texts from the C library.
#include "runtime/errors.h"

#include <cerrno>
#include <cstring>

namespace quorvin {

int lastOsErrorCode() {
    return errno;
}

std::string osErrorMessage(int code) {
    char buffer[256] = {};
    // GNU strerror_r may return a static string instead of filling the buffer.
#if defined(__GLIBC__) && defined(_GNU_SOURCE)
    std::string text = strerror_r(code, buffer, sizeof buffer);
#else
    std::string text = strerror_r(code, buffer, sizeof buffer) == 0 ? buffer : "";
#endif
    if (text.empty() || text.rfind("Unknown error", 0) == 0) {
        return "unknown OS error";
    }
    return text;
}

} // namespace quorvin
