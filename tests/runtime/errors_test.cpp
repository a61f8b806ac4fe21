// Exception messages, type names and system error texts.
#include "runtime/errors.h"
#include "runtime/process.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>

using namespace quorvin;

TEST(Errors, TypeNamesAndMessages) {
    EXPECT_STREQ(ValueError("bad").typeName(), "ValueError");
    EXPECT_STREQ(IOError("io").typeName(), "IOError");
    EXPECT_STREQ(IndexError("i").typeName(), "IndexError");
    EXPECT_STREQ(RangeError("r").typeName(), "RangeError");
    EXPECT_STREQ(OverflowError("o").typeName(), "OverflowError");
    EXPECT_STREQ(DivByZeroError("d").typeName(), "DivByZeroError");
    EXPECT_STREQ(NilAccessError("n").typeName(), "NilAccessError");
    EXPECT_STREQ(ObjectConversionError("c").typeName(), "ObjectConversionError");
    EXPECT_STREQ(ResourceExhaustedError("cannot create thread").typeName(),
                 "ResourceExhaustedError");
    EXPECT_STREQ(AssertionError("a").typeName(), "AssertionError");
    EXPECT_STREQ(ValueError("Future still in progress.").what(), "Future still in progress.");

    KeyError missing("htm");
    EXPECT_EQ(missing.message(), "key not found: htm");
    EXPECT_STREQ(missing.typeName(), "KeyError");
}

TEST(Errors, FamiliesCatchTheirMembers) {
    EXPECT_THROW(throw ValueError("x"), InputError);
    EXPECT_THROW(throw OSError(1, "x"), InputError);
    EXPECT_THROW(throw KeyError("x"), InputError);
    EXPECT_THROW(throw AssertionError("x"), ProgramError);
    EXPECT_THROW(throw IndexError("x"), ProgramError);
    EXPECT_THROW(throw ResourceExhaustedError("x"), Error);
}

TEST(Errors, AssertionMessageNamesModuleLineColumnConditionAndText) {
    std::source_location here = std::source_location::current();
    std::string message = assertionMessage(here, "url.len > 0", "URL must not be empty string");
    std::string expected = "errors_test(" + std::to_string(here.line()) + ", " +
                           std::to_string(here.column()) +
                           ") `url.len > 0` URL must not be empty string";
    EXPECT_EQ(message, expected);
    EXPECT_EQ(assertionMessage(here, "cb != nil", ""),
              "errors_test(" + std::to_string(here.line()) + ", " + std::to_string(here.column()) +
                  ") `cb != nil`");
}

TEST(Errors, AssertConditionRaisesOnlyWhenFalse) {
    EXPECT_NO_THROW(assertCondition(true, "x"));
    try {
        assertCondition(false, "future.error == nil");
        FAIL() << "no exception";
    } catch (const AssertionError& error) {
        std::string message = error.message();
        EXPECT_EQ(message.rfind("errors_test(", 0), 0u) << message;
        EXPECT_NE(message.find(") `future.error == nil`"), std::string::npos) << message;
        EXPECT_EQ(message.back(), '`');
    }
}

TEST(Errors, OsErrorCarriesCodeAndSystemText) {
#ifdef _WIN32
    const int fileNotFound = 2; // ERROR_FILE_NOT_FOUND
#else
    const int fileNotFound = ENOENT;
#endif
    OSError error(fileNotFound);
    EXPECT_EQ(error.code(), fileNotFound);
    EXPECT_EQ(error.message(), osErrorMessage(fileNotFound));
    EXPECT_NE(error.message(), "unknown OS error");
    EXPECT_NE(error.message().find("ile"), std::string::npos) << error.message();
    // No trailing line break from the system's message table.
    EXPECT_NE(error.message().back(), '\n');
    EXPECT_STREQ(error.typeName(), "OSError");
}

TEST(Errors, OsErrorWithoutSystemTextIsUnknown) {
    EXPECT_EQ(osErrorMessage(0x3FFFFFF1), "unknown OS error");
    EXPECT_EQ(OSError(0x3FFFFFF1).message(), "unknown OS error");
}

TEST(Errors, UnhandledExceptionReport) {
    EXPECT_EQ(unhandledExceptionText(ValueError("invalid format string")),
              "Error: unhandled exception: invalid format string [ValueError]");
    EXPECT_EQ(unhandledExceptionText(OSError(5, "Access is denied.")),
              "Error: unhandled exception: Access is denied. [OSError]");
}

TEST(Errors, RunMainTurnsAnEscapingExceptionIntoStatusOne) {
    EXPECT_EQ(runMain([] { return 7; }), 7);
    testing::internal::CaptureStderr();
    int status = runMain([]() -> int { throw IOError("cannot open file"); });
    std::string printed = testing::internal::GetCapturedStderr();
    EXPECT_EQ(status, 1);
    EXPECT_EQ(printed, "Error: unhandled exception: cannot open file [IOError]\n");
}

TEST(ErrorsDeathTest, FatalSignalIsReportedWithStatusOne) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            installFatalSignalHandlers();
            std::raise(SIGABRT);
        },
        testing::ExitedWithCode(1), "SIGABRT: Abnormal termination\\.");
    EXPECT_EXIT(
        {
            installFatalSignalHandlers();
            std::raise(SIGFPE);
        },
        testing::ExitedWithCode(1), "SIGFPE: Arithmetic error\\.");
}

TEST(Errors, ProcessIdIsTheSystemsOwn) {
    EXPECT_GT(currentProcessId(), 0u);
}
