// Portable parts of the exception family: assertion messages.
#include "runtime/errors.h"

namespace quorvin {

OSError::OSError(int code) : InputError(osErrorMessage(code)), code_(code) {}

namespace {

// The file name without folders and extension: "asyncfutures" for ".../asyncfutures.h".
std::string_view moduleName(std::string_view path) {
    auto slash = path.find_last_of("/\\");
    if (slash != std::string_view::npos) {
        path.remove_prefix(slash + 1);
    }
    auto dot = path.find('.');
    return dot == std::string_view::npos ? path : path.substr(0, dot);
}

} // namespace

std::string assertionMessage(const std::source_location& where, std::string_view condition,
                             std::string_view text) {
    std::string message(moduleName(where.file_name()));
    message += "(" + std::to_string(where.line()) + ", " + std::to_string(where.column()) + ") `";
    message += condition;
    message += "`";
    if (!text.empty()) {
        message += " ";
        message += text;
    }
    return message;
}

void raiseAssertion(const std::source_location& where, std::string_view condition,
                    std::string_view text) {
    throw AssertionError(assertionMessage(where, condition, text));
}

} // namespace quorvin
