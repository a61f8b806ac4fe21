// Process id, fatal reports (standard error only), the descriptor limit and (nothing for) the
// library search on POSIX.
#include "runtime/process.h"

#include <sys/resource.h>
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

void raiseDescriptorLimit() {
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur < limit.rlim_max) {
        limit.rlim_cur = limit.rlim_max;
        setrlimit(RLIMIT_NOFILE, &limit);
    }
}

void restrictLibrarySearch() {}

} // namespace quorvin
