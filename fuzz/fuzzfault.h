// What the fuzz targets share: the report of a broken property (a message and an abort, which
// libFuzzer records as a crash with the input that caused it) and the place of their files.
#pragma once

#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>

namespace quorvin::fuzzing {

[[noreturn]] inline void fault(std::string_view target, std::string_view what) {
    std::fprintf(stderr, "%.*s: %.*s\n", static_cast<int>(target.size()), target.data(),
                 static_cast<int>(what.size()), what.data());
    std::abort();
}

// Reports a property that does not hold, naming the target.
class Checker {
public:
    explicit constexpr Checker(std::string_view target) : target_(target) {}
    void operator()(bool holds, std::string_view what) const {
        if (!holds) {
            fault(target_, what);
        }
    }

private:
    std::string_view target_;
};

// A mkdtemp pattern in $TMPDIR (else /tmp), which scripts/fuzz-all empties after each target:
// a fault ends the process without its clean-up.
inline std::string temporaryFolderPattern(std::string_view target) {
    const char* folder = std::getenv("TMPDIR");
    return std::string(folder && *folder ? folder : "/tmp") + "/quorvin-" + std::string(target) +
           "-fuzz.XXXXXX";
}

} // namespace quorvin::fuzzing
