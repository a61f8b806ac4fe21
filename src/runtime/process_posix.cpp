// Process id and fatal reports on POSIX: standard error only.
#include "runtime/process.h"

#include <unistd.h>

namespace quorvin {

unsigned long currentProcessId() {
    return static_cast<unsigned long>(getpid());
}

void setReportInMessageBox(bool) {}

void reportFatal(std::string_view text) {
    // write(2) rather than stdio: this runs from signal handlers too.
    (void)!write(STDERR_FILENO, text.data(), text.size());
    (void)!write(STDERR_FILENO, "\n", 1);
}

} // namespace quorvin
