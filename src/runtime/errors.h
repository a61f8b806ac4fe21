// The exception family of the whole program: programming errors and errors of input and
// environment.
#pragma once

#include <exception>
#include <source_location>
#include <string>
#include <string_view>

namespace quorvin {

// Base of every exception the program raises; each knows its type name for reports.
class Error : public std::exception {
public:
    explicit Error(std::string message) : message_(std::move(message)) {}
    const char* what() const noexcept override { return message_.c_str(); }
    const std::string& message() const noexcept { return message_; }
    virtual const char* typeName() const noexcept = 0;

private:
    std::string message_;
};

// A violated internal condition or misuse of an API by the program itself.
class ProgramError : public Error {
    using Error::Error;
};

// Bad input or a failing environment (files, sockets, threads).
class InputError : public Error {
    using Error::Error;
};

#define QUORVIN_DECLARE_ERROR(Name, Base)                                                          \
    class Name : public Base {                                                                     \
    public:                                                                                        \
        using Base::Base;                                                                          \
        const char* typeName() const noexcept override { return #Name; }                           \
    };

QUORVIN_DECLARE_ERROR(AssertionError, ProgramError)
QUORVIN_DECLARE_ERROR(IndexError, ProgramError)
QUORVIN_DECLARE_ERROR(RangeError, ProgramError)
QUORVIN_DECLARE_ERROR(OverflowError, ProgramError)
QUORVIN_DECLARE_ERROR(DivByZeroError, ProgramError)
QUORVIN_DECLARE_ERROR(NilAccessError, ProgramError)
QUORVIN_DECLARE_ERROR(ObjectConversionError, ProgramError)
QUORVIN_DECLARE_ERROR(ValueError, InputError)
QUORVIN_DECLARE_ERROR(IOError, InputError)
QUORVIN_DECLARE_ERROR(ResourceExhaustedError, InputError)

#undef QUORVIN_DECLARE_ERROR

// A missing table key: "key not found: " and the key.
class KeyError : public InputError {
public:
    explicit KeyError(std::string_view key) : InputError("key not found: " + std::string(key)) {}
    const char* typeName() const noexcept override { return "KeyError"; }
};

// A failed system call, carrying the system's code and its message text.
class OSError : public InputError {
public:
    // The system's text for the code, or "unknown OS error".
    explicit OSError(int code);
    OSError(int code, std::string message) : InputError(std::move(message)), code_(code) {}
    int code() const noexcept { return code_; }
    const char* typeName() const noexcept override { return "OSError"; }

private:
    int code_;
};

// The calling thread's last system error code (errno, or GetLastError on Windows).
int lastOsErrorCode();

// The system's message text for a code, or "unknown OS error" when it has none.
std::string osErrorMessage(int code);

// An OSError for the calling thread's last system error.
inline OSError lastOsError() {
    return OSError(lastOsErrorCode());
}

// "module(line, column) `condition` text": the message of an AssertionError.
std::string assertionMessage(const std::source_location& where, std::string_view condition,
                             std::string_view text);

[[noreturn]] void raiseAssertion(const std::source_location& where, std::string_view condition,
                                 std::string_view text);

// Raises AssertionError naming the caller's module and position when `ok` is false.
inline void assertCondition(bool ok, std::string_view condition, std::string_view text = {},
                            std::source_location where = std::source_location::current()) {
    if (!ok) {
        raiseAssertion(where, condition, text);
    }
}

} // namespace quorvin
