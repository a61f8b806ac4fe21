// The portable part of the fatal reports.
#include "runtime/process.h"

#include "runtime/errors.h"

#include <csignal>
#include <cstdlib>

namespace quorvin {

std::string unhandledExceptionText(const std::exception& error) {
    auto* known = dynamic_cast<const Error*>(&error);
    const char* typeName = known ? known->typeName() : "Exception";
    return std::string("Error: unhandled exception: ") + error.what() + " [" + typeName + "]";
}

namespace {

const char* fatalSignalText(int signal) {
    switch (signal) {
    case SIGSEGV:
        return "SIGSEGV: Illegal storage access. (Attempt to read from nil?)";
    case SIGABRT:
        return "SIGABRT: Abnormal termination.";
    case SIGFPE:
        return "SIGFPE: Arithmetic error.";
    case SIGILL:
        return "SIGILL: Illegal operation.";
    default:
        return "unknown signal";
    }
}

extern "C" void onFatalSignal(int signal) {
    reportFatal(fatalSignalText(signal));
    std::_Exit(1);
}

} // namespace

void installFatalSignalHandlers() {
    for (int signal : {SIGSEGV, SIGABRT, SIGFPE, SIGILL}) {
        std::signal(signal, onFatalSignal);
    }
}

int runMain(const std::function<int()>& body) {
    try {
        return body();
    } catch (const std::exception& error) {
        reportFatal(unhandledExceptionText(error));
    } catch (...) {
        reportFatal("Error: unhandled exception: unknown [Exception]");
    }
    return 1;
}

} // namespace quorvin
